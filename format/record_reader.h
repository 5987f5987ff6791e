// The cursor: the one way the readers read the file's bytes. It reads the
// shared tagFile up to its own end (the file's, or a nested section's) and
// keeps a sticky error: once a read fails, every later read returns 0 and
// moves nothing, and the first failure keeps its reason and byte offset.
// Sections read a whole record, then look at ok() before they create anything.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "format/diagnostics.h"
#include "format/tag_file.h"

enum class ReadFailure : uint8_t {
  none,
  end_of_data,       // a read passed the end of the data
  impossible_count,  // a count claims more items than the rest of the data holds
  bad_value,         // a value the record cannot have
};

namespace record_detail {
// What a record read after a failure sees: zeros (the caller looks at ok()
// before it uses them).
inline constexpr std::size_t kLargestView = 256;
alignas(8) inline constexpr unsigned char kZeros[kLargestView] = {};
}  // namespace record_detail

// A record of N bytes, bounds-checked once when it was read; each field's
// offset is checked against N when compiled.
template <std::size_t N>
class FixedRecord {
  static_assert(N <= record_detail::kLargestView, "larger records are read field by field");

 public:
  explicit FixedRecord(const unsigned char* bytes) : p_(bytes) {}

  template <class T, std::size_t Offset>
  T get() const {
    static_assert(Offset + sizeof(T) <= N, "the field lies outside the record");
    T value;
    std::memcpy(&value, p_ + Offset, sizeof(T));
    return value;
  }
  // Count fields of type T in a row from Offset, copied to dst as one block.
  template <class T, std::size_t Offset, std::size_t Count>
  void copy(T* dst) const {
    static_assert(Offset + Count * sizeof(T) <= N, "the fields lie outside the record");
    std::memcpy(dst, p_ + Offset, Count * sizeof(T));
  }
  // A field at an offset from a table of offsets; the table is checked
  // against N where it is written (fits_record).
  template <class T>
  T at(std::size_t offset) const {
    assert(offset + sizeof(T) <= N);
    T value;
    std::memcpy(&value, p_ + offset, sizeof(T));
    return value;
  }
  // Whether any byte of [From, To) is not zero (a field the reader passes over
  // holds something).
  // Whether the Size bytes at A and at B are the same.
  template <std::size_t A, std::size_t B, std::size_t Size>
  bool same_bytes() const {
    static_assert(A + Size <= N && B + Size <= N, "the bytes lie outside the record");
    return std::memcmp(p_ + A, p_ + B, Size) == 0;
  }
  template <std::size_t From, std::size_t To>
  bool holds() const {
    static_assert(From <= To && To <= N, "the bytes lie outside the record");
    for (std::size_t i = From; i < To; ++i)
      if (p_[i] != 0) return true;
    return false;
  }

 private:
  const unsigned char* p_;
};

// For a table of field offsets: every field of `size` bytes lies inside a
// record of n bytes (use in a static_assert).
template <std::size_t N, class Table, class OffsetOf>
constexpr bool fits_record(const Table& table, std::size_t size, OffsetOf offset_of) {
  for (const auto& entry : table)
    if (offset_of(entry) + size > N) return false;
  return true;
}

// A record whose size its flags fix, bounds-checked once when it was read;
// its fields are read in order (next) or at an offset (at), inside the size
// the same layout gave.
class RecordView {
 public:
  RecordView(const unsigned char* bytes, std::size_t size) : p_(bytes), end_(bytes + size) {}

  template <class T>
  T next() {
    assert(sizeof(T) <= static_cast<std::size_t>(end_ - p_));
    T value;
    std::memcpy(&value, p_, sizeof(T));
    p_ += sizeof(T);
    return value;
  }
  void pass(std::size_t n) {
    assert(n <= static_cast<std::size_t>(end_ - p_));
    p_ += n;
  }
  // The bytes not yet read.
  const unsigned char* data() const { return p_; }

