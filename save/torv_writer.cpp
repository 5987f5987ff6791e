#include "save/torv_writer.h"

#include <cerrno>
#include <limits>

namespace {

constexpr std::size_t kStage = 1 << 20;

void fail(TorvWriter& w) {
  if (w.ok && w.file != nullptr) w.error = errno != 0 ? errno : EIO;
  w.ok = false;
}

}  // namespace

bool writer_flush(TorvWriter& w) {
  if (w.file == nullptr || w.staged.empty()) return w.ok;
  if (w.ok) {
    errno = 0;
    if (std::fwrite(w.staged.data(), 1, w.staged.size(), w.file) != w.staged.size()) fail(w);
  }
  w.staged.clear();
  return w.ok;
}

void writer_put_slow(TorvWriter& w, const void* data, std::size_t size) {
  if (!w.ok || size == 0) return;
  if (size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() - w.position)) {
    w.ok = false;  // directory positions are 32-bit
    if (w.file != nullptr) w.error = EFBIG;
    return;
  }
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (w.file != nullptr) {
    if (w.staged.capacity() < kStage) w.staged.reserve(kStage);
    if (w.staged.capacity() - w.staged.size() < size && !writer_flush(w)) return;
    if (size >= kStage) {
      errno = 0;
      if (std::fwrite(bytes, 1, size, w.file) != size) return fail(w);
    } else {
      w.staged.insert(w.staged.end(), bytes, bytes + size);
    }
  } else if (w.memory != nullptr) {
    w.memory->insert(w.memory->end(), bytes, bytes + size);
  } else {
    w.ok = false;
    return;
  }
  w.position += static_cast<int32_t>(size);
}

void writer_rewrite_start(TorvWriter& w, const void* data, std::size_t size) {
  if (!w.ok) return;
  if (size > static_cast<std::size_t>(w.position)) {
    w.ok = false;
    return;
  }
  if (w.file != nullptr) {
    if (!writer_flush(w)) return;
    errno = 0;
    if (std::fseek(w.file, 0, SEEK_SET) != 0 || std::fwrite(data, 1, size, w.file) != size ||
        std::fseek(w.file, 0, SEEK_END) != 0)
      fail(w);
  } else if (w.memory != nullptr) {
    std::memcpy(w.memory->data(), data, size);
  } else {
    w.ok = false;
  }
}
