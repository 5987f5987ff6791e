#include "host/kt_arena.h"

#include <cstring>
#include <new>

#include "format/huge_page_block.h"

KT_Arena::~KT_Arena() {
  while (chunks_) {
    Chunk* previous = chunks_->previous;
    free_chunk(chunks_);
    chunks_ = previous;
  }
}

// Chunks of 2 MiB and more are mappings of their own, on a 2 MiB boundary
// and advised for 2 MiB pages: every byte of them then comes in a huge page,
// where a heap block's unaligned ends fault 4 KiB at a time (a quarter of
// an 8 MiB block, and most of the first touch's cost).
KT_Arena::Chunk* KT_Arena::new_chunk(std::size_t bytes) {
  if (bytes >= kHugePageBytes) {
    std::size_t length = 0;
    if (void* block = map_huge_page_block(bytes, length)) return new (block) Chunk{nullptr, length, true};
  }
  return new (::operator new(bytes)) Chunk{nullptr, bytes, false};
}

void KT_Arena::free_chunk(Chunk* chunk) {
#if !defined(_WIN32)
  if (chunk->mapped) {
    ::munmap(chunk, chunk->bytes);
    return;
  }
#endif
  ::operator delete(chunk);
}

// Chunks double from 16 KiB up to 8 MiB, so a small drawing stays small and a
// large one makes few allocations; a request larger than that gets a chunk of
// its own size.
void* KT_Arena::take_from_new_chunk(std::size_t size, std::size_t align) {
  constexpr std::size_t kLargestChunk = 8 * 1024 * 1024;
  const std::size_t header = (sizeof(Chunk) + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
  if (size > SIZE_MAX / 2 || align > kLargestChunk) throw std::bad_alloc();
  const std::size_t need = header + size + align;
  const bool own_chunk = need > next_chunk_;  // a large array: leave the current chunk in use
  Chunk* chunk = new_chunk(own_chunk ? need : next_chunk_);
  reserved_ += chunk->bytes;
  const auto first = reinterpret_cast<std::uintptr_t>(chunk) + header;
  const std::uintptr_t at = (first + (align - 1)) & ~static_cast<std::uintptr_t>(align - 1);
  if (own_chunk && chunks_ != nullptr) {
    // Behind the current chunk in the list, which keeps serving small objects.
    chunk->previous = chunks_->previous;
    chunks_->previous = chunk;
    return reinterpret_cast<void*>(at);
  }
  chunk->previous = chunks_;
  chunks_ = chunk;
  if (next_chunk_ < kLargestChunk) next_chunk_ *= 2;
  next_ = at + size;
  end_ = reinterpret_cast<std::uintptr_t>(chunk) + chunk->bytes;
  return reinterpret_cast<void*>(at);
}

void* KT_Arena::take_zeroed(std::size_t size, std::size_t align) {
  const std::size_t header = (sizeof(Chunk) + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
  if (size > SIZE_MAX / 2 || align > kHugePageBytes) throw std::bad_alloc();
  Chunk* chunk = new_chunk(header + size + align);
  reserved_ += chunk->bytes;
  const auto first = reinterpret_cast<std::uintptr_t>(chunk) + header;
  auto* at = reinterpret_cast<void*>((first + (align - 1)) & ~static_cast<std::uintptr_t>(align - 1));
  if (!chunk->mapped) std::memset(at, 0, size);
  // Behind the current chunk in the list, which keeps serving small objects.
  if (chunks_ != nullptr) {
    chunk->previous = chunks_->previous;
    chunks_->previous = chunk;
  } else {
    chunks_ = chunk;  // with no room left in it: the next take makes a chunk
    next_ = end_ = reinterpret_cast<std::uintptr_t>(chunk) + chunk->bytes;
  }
  return at;
}