 private:
  const unsigned char* p_;
  [[maybe_unused]] const unsigned char* end_;  // checked by the asserts
};

class RecordReader {
 public:
  explicit RecordReader(tagFile* f) : f_(f), end_(f->length) {}

  bool ok() const { return ok_; }
  ReadFailure failure() const { return failure_; }
  int32_t failed_at() const { return failed_at_; }  // the offset of the first failed read; -1 while ok
  tagFile* file() const { return f_; }
  int32_t offset() const { return f_->position; }
  std::size_t remaining() const { return ok_ ? left() : 0; }

  // Fails the cursor (and the cursors it nests in) at the current offset; a
  // cursor that already failed keeps its first reason.
  [[gnu::cold]] void fail(ReadFailure why = ReadFailure::bad_value) { fail_at(why, offset()); }

  // Moves to a section's position; nothing is read yet.
  void seek(int32_t position) {
    f_->position = position;
    if (f_->window != nullptr) seek_window();
  }

  // A nested section: the next n bytes (or, with a position, the n bytes
  // there), read through a cursor that ends where the section ends and whose
  // failure fails this one too. A section that passes the end of the data
  // fails this cursor; the nested one is then failed as well.
  RecordReader section(std::size_t n) {
    RecordReader nested(f_, this);
    if (ok_ && n <= left()) {
      nested.end_ = static_cast<int32_t>(f_->position + static_cast<int64_t>(n));
      nested.limit_ = nested.end_;
    } else {
      fail(ReadFailure::end_of_data);
      nested.ok_ = false;
      nested.limit_ = -1;
      nested.failure_ = failure_;
      nested.failed_at_ = failed_at_;
    }
    return nested;
  }
  RecordReader section(int32_t position, std::size_t n) {
    const int32_t back = f_->position;
    if (ok_) seek(position);
    RecordReader nested = section(n);
    if (!ok_) seek(back);  // a failed read moves nothing
    return nested;
  }

  // A count read from the file, before anything is sized by it: true when
  // count items of at least min_size bytes each could still be read (checked
  // by division, so no product overflows); otherwise the cursor fails.
  bool expect_items(uint64_t count, uint64_t min_size) {
    if (min_size == 0 || count <= remaining() / min_size) return ok_;
    if (ok_) fail(ReadFailure::impossible_count);
    return false;
  }

  template <class T>
  T get() {
    T value{};
    if (fits(sizeof(T))) [[likely]]
      std::memcpy(&value, advance(sizeof(T)), sizeof(T));
    else if (const unsigned char* p = take_outside_window(sizeof(T)))
      std::memcpy(&value, p, sizeof(T));
    return value;
  }
  uint8_t u8() { return get<uint8_t>(); }
  int16_t i16() { return get<int16_t>(); }
  uint16_t u16() { return get<uint16_t>(); }
  int32_t i32() { return get<int32_t>(); }
  uint32_t u32() { return get<uint32_t>(); }
  uint64_t u64() { return get<uint64_t>(); }
  double f64() { return get<double>(); }

  // A fixed-size record: one bounds check for its N bytes, the cursor moved
  // past them. When fewer remain the cursor fails and the record reads zeros.
  template <std::size_t N>
  FixedRecord<N> record() {
    return FixedRecord<N>(fits(N) ? advance(N) : or_zeros(take_outside_window(N)));
  }
  // The same for a record whose size its flags fix (at most 256 bytes).
  RecordView record(std::size_t n) {
    assert(n <= record_detail::kLargestView);
    return RecordView(fits(n) ? advance(n) : or_zeros(take_outside_window(n)), n);
  }

  // The next n bytes in place, the cursor not moved, when they are all there
  // and in the buffer; otherwise null, and nothing fails (the caller reads
  // them another way). For a record whose size its first fields fix.
  const unsigned char* peek(std::size_t n) const {
    return fits(n) ? f_->buffer + (f_->position - f_->base) : nullptr;
  }
  // Moves past n bytes a peek showed.
  void pass_peeked(std::size_t n) {
    assert(fits(n));
    f_->position += static_cast<int32_t>(n);
  }

