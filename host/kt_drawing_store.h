// The stand-in kernel's side of a drawing: the arena its objects come from
// and the state the creation operations keep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <vector>

#include "kernel/zirida.h"

// Where a drawing's objects and strings come from: chunks that only grow and
// are released with the drawing. The common case (room left in the current
// chunk) is an inline pointer bump, not a virtual call.
class KT_Arena final : public std::pmr::memory_resource {
 public:
  KT_Arena() = default;
  KT_Arena(const KT_Arena&) = delete;
  KT_Arena& operator=(const KT_Arena&) = delete;
  ~KT_Arena() override;

  void* take(std::size_t size, std::size_t align) {
    const std::uintptr_t at = (next_ + (align - 1)) & ~static_cast<std::uintptr_t>(align - 1);
    // Strictly less: a fresh arena (all zero) takes even 0 bytes from a chunk.
    if (at <= end_ && size < end_ - at) {
      next_ = at + size;
      return reinterpret_cast<void*>(at);
    }
    return take_from_new_chunk(size, align);
  }
  // Bytes held in chunks, used or not.
  std::size_t reserved() const { return reserved_; }

 private:
  void* take_from_new_chunk(std::size_t size, std::size_t align);
  void* do_allocate(std::size_t size, std::size_t align) override { return take(size, align); }
  void do_deallocate(void*, std::size_t, std::size_t) override {}
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

  struct Chunk {
    Chunk* previous;
  };
  Chunk* chunks_ = nullptr;
  std::uintptr_t next_ = 0;
  std::uintptr_t end_ = 0;
  std::size_t next_chunk_ = 16 * 1024;
  std::size_t reserved_ = 0;
};

// A drawing: five ordered collections, the model space, and the arena that
// every object and string of the drawing comes from.
// A drawing's storage: every object and string of the drawing comes from its
// arena; the rest is what the creation operations need between calls.
struct KT_Drawing_Store {
  KT_Arena arena;
  KT_Block* open_block = nullptr;  // between api_kt_create_block and api_kt_end_block
  long next_id = 1;
  // Layers by number (their place in `layers`), for colour look-ups.
  std::pmr::vector<KT_Layer*> layer_index{&arena};
};
