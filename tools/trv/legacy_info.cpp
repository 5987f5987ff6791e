#include "tools/trv/legacy_info.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <span>

#include "legacy/legacy_entities.h"
#include "legacy/legacy_layout.h"
#include "legacy/legacy_sysvars.h"
#include "legacy/legacy_tables.h"
#include "format/load_context.h"
#include "format/record_reader.h"
#include "tools/trv/cli_support.h"

namespace trv {

namespace {

// What the readers report while this walks the file.
struct Reports {
  std::vector<kttrv::Diagnostic> list;
  LoadContext context{{&list}};
  std::string last() const { return list.empty() ? std::string() : list.back().text; }
};

const char* yes_no(bool b) { return b ? "yes" : "no"; }

void print_fixed_blocks(const LegacyFixedPart& fixed) {
  const LegacyHeader& h = fixed.header;
  std::printf("preview:    %s (byte 20 = %u)", yes_no(h.preview_flag == 1), unsigned{h.preview_flag});
  if (fixed.preview_offset >= 0 && fixed.preview_size >= 0)
    std::printf(", %" PRId64 " bytes at byte %d", fixed.preview_size, fixed.preview_offset);
  std::printf("\nextra:      %s (byte 21 = %u)", yes_no(h.extra_flag == 1), unsigned{h.extra_flag});
  if (fixed.extra_offset >= 0) std::printf(", 110 bytes at byte %d", fixed.extra_offset);
  std::printf("\n");
}

void print_directory(const LegacyFixedPart& fixed, std::size_t file_size) {
  const LegacyDirectory& d = fixed.directory;
  std::printf("directory:\n");
  std::printf("  entity section     start %d, end %d\n", d.entities_start, d.entities_end);
  std::printf("  %-12s %7s %7s %11s  %s\n", "table", "stride", "count", "offset", "records");
  for (int t = 0; t < kLegacyTableCount; ++t) {
    const auto table = static_cast<LegacyTable>(t);
    const LegacyTableDescriptor& desc = d.tables[t];
    const std::size_t body = legacy_body_size(table, fixed.generation);
    const char* where = desc.count <= 0                                  ? "none"
                        : legacy_table_inside(desc, body, file_size) ? "inside the file"
                                                                     : "outside the file";
    std::printf("  %-12s %7d %7d %11d  %s (%zu bytes each)\n", legacy_table_name(table), int{desc.stride},
                int{desc.count}, desc.offset, where, body + 1);
  }
}

// A load walks the table only with mode -1, and its outcome never fails the load.
void print_sysvars(const LegacyFixedPart& fixed, std::span<const unsigned char> bytes, Reports& reports) {
  const auto at = static_cast<std::size_t>(fixed.sysvars_offset);
  tagFile f{bytes.data(), static_cast<int32_t>(bytes.size()), fixed.sysvars_offset};
  f.context = &reports.context;
  const int16_t count = RecordReader(&f).i16();  // 0 when cut
  file_seek(&f, fixed.sysvars_offset, 0);
  std::printf("system variables: at byte %zu, %d entr%s, ", at, int{count}, count == 1 ? "y" : "ies");
  if (walk_legacy_sysvar_table(&f)) std::printf("read to byte %d\n", f.position);
  else std::printf("walk stops early (a mode -1 load goes on): %s\n", reports.last().c_str());
}

void print_entities(const LegacyFixedPart& fixed, std::span<const unsigned char> bytes) {
  const LegacyEntitySummary s = summarize_legacy_entities(bytes.data(), bytes.size(),
                                                          fixed.directory.entities_start,
                                                          fixed.directory.entities_end);
  std::printf("entities:   %u record%s (not converted by the loader)\n", s.records, s.records == 1 ? "" : "s");
  for (int kind = 0; kind < 256; ++kind)
    if (s.by_kind[kind]) std::printf("  kind %3d: %u\n", kind, s.by_kind[kind]);
  switch (s.end) {
    case LegacyEntityEnd::last_record:
      std::printf("  ended at the kind-13 record at byte %" PRId64 "\n", s.stop_offset);
      break;
    case LegacyEntityEnd::end_offset:
      std::printf("  ended at the end offset, byte %" PRId64 "\n", s.stop_offset);
      break;
    case LegacyEntityEnd::stopped:
    case LegacyEntityEnd::walking:
      std::printf("  stopped early at byte %" PRId64 ": %s\n", s.stop_offset, s.why);
      break;
  }
}

}  // namespace

int info_legacy(const std::string& path, const kttrv::FileIdentity& id, const DrawingFile& file) {
  const std::span<const unsigned char> bytes(file.block.data(), file.read);
  tagFile f{bytes.data(), static_cast<int32_t>(bytes.size()), 0};
  Reports reports;
  f.context = &reports.context;
  LegacyFixedPart fixed;
  const LegacyFixedStatus status = read_legacy_fixed_part(&f, fixed);
  if (status == LegacyFixedStatus::short_header) {
    error(path + ": shorter than the 22-byte legacy header (" + std::to_string(bytes.size()) + " bytes)");
    return 1;
  }
  std::printf("file:       %s (%llu bytes)\n", path.c_str(), static_cast<unsigned long long>(file.size));
  std::printf("version:    \"%s\"%s\n", bytes_to_utf8(id.version.c_str()).c_str(),
              id.version_terminated ? "" : " (no terminator)");
  if (status == LegacyFixedStatus::unknown_version) {
    std::printf("generation: unknown legacy version (not loaded)\n");
    error(path + ": version text is neither \"Torv 1.0\" nor \"Torv 1.5\"; the file cannot be loaded");
    return 1;
  }
  std::printf("generation: legacy %s\n", legacy_generation_name(fixed.generation));
  if (status == LegacyFixedStatus::short_directory) {
    error(path + ": the 80-byte legacy directory is cut short; the file cannot be loaded");
    return 1;
  }
  print_fixed_blocks(fixed);
  print_directory(fixed, bytes.size());
  if (status == LegacyFixedStatus::ok) print_sysvars(fixed, bytes, reports);
  print_entities(fixed, bytes);
  if (status != LegacyFixedStatus::ok) {
    error(path + ": " + (reports.list.empty() ? std::string("the fixed part is cut short") : reports.last()) +
          "; the file cannot be loaded");
    return 1;
  }
  return 0;
}

}  // namespace trv
