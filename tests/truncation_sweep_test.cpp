// A whole drawing cut at every byte: each prefix loads without a fault, and
// the objects it creates are the first objects the whole file creates, with
// the same values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/zirida_host.h"
#include "load/load_document.h"
#include "load/sysvar_list_cache.h"
#include "tests/support/sample_drawing.h"

namespace {

struct Creations {
  std::vector<std::string> lines;
  static void capture(std::string_view line, void* self) {
    // Only creations carry an id; the calls around them may differ when a
    // record is cut (a block still gets its end_block).
    if (line.find("\"id\":") != std::string_view::npos)
      static_cast<Creations*>(self)->lines.emplace_back(line);
  }
};

Creations load_prefix(const std::vector<unsigned char>& file, std::size_t size) {
  Creations out;
  KT_Drawing drawing;
  g_current_drawing = &drawing;
  zirida_set_trace(Creations::capture, &out);
  // An exact-size copy, so a read past the prefix shows under ASan.
  std::vector<unsigned char> prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
  load_torv_buffer(-1, prefix.data(), prefix.size(), drawing);
  zirida_set_trace(nullptr, nullptr);
  g_current_drawing = nullptr;
  return out;
}

class TruncationSweep : public ::testing::TestWithParam<const char*> {};

TEST_P(TruncationSweep, EveryPrefixCreatesAPrefixOfTheWholeFilesObjects) {
  read_sysvar_list(sysvar_list_path());
  const auto file = sample::full_drawing(GetParam()).build();
  const Creations whole = load_prefix(file, file.size());
  ASSERT_GE(whole.lines.size(), 24u);  // every table, block and drawable kind

  std::size_t previous = 0;
  for (std::size_t size = 0; size <= file.size(); ++size) {
    const Creations part = load_prefix(file, size);
    ASSERT_LE(part.lines.size(), whole.lines.size()) << "cut at " << size;
    for (std::size_t i = 0; i < part.lines.size(); ++i)
      ASSERT_EQ(part.lines[i], whole.lines[i]) << "cut at " << size << ", object " << i;
    // A longer prefix never creates fewer objects.
    ASSERT_GE(part.lines.size(), previous) << "cut at " << size;
    previous = part.lines.size();
  }
  EXPECT_EQ(previous, whole.lines.size());
}

INSTANTIATE_TEST_SUITE_P(Generations, TruncationSweep, ::testing::Values("TORV 98", "TORV 2000", "HALD 2002"));

}  // namespace