  // Copies n bytes, or fails leaving dst as it was.
  bool bytes(void* dst, std::size_t n) {
    const unsigned char* p = take(n);
    if (p != nullptr && n != 0) std::memcpy(dst, p, n);
    return p != nullptr;
  }

  // Passes over n bytes, or fails.
  bool skip(uint64_t n) {
    if (n <= UINT32_MAX && within_end(n)) [[likely]] {
      f_->position += static_cast<int32_t>(n);
      return true;
    }
    if (!ok_ || n > left()) return fail(ReadFailure::end_of_data), false;
    f_->position += static_cast<int32_t>(n);
    return true;
  }

  // The bytes of a counted string (int16 length n, then n bytes, none when
  // n <= 0), viewed in the buffer. A string cut short fails whole, moving nothing.
  std::string_view counted_view() {
    // The string and its length in the buffer: two bounds checks.
    if (fits(2)) [[likely]] {
      const unsigned char* p = f_->buffer + (f_->position - f_->base);
      int16_t n;
      std::memcpy(&n, p, 2);
      const std::size_t len = n > 0 ? static_cast<std::size_t>(n) : 0;
      if (fits(2 + len)) [[likely]]
        return std::string_view(reinterpret_cast<const char*>(advance(2 + len) + 2), len);
    }
    const std::size_t have = remaining();
    const unsigned char* p = have >= 2 ? at_position(2) : nullptr;
    int16_t n = 0;
    if (p != nullptr) std::memcpy(&n, p, 2);
    const std::size_t len = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (p == nullptr || len > have - 2) return fail(ReadFailure::end_of_data), std::string_view{};
    p = take(2 + len);
    return p != nullptr ? std::string_view(reinterpret_cast<const char*>(p + 2), len) : std::string_view{};
  }

