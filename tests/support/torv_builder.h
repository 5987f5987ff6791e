// Test support: assembles a TORV file from a header and named sections.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "format/torv_header.h"
#include "tests/support/bytes.h"

class TorvFile {
 public:
  explicit TorvFile(std::string version = "TORV 2000") : version_(std::move(version)) {}

  // The version field's 14 bytes as given (no terminator added when full).
  TorvFile& version(std::string v) {
    version_ = std::move(v);
    return *this;
  }
  TorvFile& marker(uint8_t m) {
    marker_ = m;
    return *this;
  }
  // Places body after the header and what came before; the slot points at it.
  TorvFile& section(TorvSlot slot, const Bytes& body) {
    sections_.push_back({slot, body});
    return *this;
  }
  // Puts a raw value in a slot (overrides a section's position).
  TorvFile& slot(TorvSlot slot, int32_t value) {
    raw_slots_[slot] = value;
    return *this;
  }
  // Bytes appended after every section (padding, trailers).
  TorvFile& tail(const Bytes& bytes) {
    tail_.append(bytes);
    return *this;
  }

  std::vector<unsigned char> build() const {
    Bytes out;
    out.u8(marker_).u8(0);
    std::string v = version_.substr(0, 14);
    out.raw(v).zeros(14 - v.size());
    out.zeros(24);
    for (int i = 0; i < 12; ++i) out.i32(-1);
    for (const auto& [slot, body] : sections_) {
      out.patch<int32_t>(static_cast<std::size_t>(slot), static_cast<int32_t>(out.size()));
      out.append(body);
    }
    for (const auto& [slot, value] : raw_slots_) out.patch<int32_t>(static_cast<std::size_t>(slot), value);
    out.append(tail_);
    return out.data();
  }

 private:
  std::string version_;
  uint8_t marker_ = 0;
  std::vector<std::pair<TorvSlot, Bytes>> sections_;
  std::map<TorvSlot, int32_t> raw_slots_;
  Bytes tail_;
};
