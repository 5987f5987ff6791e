#include "legacy/legacy_layout.h"

#include "format/load_context.h"
#include "format/names.h"
#include "format/record_reader.h"

namespace {

LegacyTableDescriptor read_descriptor(RecordReader& r) {
  LegacyTableDescriptor d;
  d.stride = r.i16();
  d.count = r.i16();
  d.offset = r.i32();
  return d;
}

// Palette count, bitmap information header, palette, image data. The image
// size is a byte count: a negative one is refused rather than moving the
// stream backwards into bytes already read.
bool skip_preview(RecordReader& r, LegacyFixedPart& out) {
  const int32_t start = r.offset();
  out.preview_offset = start;
  const uint16_t palette_count = r.u16();
  const auto info = r.record<kLegacyBitmapInfoSize>();
  if (!r.ok()) {
    report_read_failure(r, "legacy preview", start, "palette count and bitmap header");
    return false;
  }
  const auto image_size = info.get<int32_t, 20>();
  if (image_size < 0) {
    report_diagnostic(r.file(), {"legacy preview", start + 2 + 20}, "negative image size %d", image_size);
    return false;
  }
  const uint64_t rest = uint64_t{palette_count} * 4 + static_cast<uint64_t>(image_size);
  out.preview_size = static_cast<int64_t>(2 + kLegacyBitmapInfoSize + rest);
  if (!r.skip(rest)) {
    report_diagnostic(r.file(), {"legacy preview", start},
                      "palette of %u entries and image of %d bytes run past the end of the file",
                      unsigned{palette_count}, image_size);
    return false;
  }
  return true;
}

}  // namespace

const char* legacy_table_name(LegacyTable table) {
  switch (table) {
    case kLegacyBlocks: return "blocks";
    case kLegacyLayers: return "layers";
    case kLegacyTextStyles: return "text styles";
    case kLegacyLineTypes: return "line types";
  }
  return "?";
}

LegacyGeneration legacy_generation(const LegacyHeader& header) {
  if (field_names(header.version, sizeof header.version, "Torv 1.0")) return LegacyGeneration::v1_0;
  if (field_names(header.version, sizeof header.version, "Torv 1.5")) return LegacyGeneration::v1_5;
  return LegacyGeneration::unknown;
}

const char* legacy_generation_name(LegacyGeneration generation) {
  switch (generation) {
    case LegacyGeneration::v1_0: return "1.0";
    case LegacyGeneration::v1_5: return "1.5";
    case LegacyGeneration::unknown: break;
  }
  return "unknown";
}

LegacyFixedStatus read_legacy_fixed_part(tagFile* f, LegacyFixedPart& out) {
  out = LegacyFixedPart{};
  RecordReader r(f);
  r.seek(0);

  r.bytes(out.header.version, sizeof out.header.version);
  out.header.preview_flag = r.u8();
  out.header.extra_flag = r.u8();
  if (!r.ok()) {
    report_diagnostic(f, {"legacy header", 0}, "file of %d bytes is shorter than the 22-byte header", f->length);
    return LegacyFixedStatus::short_header;
  }
  out.generation = legacy_generation(out.header);
  if (out.generation == LegacyGeneration::unknown) {
    report_diagnostic(f, {"legacy header", 0}, "version text is neither \"Torv 1.0\" nor \"Torv 1.5\"");
    return LegacyFixedStatus::unknown_version;
  }

  const int32_t directory_start = r.offset();
  LegacyDirectory d;
  d.entities_start = r.i32();
  d.entities_end = r.i32();
  r.skip(8);
  for (LegacyTableDescriptor& t : d.tables) t = read_descriptor(r);
  r.skip(32);
  if (!r.ok()) {
    report_read_failure(r, "legacy directory", directory_start, "80-byte directory");
    return LegacyFixedStatus::short_directory;
  }
  out.directory = d;

  if (out.header.preview_flag == 1 && !skip_preview(r, out)) return LegacyFixedStatus::bad_preview;
  if (out.header.extra_flag == 1) {
    out.extra_offset = r.offset();
    if (!r.skip(kLegacyExtraBlockSize)) {
      report_read_failure(r, "legacy extra block", out.extra_offset, "110-byte block");
      return LegacyFixedStatus::short_extra;
    }
  }
  // The point and the three reals are of no use here; they only have to be there.
  const int32_t trailer = r.offset();
  if (!r.skip(kLegacyTrailerSize)) {
    report_read_failure(r, "legacy header", trailer, "point and three reals");
    return LegacyFixedStatus::short_trailer;
  }
  out.sysvars_offset = r.offset();
  return LegacyFixedStatus::ok;
}
