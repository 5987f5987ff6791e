// Where a drawing's objects and strings come from: chunks that only grow and
// are released with the drawing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>

// The common case (room left in the current chunk) is an inline pointer bump,
// not a virtual call.
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
  // size zero bytes in a chunk of their own (a fresh mapping is zero
  // already: its pages cost nothing until they are first touched).
  void* take_zeroed(std::size_t size, std::size_t align);
  // Bytes held in chunks, used or not.
  std::size_t reserved() const { return reserved_; }

 private:
  struct Chunk {
    Chunk* previous;
    std::size_t bytes;
    bool mapped;  // a page mapping of its own, not the heap
  };
  void* take_from_new_chunk(std::size_t size, std::size_t align);
  static Chunk* new_chunk(std::size_t bytes);
  static void free_chunk(Chunk* chunk);
  void* do_allocate(std::size_t size, std::size_t align) override { return take(size, align); }
  void do_deallocate(void*, std::size_t, std::size_t) override {}
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

  Chunk* chunks_ = nullptr;
  std::uintptr_t next_ = 0;
  std::uintptr_t end_ = 0;
  std::size_t next_chunk_ = 16 * 1024;
  std::size_t reserved_ = 0;
};
