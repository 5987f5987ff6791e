#include "save/torv_writer.h"

#include <cstring>
#include <limits>

void writer_put(TorvWriter& w, const void* data, std::size_t size) {
  if (!w.ok || size == 0) return;
  if (size > static_cast<std::size_t>(std::numeric_limits<int32_t>::max() - w.position)) {
    w.ok = false;  // directory positions are 32-bit
    return;
  }
  if (w.file != nullptr) {
    if (std::fwrite(data, 1, size, w.file) != size) {
      w.ok = false;
      return;
    }
  } else if (w.memory != nullptr) {
    const auto* bytes = static_cast<const unsigned char*>(data);
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
    if (std::fseek(w.file, 0, SEEK_SET) != 0 || std::fwrite(data, 1, size, w.file) != size ||
        std::fseek(w.file, 0, SEEK_END) != 0)
      w.ok = false;
  } else if (w.memory != nullptr) {
    std::memcpy(w.memory->data(), data, size);
  } else {
    w.ok = false;
  }
}
