// Test support: assembles a legacy file ("Torv 1.0", "Torv 1.5"): header,
// directory, optional preview and extra blocks, the point and three reals,
// the system-variable table, then tables and the entity section in the order
// they were added.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "legacy/legacy_layout.h"
#include "legacy/legacy_tables.h"
#include "tests/support/bytes.h"

class LegacyFile {
 public:
  explicit LegacyFile(std::string version = "Torv 1.5") : version_(std::move(version)) {}

  // The version field's 20 bytes as given (no terminator added when full).
  LegacyFile& version(std::string v) {
    version_ = std::move(v);
    return *this;
  }
  // Header bytes 20 and 21 as given, whatever blocks are written.
  LegacyFile& flags(uint8_t preview, uint8_t extra) {
    flags_ = {preview, extra};
    return *this;
  }
  // A preview block: palette count, bitmap header with image_size at its
  // byte 20, then `rest` bytes of palette and image (by default the
  // count * 4 + image_size that the sizes give). Sets the preview flag.
  LegacyFile& preview(uint16_t palette_count, int32_t image_size, std::optional<std::size_t> rest = {}) {
    preview_.emplace();
    preview_->u16(palette_count).zeros(20).i32(image_size).zeros(16);
    preview_->zeros(rest ? *rest : std::size_t{palette_count} * 4 + static_cast<std::size_t>(std::max(image_size, 0)));
    return *this;
  }
  LegacyFile& extra() {
    extra_ = true;
    return *this;
  }
  // The system-variable table's bytes (default: count 0).
  LegacyFile& sysvars(const Bytes& table) {
    sysvars_ = table;
    return *this;
  }
  // count records of the table at the next place in the file, stride bytes
  // apart (the record size when 0), sized for the version named so far; the
  // file holds exactly up to the last record's end.
  LegacyFile& table(LegacyTable t, int count, int stride = 0) {
    const auto record = static_cast<int>(legacy_body_size(t, generation()) + 1);
    placed_.push_back({t, count, stride ? stride : record, record, {}});
    return *this;
  }
  // A raw descriptor, written as given (overrides a placed table).
  LegacyFile& descriptor(LegacyTable t, int16_t stride, int16_t count, int32_t offset) {
    raw_.push_back({t, LegacyTableDescriptor{stride, count, offset}});
    return *this;
  }
  // The entity section's bytes at the next place; start and end point at it.
  LegacyFile& entities(const Bytes& section) {
    placed_.push_back({std::nullopt, 0, 0, 0, section});
    return *this;
  }
  LegacyFile& entity_offsets(int32_t start, int32_t end) {
    entity_offsets_ = {start, end};
    return *this;
  }
  // Bytes appended after everything.
  LegacyFile& tail(const Bytes& bytes) {
    tail_.append(bytes);
    return *this;
  }

  // Where the fixed part ends (the system-variable table starts).
  std::size_t sysvars_offset() const {
    return kLegacyHeaderSize + kLegacyDirectorySize + (preview_ ? preview_->size() : 0) +
           (extra_ ? kLegacyExtraBlockSize : 0) + kLegacyTrailerSize;
  }

  std::vector<unsigned char> build() const {
    Bytes out;
    std::string v = version_.substr(0, 20);
    out.raw(v).zeros(20 - v.size());
    out.u8(flags_ ? flags_->first : (preview_ ? 1 : 0)).u8(flags_ ? flags_->second : (extra_ ? 1 : 0));
    const std::size_t dir = out.size();
    out.zeros(kLegacyDirectorySize);
    if (preview_) out.append(*preview_);
    if (extra_) out.zeros(kLegacyExtraBlockSize);
    out.pt2(1.0, 2.0).f64(3.0).f64(4.0).f64(5.0);
    out.append(sysvars_);

    std::vector<std::pair<LegacyTable, LegacyTableDescriptor>> descriptors;
    for (const Placed& p : placed_) {
      const auto at = static_cast<int32_t>(out.size());
      if (!p.table) {
        out.patch<int32_t>(dir, at).patch<int32_t>(dir + 4, at + static_cast<int32_t>(p.section.size()));
        out.append(p.section);
        continue;
      }
      descriptors.push_back({*p.table, {static_cast<int16_t>(p.stride), static_cast<int16_t>(p.count), at}});
      for (int i = 0; i < p.count; ++i) {
        const std::size_t start = static_cast<std::size_t>(at) + static_cast<std::size_t>(i) * static_cast<std::size_t>(p.stride);
        const std::size_t need = start + static_cast<std::size_t>(p.record);
        if (out.size() < need) out.zeros(need - out.size());
        out.data()[start] = static_cast<unsigned char>(i + 1);  // the flag byte
      }
    }
    descriptors.insert(descriptors.end(), raw_.begin(), raw_.end());
    for (const auto& [t, d] : descriptors) {
      const std::size_t at = dir + 16 + 8 * static_cast<std::size_t>(t);
      out.patch<int16_t>(at, d.stride).patch<int16_t>(at + 2, d.count).patch<int32_t>(at + 4, d.offset);
    }
    if (entity_offsets_) out.patch<int32_t>(dir, entity_offsets_->first).patch<int32_t>(dir + 4, entity_offsets_->second);
    out.append(tail_);
    return out.data();
  }

 private:
  struct Placed {
    std::optional<LegacyTable> table;  // none: the entity section
    int count;
    int stride;
    int record;
    Bytes section;
  };
  LegacyGeneration generation() const {
    LegacyHeader h;
    std::copy_n(version_.begin(), std::min<std::size_t>(version_.size(), sizeof h.version - 1), h.version);
    return legacy_generation(h);
  }

  std::string version_;
  std::optional<std::pair<uint8_t, uint8_t>> flags_;
  std::optional<Bytes> preview_;
  bool extra_ = false;
  Bytes sysvars_ = Bytes().i16(0);
  std::vector<Placed> placed_;
  std::vector<std::pair<LegacyTable, LegacyTableDescriptor>> raw_;
  std::optional<std::pair<int32_t, int32_t>> entity_offsets_;
  Bytes tail_;
};

// One entity record: the frame (kind, options, length, 4 zero bytes), then
// body (optional fields and payload). The length is the record's real size
// unless given.
inline Bytes legacy_entity(uint8_t kind, uint8_t options = 0, const Bytes& body = {}, int length = -1) {
  Bytes b;
  b.u8(kind).u8(options).i16(length >= 0 ? length : static_cast<int>(8 + body.size())).zeros(4).append(body);
  return b;
}
