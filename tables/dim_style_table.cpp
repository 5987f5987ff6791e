// The dimension style table: a uint32 count, then per style a 216-byte
// record and up to nine counted strings. Each record becomes one kernel
// call with three arrays: 3 integers, 13 16-bit values and 16 reals.
#include <cstring>
#include <string>

#include "kernel/zirida.h"
#include "format/counted_section.h"
#include "format/load_context.h"
#include "format/loss_ledger.h"
#include "format/dim_style_layout.h"
#include "format/record_reader.h"
#include "format/torv_header.h"
#include "tables/table_readers.h"

namespace {

constexpr const char* kSection = "dimension styles";
constexpr std::size_t kRecordSize = kDimStyleRecordSize;

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
using DimStyleRecord = FixedRecord<kRecordSize>;

short truncated_low_byte(const tagFile* f, const DimStyleRecord& rec, std::size_t offset, int32_t record_at) {
  const double d = rec.at<double>(offset);
  int32_t v = 0;
  if (!truncate_to_int32(d, v))
    report_diagnostic(f, {kSection, record_at + static_cast<int32_t>(offset), -1, kttrv::Severity::note},
                      "real %g has no 32-bit integer value; 0 used", d);
  return low_byte(v);
}

struct DimStyleArrays {
  long longs[3] = {};
  short shorts[13] = {};
  double reals[16] = {};
};

static_assert(fits_record<kRecordSize>(kDimStyleReals, sizeof(double), [](const DimStyleReal& f) { return f.offset; }));

void fill_arrays(const tagFile* f, const DimStyleRecord& rec, int32_t record_at, DimStyleArrays& a) {
  a = DimStyleArrays{};
  a.longs[0] = rec.get<int16_t, 192>();
  a.longs[1] = rec.get<int16_t, 194>();
  a.longs[2] = rec.get<int16_t, 190>();

  const auto at180 = rec.get<int16_t, 180>();
  a.shorts[0] = at180;
  a.shorts[1] = low_byte(at180);
  a.shorts[2] = rec.get<uint8_t, 178>();
  a.shorts[4] = truncated_low_byte(f, rec, 74, record_at);
  a.shorts[7] = rec.get<int16_t, 174>();
  a.shorts[9] = truncated_low_byte(f, rec, 146, record_at);
  a.shorts[12] = rec.get<int16_t, 176>();

  const double scale = rec.get<double, 26>();
  for (const DimStyleReal& rf : kDimStyleReals) {
    const double v = rec.at<double>(rf.offset);
    a.reals[rf.entry] = rf.scaled ? scaled_real(v, scale) : v;
  }
  a.reals[10] = scale;
}

// Flags of the seven strings that are read and dropped, in file order.
constexpr std::size_t kDroppedStringFlags[] = {6, 10, 14, 18, 22, 196, 200};
static_assert(fits_record<kRecordSize>(kDroppedStringFlags, sizeof(int32_t), [](std::size_t at) { return at; }));

// The bytes no entry comes from, and the double at 146, which the writer
// stores as the 16-bit entry taken from it.
bool unkept_fields(const DimStyleRecord& rec, const DimStyleArrays& a) {
  const double at146 = rec.get<double, 146>();
  const double written = a.shorts[9];
  return rec.holds<4, 6>() || rec.holds<162, 174>() || rec.holds<179, 180>() || rec.holds<182, 190>() ||
         rec.holds<208, 216>() || std::memcmp(&at146, &written, sizeof at146) != 0;
}

}  // namespace

int read_dim_style_table(tagFile* f, int32_t position) {
  if (position < 1) return 0;
  RecordReader r(f);
  const std::optional<uint32_t> counted = open_counted_section(r, position, kSection);
  if (!counted) return 0;
  const uint32_t count = *counted;
  std::string name, second_name;  // whole, as their references give them
  DimStyleArrays arrays;
  for (uint32_t i = 0; i < count; ++i) {
    r.between_records();
    const int32_t at = r.offset();
    const DimStyleRecord rec = r.record<kRecordSize>();  // the record's 216 bytes, in place
    name.clear();
    second_name.clear();
    if (r.ok() && rec.get<int32_t, 0>() != 0) name.assign(r.counted_view());
    const bool has_second_name = r.ok() && rec.get<int32_t, 204>() != 0;
    const bool used_fields_read = r.ok();
    bool dropped = false;  // a dropped string holds characters
    for (std::size_t flag : kDroppedStringFlags)
      if (r.ok() && rec.at<int32_t>(flag) != 0) dropped |= !r.counted_view().empty();
    if (r.ok() && has_second_name) second_name.assign(r.counted_view());
    // Without a second name, the dropped strings are all that follows the
    // used fields: a style whose dropped strings alone are cut is created.
    if (r.ok() || (used_fields_read && !has_second_name)) {
      fill_arrays(f, rec, at, arrays);
      api_kt_create_dim_style(name.c_str(), second_name.c_str(), arrays.longs, arrays.shorts, arrays.reals);
      if (LossLedger* ledger = load_context(f).ledger; ledger != nullptr && (dropped || unkept_fields(rec, arrays)))
        ledger->note(Loss::dim_style_field, kSection, i, at);
      if (r.ok() && observing(f) != nullptr)
        report_stored(f, stored_record(kttrv::StoredKind::dim_style, kSection, kSlotDimStyles, i), at, r.offset());
    }
    if (!r.ok()) {
      report_read_failure(r, kSection, at, "record %u of %u", i, count);
      return 0;
    }
  }
  return 1;
}
