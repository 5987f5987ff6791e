// A file loaded a window at a time makes the same kernel calls, reports the
// same damage and gives the same result as the same bytes loaded whole, for
// any window size; a file that shrinks during the load is reported, not read
// past.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/synthetic_drawing.h"
#include "format/diagnostics.h"
#include "format/file_window.h"
#include "host/zirida_host.h"
#include "load/load_document.h"
#include "load/sysvar_list_cache.h"
#include "tests/support/random_drawing.h"
#include "tests/support/sample_drawing.h"
#include "tests/support/temp_path.h"

namespace {

namespace fs = std::filesystem;

struct LoadRecord {
  bool loaded = false;
  std::vector<std::string> lines;  // kernel calls, then diagnostics

  static void call(std::string_view line, void* self) { static_cast<LoadRecord*>(self)->lines.emplace_back(line); }
  static void diagnostic(const char* message, void* self) {
    static_cast<LoadRecord*>(self)->lines.push_back(std::string("diagnostic: ") + message);
  }
};

template <class Load>
LoadRecord record_load(Load load) {
  LoadRecord out;
  KT_Drawing drawing;
  g_current_drawing = &drawing;
  zirida_set_trace(LoadRecord::call, &out);
  KtTrvSetDiagnosticSink(LoadRecord::diagnostic, &out);
  out.loaded = load(drawing);
  KtTrvSetDiagnosticSink(nullptr, nullptr);
  zirida_set_trace(nullptr, nullptr);
  g_current_drawing = nullptr;
  return out;
}

class FileWindowLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    read_sysvar_list(sysvar_list_path());
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = test_temp_path(std::string("kttrv_window_") + info->name());
    fs::create_directories(dir_);
    path_ = (dir_ / "d.trv").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  void write(const std::vector<unsigned char>& bytes) const {
    std::ofstream(path_, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  // Every window size gives what the whole buffer gives.
  void expect_same_load(const std::vector<unsigned char>& bytes, const std::string& what,
                        std::initializer_list<std::size_t> windows) const {
    const LoadRecord whole = record_load([&](KT_Drawing& d) { return load_torv_buffer(-1, bytes.data(), bytes.size(), d); });
    write(bytes);
    for (const std::size_t window : windows) {
      const LoadRecord windowed = record_load([&](KT_Drawing& d) { return load_torv_file(-1, path_.c_str(), d, window); });
      ASSERT_EQ(windowed.loaded, whole.loaded) << what << ", window " << window;
      ASSERT_EQ(windowed.lines, whole.lines) << what << ", window " << window;
    }
  }

  fs::path dir_;
  std::string path_;
};

std::vector<unsigned char> file_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(FileWindowLoad, StoredFilesLoadAlikeThroughAnyWindow) {
  std::vector<fs::path> files;
  for (const char* dir : {"examples", "fuzz/corpus/fuzz_load_document", "fuzz/corpus/fuzz_save_round_trip"})
    for (const auto& entry : fs::directory_iterator(fs::path(KTTRV_SOURCE_DIR) / dir))
      if (entry.is_regular_file()) files.push_back(entry.path());
  ASSERT_GE(files.size(), 20u);
  for (const auto& p : files)
    expect_same_load(file_bytes(p), p.string(), {16, 41, 300, 4096, FileWindow::kDefaultBytes});
}

TEST_F(FileWindowLoad, BuiltAndRandomDrawingsLoadAlike) {
  for (const char* version : {"TORV 98", "TORV 2000", "HALD 2002"})
    expect_same_load(sample::full_drawing(version).build(), version, {16, 97, 1024, FileWindow::kDefaultBytes});
  for (uint64_t seed = 1; seed <= 60; ++seed)
    expect_same_load(RandomDrawing(seed).file(), "random drawing " + std::to_string(seed), {16, 200, 65536});
  // Large enough that the default window slides many times.
  synth::Options options;
  options.entities = 60'000;
  options.layers = options.text_styles = options.blocks = 200;
  options.block_entities = 20;
  expect_same_load(synth::drawing(options), "synthetic drawing", {4096, 65536, FileWindow::kDefaultBytes});
}

TEST_F(FileWindowLoad, EveryCutOfADrawingLoadsAlike) {
  const auto file = sample::full_drawing("HALD 2002").build();
  // Every fifth cut (the sweep of the whole buffer takes every one), through
  // a window that ends inside most records.
  for (std::size_t size = 0; size <= file.size(); size += 5)
    expect_same_load({file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size)}, "cut at " + std::to_string(size),
                     {23});
}

// The file is cut to half while the load is under way: the load stops with
// "did it shrink?", having created only what it read before.
TEST_F(FileWindowLoad, AFileThatShrinksDuringTheLoadIsReported) {
  synth::Options options;
  options.entities = 5'000;
  options.layers = options.text_styles = options.blocks = 4;
  options.block_entities = 2;
  const auto bytes = synth::drawing(options);
  write(bytes);
  const std::size_t whole_calls =
      record_load([&](KT_Drawing& d) { return load_torv_file(-1, path_.c_str(), d, 4096); }).lines.size();
  struct Shrink {
    std::string path;
    std::size_t size;
    int calls = 0;
    std::vector<std::string> diagnostics;
  } shrink{path_, bytes.size() / 2, 0, {}};
  KT_Drawing drawing;
  g_current_drawing = &drawing;
  zirida_set_trace(
      [](std::string_view, void* self) {
        auto* s = static_cast<Shrink*>(self);
        if (++s->calls == 100) fs::resize_file(s->path, s->size);
      },
      &shrink);
  KtTrvSetDiagnosticSink([](const char* m, void* self) { static_cast<Shrink*>(self)->diagnostics.emplace_back(m); },
                      &shrink);
  const bool loaded = load_torv_file(-1, path_.c_str(), drawing, 4096);
  KtTrvSetDiagnosticSink(nullptr, nullptr);
  zirida_set_trace(nullptr, nullptr);
  g_current_drawing = nullptr;
  EXPECT_FALSE(loaded);
  ASSERT_FALSE(shrink.diagnostics.empty());
  EXPECT_NE(shrink.diagnostics.back().find("cannot be read to its end (did it shrink?)"), std::string::npos)
      << shrink.diagnostics.back();
  EXPECT_GT(shrink.calls, 100);
  // Half the file was read: fewer calls than the whole file makes, by far.
  EXPECT_LT(static_cast<std::size_t>(shrink.calls), whole_calls * 6 / 10);
}

}  // namespace
