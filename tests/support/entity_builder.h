// Test support: entity records from named fields.
#pragma once

#include <optional>

#include "tests/support/bytes.h"

// A common property block; fields set here are written with their flag bit.
class PropsBlock {
 public:
  PropsBlock& layer(int v) { flags_ |= 0x1; layer_ = v; return *this; }
  PropsBlock& linetype(int v) { flags_ |= 0x2; linetype_ = v; return *this; }
  PropsBlock& reals(double a, double b) { flags_ |= 0xC; r1_ = a; r2_ = b; return *this; }
  PropsBlock& color(int v) { flags_ |= 0x10; color_ = v; return *this; }
  PropsBlock& value16(int v) { flags_ |= 0x20; value16_ = v; return *this; }
  // Each component present (with its double) or absent (presence byte 0).
  PropsBlock& extrusion(std::optional<double> x, std::optional<double> y, std::optional<double> z) {
    flags_ |= 0x40; ext_[0] = x; ext_[1] = y; ext_[2] = z; return *this;
  }
  PropsBlock& mirrored() { return extrusion(0.0, 0.0, -1.0); }
  // Raw xdata items (group code and value, already encoded) and their count.
  PropsBlock& xdata(uint32_t count, const Bytes& items) { flags_ |= 0x80; xcount_ = count; xdata_ = items; return *this; }
  PropsBlock& bits8to10() { flags_ |= 0x700; return *this; }
  PropsBlock& blobs(uint32_t count, const Bytes& items) { flags_ |= 0x800; bcount_ = count; blobs_ = items; return *this; }
  PropsBlock& flags(uint16_t f) { flags_ = f; return *this; }  // raw flags, no fields added

  Bytes bytes() const {
    Bytes b;
    b.u16(flags_);
    if (flags_ & 0x1) b.i16(layer_);
    if (flags_ & 0x2) b.i16(linetype_);
    b.u32(0x11111111).u32(0x22222222);
    if (flags_ & 0x4) b.f64(r1_);
    if (flags_ & 0x8) b.f64(r2_);
    if (flags_ & 0x10) b.i16(color_);
    if (flags_ & 0x20) b.i16(value16_);
    if (flags_ & 0x40)
      for (const auto& c : ext_) {
        b.u8(c ? 1 : 0);
        if (c) b.f64(*c);
      }
    if (flags_ & 0x80) b.u32(xcount_).append(xdata_);
    if (flags_ & 0x100) b.f64(0.5);
    if (flags_ & 0x200) b.f64(0.25);
    if (flags_ & 0x400) b.i16(7);
    if (flags_ & 0x800) b.u32(bcount_).append(blobs_);
    return b;
  }

 private:
  uint16_t flags_ = 0;
  int layer_ = 0, linetype_ = 0, color_ = 0, value16_ = 0;
  double r1_ = 0, r2_ = 0;
  std::optional<double> ext_[3];
  uint32_t xcount_ = 0, bcount_ = 0;
  Bytes xdata_, blobs_;
};

// kind, property block, payload.
inline Bytes entity(int kind, const PropsBlock& props, const Bytes& payload = {}) {
  return Bytes().i16(kind).append(props.bytes()).append(payload);
}

// An entity section: uint32 count, then the records.
inline Bytes entity_section(uint32_t count, const Bytes& records) { return Bytes().u32(count).append(records); }
