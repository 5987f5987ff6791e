#include "save/torv_writer.h"

#include <cerrno>
#include <limits>

namespace {

constexpr std::size_t kStage = 1 << 20;

void fail(TorvWriter& w) {
  if (w.ok && w.file != nullptr) w.error = errno != 0 ? errno : EIO;
  w.ok = false;
}

// The bytes to the output itself.
void hand_on(TorvWriter& w, const unsigned char* bytes, std::size_t size) {
  if (w.file != nullptr) {
    errno = 0;
    if (std::fwrite(bytes, 1, size, w.file) != size) fail(w);
  } else if (w.memory != nullptr) {
    w.memory->insert(w.memory->end(), bytes, bytes + size);
  } else if (!w.discard) {
    w.ok = false;
  }
}

}  // namespace

bool writer_flush(TorvWriter& w) {
  if (w.ok && w.staged > 0) hand_on(w, w.stage.data(), w.staged);
  w.staged = 0;
  return w.ok;
}

void writer_put_slow(TorvWriter& w, const void* data, std::size_t size) {
  if (!w.ok || size == 0) return;
  if (size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() - w.position)) {
    w.ok = false;  // directory positions are 32-bit
    if (w.file != nullptr) w.error = EFBIG;
    return;
  }
  if (w.file == nullptr && w.memory == nullptr && !w.discard) {
    w.ok = false;
    return;
  }
  if (w.stage.size() < kStage) w.stage.resize(kStage);
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (size > w.stage.size() - w.staged && !writer_flush(w)) return;
  if (size >= w.stage.size()) {
    hand_on(w, bytes, size);
    if (!w.ok) return;
  } else {
    std::memcpy(w.stage.data() + w.staged, bytes, size);
    w.staged += size;
  }
  w.position += static_cast<int32_t>(size);
}

void writer_rewrite_start(TorvWriter& w, const void* data, std::size_t size) {
  if (!w.ok) return;
  if (size > static_cast<std::size_t>(w.position)) {
    w.ok = false;
    return;
  }
  if (!writer_flush(w)) return;
  if (w.file != nullptr) {
    errno = 0;
    if (std::fseek(w.file, 0, SEEK_SET) != 0 || std::fwrite(data, 1, size, w.file) != size ||
        std::fseek(w.file, 0, SEEK_END) != 0)
      fail(w);
  } else if (w.memory != nullptr) {
    std::memcpy(w.memory->data(), data, size);
  } else if (!w.discard) {
    w.ok = false;
  }
}
