// Small files whose count and size fields all claim 0x7FFFFFFF or 0xFFFFFFFF
// items: each loads at once and allocates in proportion to its own size.
// Its own program, because it counts every allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "entities/kind_table.h"
#include "kernel/collections.h"
#include "load/load_document.h"
#include "load/sysvar_list_cache.h"
#include "tests/support/entity_builder.h"
#include "tests/support/torv_builder.h"

namespace {
std::atomic<std::size_t> g_allocated{0};

// The C runtime of Windows has no aligned_alloc; its aligned blocks have
// their own free.
void* aligned_block(std::size_t align, std::size_t size) {
#if defined(_WIN32)
  return _aligned_malloc(size, align);
#else
  return std::aligned_alloc(align, (size + align - 1) / align * align);
#endif
}
void free_aligned(void* p) {
#if defined(_WIN32)
  _aligned_free(p);
#else
  std::free(p);
#endif
}
}  // namespace

void* operator new(std::size_t size) {
  g_allocated += size;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, std::align_val_t align) {
  g_allocated += size;
  const auto a = static_cast<std::size_t>(align);
  if (void* p = aligned_block(a, size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t align) { return operator new(size, align); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { free_aligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { free_aligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { free_aligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { free_aligned(p); }

namespace {

// Bytes that read as -1 / 0xFFFFFFFF in every field, or as 0x7FFFFFFF in
// every 32-bit field (and -1 / 0x7FFF in the 16-bit ones).
Bytes all_ones(std::size_t n) {
  Bytes b;
  for (std::size_t i = 0; i < n; ++i) b.u8(0xFF);
  return b;
}
Bytes all_max(std::size_t n) {
  Bytes b;
  for (std::size_t i = 0; i < n; ++i) b.u8(i % 4 == 3 ? 0x7F : 0xFF);
  return b;
}


struct Case {
  std::string name;
  std::vector<unsigned char> file;
};

std::vector<Case> cases() {
  std::vector<Case> out;
  for (auto [label, fill] : {std::pair{"ones", &all_ones}, std::pair{"max", &all_max}}) {
    const std::string l = label;
    // Every section a short run of huge fields.
    TorvFile every("TORV 2000");
    for (TorvSlot slot : {kSlotSysVars, kSlotLayers, kSlotTextStyles, kSlotDimStyles, kSlotBlocks, kSlotEntities})
      every.section(slot, fill(96));
    out.push_back({l + "_every_section", every.build()});
    // Each kind whose payload holds counts, its counts huge, under a huge record count.
    for (const EntityKind& k : kEntityKinds)
      if (k.holds_counts)
        out.push_back({l + "_kind_" + std::to_string(k.code),
                       TorvFile("HALD 2002").section(kSlotEntities, entity_section(0xFFFFFFFF, entity(k.code, PropsBlock(), fill(64)))).build()});
    // Property blocks with huge xdata and blob counts.
    for (auto props : {PropsBlock().xdata(0xFFFFFFFF, fill(32)), PropsBlock().xdata(0x7FFFFFFF, Bytes().i16(1004).append(fill(32))),
                       PropsBlock().blobs(0xFFFFFFFF, fill(32)), PropsBlock().blobs(1, fill(48))})
      out.push_back({l + "_props_" + std::to_string(out.size()),
                     TorvFile().section(kSlotEntities, entity_section(0xFFFFFFFF, entity(2, props, fill(48)))).build()});
    // A block count, then a block whose entity count is huge.
    out.push_back({l + "_blocks", TorvFile().section(kSlotBlocks, Bytes().u32(0xFFFFFFFF).u32(0).append(fill(64))).build()});
    out.push_back({l + "_block_entities",
                   TorvFile().section(kSlotBlocks, Bytes().u32(0xFFFFFFFF).u32(0x123).f64(0).f64(0).str("B").u32(0xFFFFFFFF).append(fill(64))).build()});
    // Table counts over records of huge string lengths.
    for (TorvSlot slot : {kSlotLayers, kSlotTextStyles, kSlotDimStyles})
      out.push_back({l + "_table_" + std::to_string(static_cast<int>(slot)),
                     TorvFile().section(slot, Bytes().u32(0xFFFFFFFF).append(fill(300))).build()});
  }
  return out;
}

TEST(HostileCounts, LoadAtOnceAndAllocateInProportionToTheFile) {
  read_sysvar_list(sysvar_list_path());
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    const auto start = std::chrono::steady_clock::now();
    std::size_t allocated = 0;
    {
      KT_Drawing drawing;
      g_current_drawing = &drawing;
      const std::size_t before = g_allocated.load();
      // Supported files load (true) even when their sections stop early.
      EXPECT_TRUE(load_torv_buffer(-1, c.file.data(), c.file.size(), drawing));
      allocated = g_allocated.load() - before;
      g_current_drawing = nullptr;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(500));
    // The drawing's arena takes its first blocks in fixed sizes; beyond that
    // a load may only allocate what the file's own bytes can justify.
    EXPECT_LE(allocated, 16 * c.file.size() + 16 * 1024) << "file of " << c.file.size() << " bytes";
  }
}

// Many blocks of 8 bytes each (flags with an entity stream, no entities):
// each block's index must not cost a walk over all blocks before it.
TEST(HostileCounts, ManyEmptyBlocksLoadInLinearTime) {
  read_sysvar_list(sysvar_list_path());
  constexpr uint32_t kBlocks = 100'000;
  Bytes blocks;
  blocks.u32(kBlocks);
  for (uint32_t i = 0; i < kBlocks; ++i) blocks.u32(0x100).u32(0);
  const auto file = TorvFile().section(kSlotBlocks, blocks).build();
  KT_Drawing drawing;
  g_current_drawing = &drawing;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(load_torv_buffer(-1, file.data(), file.size(), drawing));
  // Linear: well under a second even under the sanitizers; a walk per block
  // would take billions of steps here.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(count_collection(drawing.blocks), kBlocks);
  g_current_drawing = nullptr;
}

}  // namespace