  // The bytes up to a zero, viewed in the buffer; the cursor moves past the
  // zero. Without a zero before the end it fails, moving nothing.
  std::string_view zero_terminated() {
    const std::size_t have = remaining();
    // What the window holds is searched first; past it, the file is scanned
    // for the zero without being held, and only the string is brought in.
    const std::size_t held = in_window_from_position(have);
    std::size_t len = kNoZero;
    if (held != 0) {
      const unsigned char* start = f_->buffer + (f_->position - f_->base);
      if (const void* zero = std::memchr(start, 0, held))
        len = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - start);
    }
    if (len == kNoZero && held < have) len = find_zero_outside_window(held, have);
    if (len == kNoZero) return fail(ReadFailure::end_of_data), std::string_view{};
    const unsigned char* start = at_position(len + 1);
    if (start == nullptr) return {};
    f_->position += static_cast<int32_t>(len + 1);
    return {reinterpret_cast<const char*>(start), len};
  }

  // The bytes from the position to this cursor's end, without moving.
  std::string_view rest() {
    const std::size_t n = remaining();
    const unsigned char* p = n != 0 ? at_position(n) : nullptr;
    return p != nullptr ? std::string_view(reinterpret_cast<const char*>(p), n) : std::string_view{};
  }

  // Between two records no view into the buffer is held: a file read a
  // window at a time may slide its window here.
  void between_records() {
    if (f_->position > f_->refill_at) [[unlikely]]
      slide_window();
  }

 private:
  RecordReader(tagFile* f, RecordReader* parent) : f_(f), end_(-1), parent_(parent) {}

  // Bytes from the position to the end; 0 when the position lies outside.
  std::size_t left() const {
    const int32_t p = f_->position;
    return (p < 0 || p > end_) ? 0 : static_cast<std::size_t>(end_ - p);
  }
  // The next n bytes, the cursor moved past them; null (the cursor failed)
  // when they are not all there.
  const unsigned char* take(std::size_t n) {
    return n <= UINT32_MAX && fits(n) ? advance(n) : take_outside_window(n);
  }

  // Whether the next n bytes are there (in the buffer or not); n < 4 GiB.
  bool within_end(uint64_t n) const {
    return static_cast<int64_t>(uint64_t{static_cast<uint32_t>(f_->position)} + n) <= limit_;
  }
  // Whether the next n bytes are there and in the buffer: the one test of
  // every read's fast path. A negative position, read as unsigned, lies past
  // every limit, so one comparison covers the cursor's end, its failure and
  // the position's sign; n is a record's size, far below 4 GiB.
  bool fits(std::size_t n) const {
    assert(n <= UINT32_MAX);
    const auto past = static_cast<int64_t>(uint64_t{static_cast<uint32_t>(f_->position)} + n);
    return past <= limit_ && past <= f_->window_end;
  }
  // The next n bytes, which fit; the cursor moves past them.
  const unsigned char* advance(std::size_t n) {
    const int32_t p = f_->position;
    f_->position = p + static_cast<int32_t>(n);
    return f_->buffer + (p - f_->base);
  }
  static const unsigned char* or_zeros(const unsigned char* p) { return p != nullptr ? p : record_detail::kZeros; }

  // The n bytes at the position (n <= left()), or null when the file cannot
  // be read there (the cursor then fails). Views taken before stay valid.
  const unsigned char* at_position(std::size_t n) {
    const int32_t p = f_->position;
    if (int64_t{p} + static_cast<int64_t>(n) <= f_->window_end) [[likely]]
      return f_->buffer + (p - f_->base);
    const unsigned char* in = bring_in(n);
    if (in == nullptr) fail(ReadFailure::end_of_data);
    return in;
  }

  // How many of `have` bytes from the position the window holds now.
  std::size_t in_window_from_position(std::size_t have) const {
    if (have == 0) return 0;  // also when the position lies outside: no difference to take
    const int64_t held = f_->window_end - f_->position;
    if (held <= 0) return 0;
    return static_cast<uint64_t>(held) < have ? static_cast<std::size_t>(held) : have;
  }

  static constexpr std::size_t kNoZero = SIZE_MAX;
  // Where the first zero lies between `from` and `to` bytes past the
  // position, or kNoZero; only a file read a window at a time gets here.
  [[gnu::cold]] std::size_t find_zero_outside_window(std::size_t from, std::size_t to);
  [[gnu::cold]] const unsigned char* take_outside_window(std::size_t n);
  [[gnu::cold]] const unsigned char* bring_in(std::size_t n);
  [[gnu::cold]] void slide_window();
  [[gnu::cold]] void seek_window();

  [[gnu::cold]] void fail_at(ReadFailure why, int32_t at) {
    if (ok_) {
      ok_ = false;
      limit_ = -1;
      failure_ = why;
      failed_at_ = at;
    }
    if (parent_ != nullptr) parent_->fail_at(why, at);
  }

  tagFile* f_;
  int32_t end_;  // this cursor reads no byte at or past it
  int64_t limit_ = end_;  // end_ while the cursor is ok, -1 once it failed: what fits() tests
  bool ok_ = true;
  ReadFailure failure_ = ReadFailure::none;
  int32_t failed_at_ = -1;
  RecordReader* parent_ = nullptr;
};

// Reports why a section stopped at the record that starts at `at`: "<what>
// cut short by the end of the data", or the cursor's other reason and where
// it lies. The one place these texts are made.
void report_read_failure(const RecordReader& r, const char* section, int64_t at, const char* format, ...)
    __attribute__((format(KTTRV_PRINTF_FORMAT, 4, 5)));
// The same inside the definition of the block with that index.
void report_read_failure(const RecordReader& r, int block, const char* section, int64_t at, const char* format,
                         ...) __attribute__((format(KTTRV_PRINTF_FORMAT, 5, 6)));
