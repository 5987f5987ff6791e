#include "load/load_document.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "entities/entity_stream.h"
#include "kernel/collections.h"
#include "legacy/legacy_loader.h"
#include "format/counted_section.h"
#include "format/entry_lock.h"
#include "format/file_window.h"
#include "format/loss_ledger.h"
#include "format/torv_header.h"
#include "load/drawing_file.h"
#include "load/unread_bytes.h"
#include "save/written_sections.h"
#include "tables/block_section.h"
#include "tables/sysvar_list.h"
#include "tables/table_readers.h"


void KtTrvSetDiagnosticSink(KtTrvDiagnosticSink sink, void* context) {
  const auto lock = lock_entry_points();
  set_diagnostic_sink(sink, context);
}

void KtTrvSetSysVarListPath(const char* path) {
  const auto lock = lock_entry_points();
  set_sysvar_list_path(path);
}

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

bool load_current_generation(int mode, tagFile& f, KT_Drawing& drawing) {
  TorvHeader header;
  if (!read_torv_header(&f, header)) {
    report_diagnostic("header", 0, "file of %d bytes is shorter than the 88-byte header", f.length);
    return false;
  }
  const int generation = torv_generation(header.version);
  if (generation < 0) {
    report_diagnostic("header", 2, "unknown version string");
    return false;
  }
  g_trv_ver = generation;
  if (generation == 2) {
    report_diagnostic("header", 2, "version \"SELK 24.05.95\" is refused");
    AfxMessageBox(kRefusedVersionMessage, MB_OK, 0);
    return false;
  }

  LossLedger* const ledger = loss_ledger();
  // Where the sections read to their end stop: what lies behind one, up to
  // the next section, no reader reads.
  std::vector<SectionEnd> ends;
  const auto ended = [&](int result, const char* section) {
    if (ledger != nullptr && result == 1) ends.push_back({f.position, section});
  };
  if (mode == -1) {
    const int walked = read_sysvar_section(&f, header_slot(header, kSlotSysVars),
                                           ledger != nullptr ? written_sysvar_section() : std::string_view());
    // Without a list the section's length is not known.
    if (!sysvar_list().empty()) ended(walked, "system variables");
  }

  const BaseCounts base = take_base_counts(drawing);
  ended(read_layer_table(&f, header_slot(header, kSlotLayers)), "layers");
  ended(read_text_style_table(&f, header_slot(header, kSlotTextStyles)), "text styles");
  read_dim_style_table(&f, header_slot(header, kSlotDimStyles));

  const char mode_flag = mode == -1 ? 0 : 1;
  const int32_t blocks = header_slot(header, kSlotBlocks);
  if (blocks != -1) ended(read_block_section(&f, blocks, mode_flag, base, drawing), "block definitions");

  const int32_t entities = header_slot(header, kSlotEntities);
  int64_t entities_end = -1;
  if (entities != -1) {
    RecordReader r(&f);
    // What LoadTORVEntities does, inside our lock.
    if (const std::optional<uint32_t> count = open_counted_section(r, entities, "entities"))
      if (read_entity_stream(r, -1, *count)) entities_end = f.position;
  }
  if (ledger != nullptr) note_unread_bytes(f, header, drawing, entities_end, ends, base.blocks == 0 && base.text_styles == 0, *ledger);
  return true;
}

}  // namespace

bool load_torv_buffer(int mode, const unsigned char* data, std::size_t size, KT_Drawing& drawing) {
  if (size == 0) {
    report_diagnostic("file", 0, "the file is empty");
    return false;
  }
  if (size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    report_diagnostic("file", 0, "the file is too large for 32-bit positions");
    return false;
  }
  CurrentDrawing current(drawing);
  if (data[0] == 'T') return load_legacy_buffer(mode, data, size, drawing) != 0;
  tagFile f{data, static_cast<int32_t>(size), 0};
  return load_current_generation(mode, f, drawing);
}

bool load_torv_file(int mode, const char* path, KT_Drawing& drawing, std::size_t window_bytes) {
  InputFile input;
  DrawingHead head;
  std::string problem;
  if (!open_drawing_file(path, input, head, problem)) {
    report_diagnostic("file", 0, "%s %s", path, problem.c_str());
    return false;
  }
  if (head.size == 0 || head.bytes[0] == 'T' || !head.readable) {
    // Legacy files are read whole; an empty or refused one is refused as a
    // buffer is.
    DrawingFile file;
    if (!read_drawing_file(input, head, file, problem)) {
      report_diagnostic("file", 0, "%s %s", path, problem.c_str());
      return false;
    }
    return load_torv_buffer(mode, file.block.data(), file.read, drawing);
  }
  // The file's bytes are in memory only a window at a time, and none of them
  // after the call returns.
  tagFile f;
  FileWindow window(input, f, window_bytes);
  CurrentDrawing current(drawing);
  const bool loaded = load_current_generation(mode, f, drawing);
  if (window.failed() || window.out_of_memory()) {
    report_diagnostic("file", 0, "%s %s", path,
                      window.failed() ? "cannot be read to its end (did it shrink?)" : "does not fit in memory");
    return false;
  }
  return loaded;
}

namespace {
bool g_keep_for_exported_save = true;
}  // namespace

void set_losses_kept_for_exported_save(bool on) {
  const auto lock = lock_entry_points();
  g_keep_for_exported_save = on;
}

bool LoadTORVDocument(int mode, CString& path, KT_Drawing*& drawing) {
  const auto lock = lock_entry_points();
  if (drawing == nullptr) return false;
  use_sysvar_list(sysvar_list_path());
  // What the readers drop is noted while someone can hear of it: a host of
  // ours that installed a ledger, or a diagnostic sink, which a later
  // api_kt_save_trv of this drawing tells. Otherwise the load runs as it
  // always did.
  // An empty drawing has no past: what a drawing once at its address lost is
  // not its own.
  if (drawing->layers.first == nullptr && drawing->text_styles.first == nullptr && drawing->dim_styles.first == nullptr &&
      drawing->line_types.first == nullptr && drawing->blocks.first == nullptr && drawing->model_space.first == nullptr)
    forget_drawing_losses(drawing);
  LossLedger* const installed = loss_ledger();
  if (installed == nullptr && !(g_keep_for_exported_save && diagnostics_enabled()))
    return load_torv_file(mode, path.GetString(), *drawing, FileWindow::kDefaultBytes);
  LossLedger noted;
  set_loss_ledger(&noted);
  const bool loaded = load_torv_file(mode, path.GetString(), *drawing, FileWindow::kDefaultBytes);
  set_loss_ledger(installed);
  if (installed != nullptr) installed->add(noted);
  if (!noted.empty()) remember_drawing_losses(drawing, noted);
  return loaded;
}
