// load_drawing and save_drawing against the entry points they stand under:
// over the example drawings and cut copies of them, a file and its bytes load
// alike, the result's diagnostics are what LoadTORVDocument's sink hears, and
// a save to memory gives the bytes of a save to a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kttrv/kttrv.h"
#include "load/load.h"
#include "save/save_file.h"
#include "tests/support/drawing_image.h"
#include "tests/support/temp_path.h"

namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> bytes_of(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> texts(const kttrv::LoadResult& r) {
  std::vector<std::string> out;
  for (const kttrv::Diagnostic& d : r.diagnostics) out.push_back(d.text);
  return out;
}

// Every example, whole and cut at a third, a half and one byte short.
std::vector<std::vector<unsigned char>> inputs() {
  std::vector<std::vector<unsigned char>> out;
  for (const auto& e : fs::directory_iterator(fs::path(KTTRV_SOURCE_DIR) / "examples")) {
    if (e.path().extension() != ".trv") continue;
    const auto whole = bytes_of(e.path());
    for (std::size_t n : {whole.size(), whole.size() / 3, whole.size() / 2, whole.size() - 1})
      out.emplace_back(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
  }
  return out;
}

class LoadApi : public ::testing::Test {
 protected:
  void TearDown() override {
    KtTrvSetDiagnosticSink(nullptr, nullptr);
    fs::remove(path);
  }
  // The process's own: ctest runs the two tests side by side.
  fs::path path = test_temp_path("kttrv-load-api.trv");
};

TEST_F(LoadApi, FileBytesAndEntryPointAgree) {
  kttrv::LoadOptions options;
  options.count_records = true;
  options.note_losses = true;
  for (const auto& input : inputs()) {
    SCOPED_TRACE(input.size());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
    KT_Drawing from_file, from_bytes, from_entry;
    const kttrv::LoadResult f = kttrv::load_drawing(kttrv::LoadSource::file(path.string()), from_file, options);
    const kttrv::LoadResult b = kttrv::load_drawing(kttrv::LoadSource::bytes(input), from_bytes, options);
    EXPECT_EQ(f.loaded, b.loaded);
    EXPECT_EQ(texts(f), texts(b));
    EXPECT_EQ(f.file.version, b.file.version);
    EXPECT_EQ(f.file.generation, b.file.generation);
    EXPECT_EQ(f.file.size, input.size());
    EXPECT_EQ(f.losses.summary(), b.losses.summary());
    EXPECT_EQ(f.tally.not_reached, b.tally.not_reached);
    std::string where;
    EXPECT_TRUE(image::same_drawing(image::of(from_file), image::of(from_bytes), where)) << where;

    std::vector<std::string> heard;
    KtTrvSetDiagnosticSink([](const char* m, void* c) { static_cast<std::vector<std::string>*>(c)->push_back(m); }, &heard);
    KT_Drawing* target = &from_entry;
    CString cpath(path.string().c_str());
    g_trv_ver = -1;
    EXPECT_EQ(LoadTORVDocument(-1, cpath, target), f.loaded);
    KtTrvSetDiagnosticSink(nullptr, nullptr);
    // The sink hears the lines the result holds.
    EXPECT_EQ(heard, texts(f));
    EXPECT_EQ(g_trv_ver, f.file.generation);
    EXPECT_EQ(f.complete(), f.loaded && !f.damaged() && f.tally.not_reached == 0);
    if (!f.loaded) {
      EXPECT_FALSE(f.failure.empty());
      continue;
    }
    std::vector<unsigned char> in_memory;
    const kttrv::SaveResult m = kttrv::save_drawing(from_file, in_memory);
    const kttrv::SaveResult s = kttrv::save_drawing(from_file, path.string());
    ASSERT_TRUE(m.saved && s.saved) << m.error << s.error;
    EXPECT_EQ(in_memory, bytes_of(path));
    EXPECT_EQ(m.loss_summary(), s.loss_summary());
  }
}

TEST_F(LoadApi, FailuresSayWhy) {
  KT_Drawing d;
  const kttrv::LoadResult missing = kttrv::load_drawing(kttrv::LoadSource::file((path.string() + ".none")), d);
  EXPECT_FALSE(missing.loaded);
  EXPECT_NE(missing.failure.find("No such file"), std::string::npos) << missing.failure;
  const std::vector<unsigned char> empty;
  const kttrv::LoadResult nothing = kttrv::load_drawing(kttrv::LoadSource::bytes(empty), d);
  EXPECT_EQ(nothing.failure, "file: the file is empty at byte 0");
  // A refused loss leaves the memory output empty and says what it would lose.
  LossLedger lost;
  lost.note(Loss::xdata_list, "entities", 0, 0);
  SaveOptions strict;
  strict.allow_loss = false;
  strict.file_losses = &lost;
  std::vector<unsigned char> out{1, 2, 3};
  const kttrv::SaveResult refused = kttrv::save_drawing(d, out, strict);
  EXPECT_FALSE(refused.saved);
  EXPECT_TRUE(out.empty());
  EXPECT_NE(refused.error.find("it would lose"), std::string::npos);
}

}  // namespace
