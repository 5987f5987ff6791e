#include "load/load.h"

#include <cstring>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "entities/entity_stream.h"
#include "format/counted_section.h"
#include "format/entry_lock.h"
#include "format/file_window.h"
#include "format/load_context.h"
#include "format/torv_header.h"
#include "kernel/afx.h"
#include "kernel/collections.h"
#include "legacy/legacy_loader.h"
#include "load/drawing_file.h"
#include "load/load_document.h"
#include "load/sysvar_list_cache.h"
#include "load/unread_bytes.h"
#include "save/written_sections.h"
#include "tables/block_section.h"
#include "tables/table_readers.h"

namespace kttrv {

namespace {

// The kernel creates into the current drawing; the load's drawing is made
// current for the duration of the call.
class CurrentDrawing {
 public:
  explicit CurrentDrawing(KT_Drawing& d) : saved_(g_current_drawing) { g_current_drawing = &d; }
  ~CurrentDrawing() { g_current_drawing = saved_; }
  CurrentDrawing(const CurrentDrawing&) = delete;
  CurrentDrawing& operator=(const CurrentDrawing&) = delete;

 private:
  KT_Drawing* saved_;
};

bool load_current_generation(int mode, tagFile& f, KT_Drawing& drawing, LoadContext& context) {
  TorvHeader header;
  if (!read_torv_header(&f, header)) {
    report_diagnostic(&f, {"header", 0}, "file of %d bytes is shorter than the 88-byte header", f.length);
    return false;
  }
  const int generation = torv_generation(header.version);
  if (generation < 0) {
    report_diagnostic(&f, {"header", 2}, "unknown version string");
    return false;
  }
  context.generation = generation;
  if (context.announce_generation != nullptr) *context.announce_generation = generation;
  if (generation == 2) {
    report_diagnostic(&f, {"header", 2}, "version \"SELK 24.05.95\" is refused");
    AfxMessageBox(kRefusedVersionMessage, MB_OK, 0);
    return false;
  }

  // A section the loader reads cannot start inside the header: such an
  // entry is damage, and the section is read as absent (the header's own
  // bytes are no records). The dimension style table's 0 means none.
  for (const TorvSlotInfo& slot : kTorvSlots) {
    if (slot.slot != kSlotSysVars && slot.slot != kSlotLayers && slot.slot != kSlotTextStyles &&
        slot.slot != kSlotDimStyles && slot.slot != kSlotBlocks && slot.slot != kSlotEntities)
      continue;
    int32_t& at = header.slots[(slot.slot - 40) / 4];
    const int32_t none_below = slot.slot == kSlotDimStyles ? 1 : 0;
    if (at >= none_below && at < kTorvHeaderSize) {
      report_diagnostic(&f, {slot.name, at}, "the directory's entry at byte %d points into the header",
                        static_cast<int>(slot.slot));
      at = -1;
    }
  }

  if (context.observer != nullptr) context.observer->file(generation);

  LossLedger* const ledger = context.ledger;
  const bool watched = ledger != nullptr || context.observer != nullptr;
  // Where the sections read to their end stop: what lies behind one, up to
  // the next section, no reader reads.
  std::vector<SectionEnd> ends;
  const auto ended = [&](int result, const char* section, int slot) {
    if (watched && result == 1) ends.push_back({f.position, section, slot});
  };
  int64_t sysvars_end = -1;
  if (mode == -1) {
    const int walked = read_sysvar_section(&f, header_slot(header, kSlotSysVars),
                                           ledger != nullptr ? written_sysvar_section() : std::string_view());
    // Without a list the section's length is not known.
    if (context.sysvars != nullptr && !context.sysvars->empty()) {
      ended(walked, "system variables", 0);
      if (walked == 1) sysvars_end = f.position;
    }
  }

  const BaseCounts base = take_base_counts(drawing);
  ended(read_layer_table(&f, header_slot(header, kSlotLayers)), "layers", kSlotLayers);
  ended(read_text_style_table(&f, header_slot(header, kSlotTextStyles)), "text styles", kSlotTextStyles);
  ended(read_dim_style_table(&f, header_slot(header, kSlotDimStyles)), "dimension styles", kSlotDimStyles);

  const char mode_flag = mode == -1 ? 0 : 1;
  const int32_t blocks = header_slot(header, kSlotBlocks);
  if (blocks != -1) ended(read_block_section(&f, blocks, mode_flag, base, drawing), "block definitions", kSlotBlocks);

  const int32_t entities = header_slot(header, kSlotEntities);
  int64_t entities_end = -1;
  if (entities != -1) {
    RecordReader r(&f);
    if (const std::optional<uint32_t> count = open_counted_section(r, entities, "entities"))
      if (read_entity_stream(r, -1, *count, &drawing)) entities_end = f.position;
  }
  if (ledger != nullptr) {
    std::vector<SectionEnd> noted;  // the dimension styles' tail was never a loss of its own
    for (const SectionEnd& end : ends)
      if (end.slot != kSlotDimStyles) noted.push_back(end);
    note_unread_bytes(f, header, drawing, entities_end, noted, base.blocks == 0 && base.text_styles == 0, *ledger);
  }
  context.sysvars_whole = report_unread_runs(f, header, sysvars_end, entities_end, ends);
  context.sysvars_walked = sysvars_end >= 0;
  const int32_t sysvars = header_slot(header, kSlotSysVars);
  context.sysvars_held = sysvars >= kTorvHeaderSize && sysvars < f.length;
  return true;
}

bool load_bytes(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing, LoadContext& context) {
  tagFile f{data, static_cast<int32_t>(std::min<std::size_t>(size, INT32_MAX)), 0};
  f.context = &context;
  if (size == 0) {
    report_diagnostic(&f, {"file", 0}, "the file is empty");
    return false;
  }
  if (size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    report_diagnostic(&f, {"file", 0}, "the file is too large for 32-bit positions");
    return false;
  }
  CurrentDrawing current(drawing);
  if (data[0] == 'T') return load_legacy_buffer(mode, data, size, drawing, context) != 0;
  return load_current_generation(mode, f, drawing, context);
}

bool load_path(int mode, const char* path, KT_Drawing& drawing, std::size_t window_bytes, LoadContext& context,
               LoadResult& result) {
  tagFile reports;
  reports.context = &context;
  // The reason is the report's line, also when no list collects reports.
  const auto fail = [&](const std::string& problem) {
    report_diagnostic(&reports, {"file", 0}, "%s %s", path, problem.c_str());
    if (result.failure.empty() && context.diagnostics.list == nullptr)
      result.failure = "file: " + std::string(path) + " " + problem + " at byte 0";
    return false;
  };
  InputFile input;
  std::string problem;
  if (!input.open(path, std::numeric_limits<int32_t>::max(), problem)) {
    result.file.size = input.size();
    result.failure = problem;
    return fail(problem);
  }
  DrawingHead head;
  result.file.size = input.size();
  if (!read_drawing_head(input, head, problem)) return fail(problem);
  result.file = identify_file({head.bytes, head.size}, input.size());
  if (head.size == 0 || head.bytes[0] == 'T' || !head.readable) {
    // Legacy files are read whole; an empty or refused one is refused as a
    // buffer is.
    DrawingFile file;
    if (!read_drawing_file(input, head, file, problem)) return fail(problem);
    return load_bytes(mode, file.block.data(), file.read, drawing, context);
  }
  // A host that keeps the records gets the file once, in its own memory.
  const auto size = static_cast<std::size_t>(input.size());
  if (unsigned char* room = context.observer != nullptr ? context.observer->room_for_file(size + 1) : nullptr) {
    std::memcpy(room, head.bytes, head.size);
    if (!input.read_at(head.size, room + head.size, size - head.size))
      return fail("cannot be read to its end (did it shrink?)");
    room[size] = 0;
    return load_bytes(mode, room, size, drawing, context);
  }
  // Otherwise the file's bytes are in memory only a window at a time, and
  // none of them after the call returns.
  tagFile f;
  f.context = &context;
  FileWindow window(input, f, window_bytes);
  CurrentDrawing current(drawing);
  const bool loaded = load_current_generation(mode, f, drawing, context);
  if (window.failed() || window.out_of_memory())
    return fail(window.failed() ? "cannot be read to its end (did it shrink?)" : "does not fit in memory");
  return loaded;
}

}  // namespace

namespace {

// A host that carries the file gets back at a save all a current-generation
// file held but the records whose layout the writer does not write: the text
// styles of other generations, and system variables the list did not walk
// to exactly their section's end.
void keep_uncarried_losses(LossLedger& ledger, int generation, bool sysvars_whole, bool sysvars_walked, bool held_sysvars) {
  if (generation < 0) return;  // legacy files are not carried
  LossLedger kept;
  const auto keep = [&](Loss what) {
    const auto i = static_cast<std::size_t>(what);
    kept.counts[i] = ledger.counts[i];
    kept.first[i] = ledger.first[i];
  };
  // The writer's own kinds, but a record's z, which goes back with it.
  for (std::size_t i = 0; i < static_cast<std::size_t>(Loss::passed_record); ++i)
    if (static_cast<Loss>(i) != Loss::flat_z) keep(static_cast<Loss>(i));
  if (generation != 11) {
    keep(Loss::text_style_field);
    keep(Loss::font_name);
  }
  if (!sysvars_whole) keep(Loss::system_variable);
  // A section no list walked is not written back, and nothing counted its
  // values: the section is one loss.
  if (!sysvars_walked && held_sysvars && !sysvars_whole) kept.note(Loss::system_variable, "system variables", 0, -1);
  ledger = kept;
}

}  // namespace

LoadResult load_drawing_locked(const LoadSource& source, KT_Drawing& drawing, const LoadOptions& options,
                               KtTrvDiagnosticSink sink, void* sink_context, int* announce_generation) {
  LoadResult result;
  LoadContext context;
  context.diagnostics = {options.collect_diagnostics ? &result.diagnostics : nullptr, sink, sink_context,
                         options.on_diagnostic, options.on_diagnostic_context};
  context.announce_generation = announce_generation;
  context.tally = options.count_records ? &result.tally : nullptr;
  context.ledger = options.note_losses ? &result.losses : nullptr;
  context.observer = options.observer;
  // The module's list stays alive for this load even if another replaces it.
  std::shared_ptr<const SysVarList> list;
  if (options.sysvar_list != nullptr) {
    context.sysvars = options.sysvar_list;
  } else {
    list = use_sysvar_list(sysvar_list_path(), context.diagnostics);
    context.sysvars = list.get();
  }
  if (source.in_memory) {
    result.file = identify_file(source.data.first(std::min<std::size_t>(source.data.size(), kTorvHeaderSize)),
                                source.data.size());
    std::span<const unsigned char> data = source.data;
    // A host that keeps the records gets the bytes once, in its own memory.
    unsigned char* room = result.file.readable && !result.file.legacy && options.observer != nullptr
                              ? options.observer->room_for_file(data.size() + 1)
                              : nullptr;
    if (room != nullptr) {
      std::memcpy(room, data.data(), data.size());
      room[data.size()] = 0;
      data = {room, data.size()};
    }
    result.loaded = load_bytes(options.mode, data.data(), data.size(), drawing, context);
  } else {
    result.loaded = load_path(options.mode, source.path.c_str(), drawing, options.window_bytes, context, result);
  }
  if (options.observer != nullptr && options.observer->carries() && context.ledger != nullptr)
    keep_uncarried_losses(result.losses, context.generation, context.sysvars_whole, context.sysvars_walked,
                          context.sysvars_held);
  if (!result.loaded && result.failure.empty()) {
    if (!result.diagnostics.empty()) result.failure = result.diagnostics.back().text;
    else result.failure = "not a drawing this version can load";
  }
  return result;
}

LoadResult load_drawing(const LoadSource& source, KT_Drawing& drawing, const LoadOptions& options) {
  const auto lock = lock_entry_points();
  return load_drawing_locked(source, drawing, options);
}

}  // namespace kttrv
