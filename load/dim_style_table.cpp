// The dimension style table: a uint32 count, then per style a 216-byte
// record and up to nine counted strings. Each record becomes one kernel
// call with three arrays: 3 integers, 13 16-bit values and 16 reals.
#include <cstring>
#include <string>

#include "kernel/zirida.h"
#include "load/counted_section.h"
#include "load/diagnostics.h"
#include "load/record_reader.h"
#include "load/table_readers.h"

namespace {

constexpr const char* kSection = "dimension styles";
constexpr std::size_t kRecordSize = 216;

// The record's fields by offset, read from a copy of its 216 bytes.
template <class T>
T field(const unsigned char* rec, std::size_t offset) {
  T v;
  std::memcpy(&v, rec + offset, sizeof v);
  return v;
}

// Truncation toward zero, 0 where it has no 32-bit result (NaN, infinities,
// values beyond the int32 range).
bool truncate_to_int32(double d, int32_t& out) {
  if (!(d > -2147483649.0 && d < 2147483648.0)) {
    out = 0;
    return false;
  }
  out = static_cast<int32_t>(d);
  return true;
}

short low_byte(int32_t v) { return static_cast<short>(static_cast<uint32_t>(v) & 0xFFu); }

// Low byte of the truncated double at offset; says where when it has none.
short truncated_low_byte(const unsigned char* rec, std::size_t offset, int32_t record_at) {
  const double d = field<double>(rec, offset);
  int32_t v = 0;
  if (!truncate_to_int32(d, v))
    report_diagnostic(kSection, record_at + static_cast<int32_t>(offset),
                      "real %g has no 32-bit integer value; 0 used", d);
  return low_byte(v);
}

struct DimStyleArrays {
  long longs[3] = {};
  short shorts[13] = {};
  double reals[16] = {};
};

void fill_arrays(const unsigned char* rec, int32_t record_at, DimStyleArrays& a) {
  a = DimStyleArrays{};
  a.longs[0] = field<int16_t>(rec, 192);
  a.longs[1] = field<int16_t>(rec, 194);
  a.longs[2] = field<int16_t>(rec, 190);

  const int16_t at180 = field<int16_t>(rec, 180);
  a.shorts[0] = at180;
  a.shorts[1] = low_byte(at180);
  a.shorts[2] = field<uint8_t>(rec, 178);
  a.shorts[4] = truncated_low_byte(rec, 74, record_at);
  a.shorts[7] = field<int16_t>(rec, 174);
  a.shorts[9] = truncated_low_byte(rec, 146, record_at);
  a.shorts[12] = field<int16_t>(rec, 176);

  // Real entry <- offset; the scale at 26 multiplies four of them.
  const double scale = field<double>(rec, 26);
  struct RealField {
    int entry;
    std::size_t offset;
    bool scaled;
  };
  static constexpr RealField kReals[] = {
      {1, 34, true},   {6, 42, true},   {4, 50, false},  {5, 58, true},  {9, 66, false},
      {3, 74, false},  {12, 82, false}, {11, 90, false}, {15, 98, true}, {2, 106, false},
      {13, 114, false}, {0, 122, false}, {8, 130, false}, {14, 138, false}, {7, 154, false},
  };
  for (const RealField& rf : kReals) {
    const double v = field<double>(rec, rf.offset);
    a.reals[rf.entry] = rf.scaled ? v * scale : v;
  }
  a.reals[10] = scale;
}

// Flags of the seven strings that are read and dropped, in file order.
constexpr std::size_t kDroppedStringFlags[] = {6, 10, 14, 18, 22, 196, 200};

}  // namespace

void read_dim_style_table(tagFile* f, int32_t position) {
  if (position < 1) return;
  RecordReader r(f);
  const std::optional<uint32_t> counted = open_counted_section(r, position, kSection);
  if (!counted) return;
  const uint32_t count = *counted;
  unsigned char rec[kRecordSize];
  std::string name, second_name;  // whole, as their references give them
  DimStyleArrays arrays;
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t at = r.offset();
    r.bytes(rec, kRecordSize);
    name.clear();
    second_name.clear();
    if (r.ok() && field<int32_t>(rec, 0) != 0) name.assign(r.counted_view());
    const bool has_second_name = r.ok() && field<int32_t>(rec, 204) != 0;
    const bool used_fields_read = r.ok();
    for (std::size_t flag : kDroppedStringFlags)
      if (r.ok() && field<int32_t>(rec, flag) != 0) r.counted_view();
    if (r.ok() && has_second_name) second_name.assign(r.counted_view());
    // Without a second name, the dropped strings are all that follows the
    // used fields: a style whose dropped strings alone are cut is created.
    if (r.ok() || (used_fields_read && !has_second_name)) {
      fill_arrays(rec, at, arrays);
      api_kt_create_dim_style(name.c_str(), second_name.c_str(), arrays.longs, arrays.shorts, arrays.reals);
    }
    if (!r.ok()) {
      report_diagnostic(kSection, at, "record %u of %u cut short by the end of the data", i, count);
      return;
    }
  }
}
