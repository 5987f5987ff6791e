#include "format/file_window.h"

#include <algorithm>
#include <cstring>

#include "format/record_reader.h"

FileWindow::FileWindow(const InputFile& file, tagFile& f, std::size_t bytes)
    : file_(file), f_(f), bytes_(std::max<std::size_t>(bytes, 16)) {
  f_.buffer = nullptr;
  f_.length = static_cast<int32_t>(file.size());
  f_.position = 0;
  f_.window = this;
  show(0, 0);
}

FileWindow::~FileWindow() {
  f_.buffer = nullptr;
  f_.window = nullptr;
  f_.window_end = 0;
  f_.refill_at = INT32_MAX;
}

// What the readers see: buffer_ holds [base, base + span). The next pause
// slides the window once less than a sixteenth of it lies ahead (what moves
// to the front is then little), or at once when buffers wait to be freed.
void FileWindow::show(int32_t base, std::size_t span) {
  f_.buffer = buffer_ != nullptr ? buffer_->data() : nullptr;
  f_.base = base;
  const int64_t end = int64_t{base} + static_cast<int64_t>(span);
  f_.window_end = end;
  if (!retired_.empty()) f_.refill_at = INT32_MIN;
  else if (end >= f_.length) f_.refill_at = INT32_MAX;
  else f_.refill_at = static_cast<int32_t>(std::max<int64_t>(end - static_cast<int64_t>(bytes_ / 16), INT32_MIN));
}

const unsigned char* FileWindow::bring_in(int32_t position, std::size_t n) {
  if (n == 0) return record_detail::kZeros;
  if (position < 0 || int64_t{position} + static_cast<int64_t>(n) > f_.length) return nullptr;
  // A new buffer from the position on: views into the current one may still
  // be held by the record being read.
  const std::size_t want = std::min<std::size_t>(std::max(n, bytes_), static_cast<std::size_t>(f_.length - position));
  auto fresh = std::make_unique<FileBlock>();
  if (!fresh->allocate(want)) {
    out_of_memory_ = true;
    return nullptr;
  }
  if (!file_.read_at(static_cast<uint64_t>(position), fresh->data(), want)) {
    failed_ = true;
    return nullptr;
  }
  if (buffer_ != nullptr) retired_.push_back(std::move(buffer_));
  buffer_ = std::move(fresh);
  capacity_ = want;
  show(position, want);
  return buffer_->data();
}

bool FileWindow::copy(int64_t from, std::size_t n, unsigned char* dst) {
  if (from < 0 || from + static_cast<int64_t>(n) > f_.length) return false;
  if (n == 0) return true;
  if (!file_.read_at(static_cast<uint64_t>(from), dst, n)) {
    failed_ = true;
    return false;
  }
  return true;
}

int64_t FileWindow::find_zero(int64_t from, int64_t to) {
  unsigned char chunk[16 * 1024];
  while (from < to) {
    const auto n = static_cast<std::size_t>(std::min<int64_t>(to - from, sizeof chunk));
    if (!file_.read_at(static_cast<uint64_t>(from), chunk, n)) {
      failed_ = true;
      return -1;
    }
    if (const void* zero = std::memchr(chunk, 0, n)) return from + (static_cast<const unsigned char*>(zero) - chunk);
    from += static_cast<int64_t>(n);
  }
  return -1;
}

void FileWindow::moved() {
  if (f_.position >= f_.base && f_.position <= f_.window_end) return;
  f_.base = f_.position;
  f_.window_end = f_.position;
}

void FileWindow::slide() {
  retired_.clear();
  const int64_t from = int64_t{f_.position} - f_.base;
  const int64_t end = f_.window_end;
  const auto span = static_cast<std::size_t>(end - f_.base);
  if (buffer_ == nullptr || from > static_cast<int64_t>(span) || end >= f_.length) {
    show(f_.base, span);  // nothing to slide: the next read outside brings its bytes in
    return;
  }
  // The bytes still ahead move to the front; the rest of the buffer is
  // filled from the file.
  const auto keep = static_cast<std::size_t>(end - f_.position);
  unsigned char* const data = buffer_->data();
  std::memmove(data, data + from, keep);
  const std::size_t more = std::min<std::size_t>(capacity_ - keep, static_cast<std::size_t>(f_.length - end));
  if (!file_.read_at(static_cast<uint64_t>(end), data + keep, more)) {
    failed_ = true;
    show(f_.position, keep);
    f_.refill_at = INT32_MAX;  // a read past the window fails again
    return;
  }
  show(f_.position, keep + more);
}
