// Dimension style records are 216 bytes. The loader multiplies the reals at
// 34, 42, 58 and 98 by the scale at 26, takes 16-bit entries 4 and 9 from
// the low byte of the truncated doubles at 74 and 146, and entry 1 from the
// low byte of entry 0; the writer stores what gives the held arrays back.
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "format/dim_style_layout.h"
#include "save/carried_writes.h"
#include "save/section_writers.h"
#include "save/stored_reals.h"
#include "save/table_writers.h"
#include "save/write_primitives.h"

namespace {

constexpr std::size_t kRecordSize = kDimStyleRecordSize;

struct Record {
  unsigned char bytes[kRecordSize] = {};
  template <class T>
  void put(std::size_t offset, T value) {
    // Little-endian, as the file holds every field.
    const auto raw = std::bit_cast<std::array<unsigned char, sizeof(T)>>(value);
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(bytes + offset, raw.data(), sizeof(T));
    } else {
      for (std::size_t i = 0; i < sizeof(T); ++i) bytes[offset + i] = raw[sizeof(T) - 1 - i];
    }
  }
};

// The loader's reading of the doubles at 74 and 146: truncated toward zero
// (0 without a 32-bit result), then the low byte.
short loaded_low_byte(double d) {
  const int32_t v = (d > -2147483649.0 && d < 2147483648.0) ? static_cast<int32_t>(d) : 0;
  return static_cast<short>(static_cast<uint32_t>(v) & 0xFFu);
}

bool fits_int16(long v) { return v >= std::numeric_limits<int16_t>::min() && v <= std::numeric_limits<int16_t>::max(); }


// Fills the record; true when every held entry comes back as held.
bool fill_record(const KT_Dim_Style& s, Record& r, bool& unreachable) {
  const double scale = s.reals[10];
  r.put<int32_t>(0, 1);  // name flag
  r.put<double>(26, scale);
  for (const DimStyleReal& f : kDimStyleReals) {
    double value = s.reals[f.entry];
    if (f.scaled) {
      bool exact = false;
      value = stored_factor(value, scale, exact);
      unreachable |= !exact;
    }
    r.put<double>(f.offset, value);
  }
  r.put<double>(146, static_cast<double>(s.shorts[9]));
  r.put<int16_t>(174, s.shorts[7]);
  r.put<int16_t>(176, s.shorts[12]);
  r.put<uint8_t>(178, static_cast<uint8_t>(s.shorts[2]));
  r.put<int16_t>(180, s.shorts[0]);
  r.put<int16_t>(190, static_cast<int16_t>(s.longs[2]));
  r.put<int16_t>(192, static_cast<int16_t>(s.longs[0]));
  r.put<int16_t>(194, static_cast<int16_t>(s.longs[1]));
  r.put<int32_t>(204, 1);  // second-name flag

  bool kept = s.shorts[1] == static_cast<short>(static_cast<uint16_t>(s.shorts[0]) & 0xFFu);
  kept &= s.shorts[2] >= 0 && s.shorts[2] <= 0xFF;
  kept &= s.shorts[4] == loaded_low_byte(s.reals[3]);
  kept &= s.shorts[9] >= 0 && s.shorts[9] <= 0xFF;
  for (int unfilled : {3, 5, 6, 8, 10, 11}) kept &= s.shorts[unfilled] == 0;
  for (long v : s.longs) kept &= fits_int16(v);
  return kept;
}

}  // namespace

void write_dim_style_table(TorvWriter& w, const KT_Drawing& drawing, SaveReport& report) {
  write_int32(w, table_count(drawing.dim_styles));
  for (const KT_Object* o = drawing.dim_styles.first; o != nullptr && w.ok; o = o->next) {
    const auto& style = static_cast<const KT_Dim_Style&>(*o);
    ++report.dim_styles;
    if (const KT_Stored* s = unchanged(w, style)) {
      write_stored(w, *s);
      continue;
    }
    const char* name = style.name != nullptr ? style.name : "";
    const char* second = style.second_name != nullptr ? style.second_name : "";
    Record r;
    bool unreachable = false;
    if (!fill_record(style, r, unreachable)) report.lose(Loss::table_entry);
    if (unreachable) report.lose(Loss::unreachable_real);
    if (beyond_counted_string(name) || beyond_counted_string(second)) report.lose(Loss::long_string);
    writer_put(w, r.bytes, kRecordSize);
    write_counted_string(w, name);
    write_counted_string(w, second);
  }
  write_run(w, KT_Carried_Run::dim_styles_tail);
}
