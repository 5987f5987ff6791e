// A saved drawing loads back as the drawing that was saved: over random
// files of every record kind, the synthetic drawings of every generation and
// the bundled example; what cannot come back is named; a failed save leaves
// the old file as it was.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <bit>
#include <csignal>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "bench/synthetic_drawing.h"
#include "format/dim_style_layout.h"
#include "load/load_document.h"
#include "load/sysvar_list_cache.h"
#include "save/save_document.h"
#include "save/save_file.h"
#include "save/stored_reals.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/drawing_image.h"
#include "tests/support/random_drawing.h"
#include "tests/support/written_file.h"

namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> file_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Lossless : public DrawingTest {
 protected:
  // Which drawable kinds the round trips met, in blocks and the model space.
  void note_kinds(const KT_Drawing& d) {
    for (const KT_Drawable* e = d.model_space.first; e; e = e->next) seen_in_model |= 1u << static_cast<int>(e->kind);
    for (const KT_Object* o = d.blocks.first; o; o = o->next)
      for (const KT_Drawable* e = static_cast<const KT_Block*>(o)->entities.first; e; e = e->next)
        seen_in_blocks |= 1u << static_cast<int>(e->kind);
  }
  unsigned seen_in_model = 0;
  unsigned seen_in_blocks = 0;

  bool load_into(KT_Drawing& target, const std::vector<unsigned char>& bytes) {
    read_sysvar_list(sysvar_list_path());
    KT_Drawing* saved = g_current_drawing;
    const bool ok = load_torv_buffer(-1, bytes.data(), bytes.size(), target);
    g_current_drawing = saved;
    return ok;
  }

  // Loads bytes, saves, loads the saved file: both drawings must be alike,
  // the save lossless, and a second save byte for byte the first.
  void expect_round_trip(const std::vector<unsigned char>& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    KT_Drawing original;
    if (!load_into(original, bytes)) return;  // a file the loader refuses is no drawing
    std::vector<unsigned char> saved;
    TorvWriter w;
    w.memory = &saved;
    SaveReport report;
    ASSERT_TRUE(write_drawing(w, original, report));
    EXPECT_EQ(report.loss_summary(), "");
    KT_Drawing reloaded;
    ASSERT_TRUE(load_into(reloaded, saved));
    std::string where;
    EXPECT_TRUE(image::same_drawing(image::of(original), image::of(reloaded), where)) << where;
    const auto again = written_bytes(reloaded);
    std::size_t at = 0;
    while (at < again.size() && at < saved.size() && again[at] == saved[at]) ++at;
    EXPECT_EQ(at, saved.size()) << "saved again, the bytes differ from byte " << at << " of " << saved.size();
    EXPECT_EQ(again.size(), saved.size());
    note_kinds(original);
  }
};

TEST_F(Lossless, RandomDrawingsOfEveryRecordKind) {
  for (uint64_t seed = 1; seed <= 400; ++seed) {
    expect_round_trip(RandomDrawing(seed).file(), "seed " + std::to_string(seed));
    if (HasFailure()) break;
  }
  // Every kind came through, inserts and texts inside blocks too.
  EXPECT_EQ(seen_in_model, (1u << 10) - 1);
  EXPECT_EQ(seen_in_blocks, (1u << 10) - 1);
}

TEST_F(Lossless, SyntheticDrawingsOfEveryGeneration) {
  for (const char* version : {"SELK 97", "TORV 98", "TORV 99", "TORV 2000", "HALD 2002"}) {
    synth::Options o;
    o.version = version;
    o.entities = 3000;
    o.layers = 20;
    o.text_styles = 10;
    o.blocks = 10;
    o.block_entities = 20;
    expect_round_trip(synth::drawing(o), version);
  }
}

TEST_F(Lossless, BundledExample) {
  expect_round_trip(file_bytes(fs::path(KTTRV_SOURCE_DIR) / "examples" / "sample.trv"), "sample.trv");
}

// The loader's angle conversion (times pi, then times 1/180) is inverted bit
// for bit for every radian value it can produce, at every magnitude.
TEST(StoredReals, EveryLoadedAngleHasItsDegrees) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 200000; ++i) {
    const int exponent = static_cast<int>(rng() % 2047);  // subnormals to the largest
    const uint64_t bits = (rng() & 0x800FFFFFFFFFFFFFull) | (static_cast<uint64_t>(exponent) << 52);
    const double degrees = std::bit_cast<double>(bits);
    const double radians = loaded_radians(degrees);
    bool exact = false;
    const double stored = stored_degrees(radians, exact);
    ASSERT_TRUE(exact) << std::hexfloat << degrees;
    ASSERT_TRUE(same_bits(loaded_radians(stored), radians)) << std::hexfloat << degrees;
  }
  bool exact = false;
  EXPECT_EQ(stored_degrees(loaded_radians(90.0), exact), 90.0);
  EXPECT_EQ(stored_degrees(loaded_radians(-7.25), exact), -7.25);
  // A signalling NaN comes back quiet whatever is stored.
  stored_degrees(std::bit_cast<double>(0x7FF0000000000001ull), exact);
  EXPECT_FALSE(exact);
}

TEST(StoredReals, EveryScaledProductHasItsFactor) {
  std::mt19937_64 rng(11);
  const double odd[] = {0.0, -0.0, 1.0, -2.5, 1e-310, 1e300, INFINITY, -INFINITY, NAN};
  for (int i = 0; i < 100000; ++i) {
    const double v = i % 7 == 0 ? odd[rng() % 9] : std::bit_cast<double>(rng());
    const double scale = i % 5 == 0 ? odd[rng() % 9] : std::bit_cast<double>(rng());
    const double product = scaled_real(v, scale);
    bool exact = false;
    const double stored = stored_factor(product, scale, exact);
    ASSERT_TRUE(exact) << std::hexfloat << v << " * " << scale;
    ASSERT_TRUE(same_bits(scaled_real(stored, scale), product)) << std::hexfloat << v << " * " << scale;
  }
}

// Which NaN a scaled real keeps does not depend on how the compiler ordered
// a multiplication: the value's, else the scale's, made quiet.
TEST(StoredReals, AScaledNaNKeepsTheValuesPayloadFirst) {
  const double quiet_value = std::bit_cast<double>(0x7FF8000000000123ull);
  const double signalling_scale = std::bit_cast<double>(0xFFF0000000000456ull);
  EXPECT_EQ(std::bit_cast<uint64_t>(scaled_real(quiet_value, signalling_scale)), 0x7FF8000000000123ull);
  EXPECT_EQ(std::bit_cast<uint64_t>(scaled_real(2.0, signalling_scale)), 0xFFF8000000000456ull);
  EXPECT_EQ(std::bit_cast<uint64_t>(scaled_real(std::bit_cast<double>(0x7FF0000000000789ull), 1.0)),
            0x7FF8000000000789ull);
  EXPECT_EQ(scaled_real(2.5, 4.0), 10.0);
}

// What the file cannot carry is named, and without allow_loss the old file
// stays.
TEST_F(Lossless, WhatCannotComeBackIsNamed) {
  kt_append_line_type(drawing)->name = "DASHED";
  kt_append_block(drawing)->description = "Doors";
  kt_append_line_type(drawing);  // the kernel's defaults hold nothing of their own
  kt_append_block(drawing);
  KT_Drawable* point = nullptr;
  const double at[3] = {1.0, 2.0, 3.0};  // a z the loader sets to 0
  api_kt_create_point(point, at);
  api_set_drawable_prop(point, 0x123456, 5, 0);  // no palette colour, a third value
  SaveReport report;
  const auto path = dir / "kept.trv";
  std::ofstream(path) << "old";
  EXPECT_FALSE(save_drawing_file(drawing, path.string().c_str(), SaveOptions{false}, report));
  EXPECT_EQ(report.loss_summary(), "1 line types, 1 block descriptions, 1 z coordinates, 1 entity properties");
  EXPECT_NE(report.error.find("would lose"), std::string::npos);
  EXPECT_EQ(file_bytes(path), std::vector<unsigned char>({'o', 'l', 'd'}));
  EXPECT_EQ(names_in(dir), std::vector<std::string>{"kept.trv"});
  SaveReport allowed;
  EXPECT_TRUE(save_drawing_file(drawing, path.string().c_str(), SaveOptions{true}, allowed));
  EXPECT_EQ(allowed.entities, 1);
  EXPECT_EQ(allowed.blocks, 2);
}

// A save cut short is no drawing: until the final rewrite every position of
// the header is -1, so the loader reads nothing from the header's bytes.
TEST_F(Lossless, CutFileLoadsNothing) {
  for (int i = 0; i < 3; ++i) {
    KT_Layer* l = nullptr;
    api_kt_create_layer(l, "L", 255, 1, true, false, false);
  }
  kt_append_block(drawing);
  // A writer that runs out of 32-bit positions after 1024 bytes stops there,
  // before the final rewrite, as a save killed half-way does.
  std::vector<unsigned char> cut;
  TorvWriter w;
  w.memory = &cut;
  w.position = INT32_MAX - 1024;
  EXPECT_FALSE(write_drawing(w, drawing));
  cut.insert(cut.end(), w.stage.begin(), w.stage.begin() + static_cast<std::ptrdiff_t>(w.staged));
  ASSERT_GE(cut.size(), 336u);
  for (int slot = 40; slot <= 84; slot += 4) EXPECT_EQ(int32_at(cut, static_cast<std::size_t>(slot)), -1) << slot;
  KT_Drawing loaded;
  EXPECT_TRUE(load_into(loaded, cut));
  EXPECT_EQ(count_of(loaded.layers) + count_of(loaded.text_styles) + count_of(loaded.blocks), 0);
}

class FailedSave : public Lossless {
 protected:
  void SetUp() override {
    Lossless::SetUp();
    KT_Drawable* line = nullptr;
    const double a[3] = {0, 0, 0}, b[3] = {1, 1, 0};
    for (int i = 0; i < 20000; ++i) api_kt_create_line(line, a, b);
    target = dir / "drawing.trv";
    std::ofstream(target) << "the old drawing";
    old = file_bytes(target);
  }
  void expect_old_file_intact() {
    EXPECT_EQ(file_bytes(target), old);
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"drawing.trv"});
  }
  fs::path target;
  std::vector<unsigned char> old;
};

#if !defined(_WIN32)  // file-size limits are POSIX
// Disk full: a file-size limit in a child process that ignores SIGXFSZ.
TEST_F(FailedSave, FileSizeLimitKeepsTheOldFile) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    SaveReport report;
    const bool saved = save_drawing_file(drawing, target.string().c_str(), SaveOptions{}, report);
    _exit(!saved && report.error.find("File too large") != std::string::npos ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  expect_old_file_intact();
}
#endif

TEST_F(FailedSave, DestinationIsADirectory) {
  const auto sub = dir / "sub.trv";
  fs::create_directory(sub);
  SaveReport report;
  EXPECT_FALSE(save_drawing_file(drawing, sub.string().c_str(), SaveOptions{}, report));
  EXPECT_EQ(report.error, "it is a directory");
  EXPECT_TRUE(fs::is_empty(sub));
  fs::remove(sub);
  expect_old_file_intact();
}

#if !defined(_WIN32)  // directory permission bits are POSIX
TEST_F(FailedSave, UnwritableDirectory) {
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  const bool root_writes_anyway = access(dir.c_str(), W_OK) == 0;
  SaveReport report;
  const bool saved = save_drawing_file(drawing, target.string().c_str(), SaveOptions{}, report);
  fs::permissions(dir, fs::perms::owner_all);
  if (root_writes_anyway) GTEST_SKIP() << "the directory stays writable for this user";
  EXPECT_FALSE(saved);
  EXPECT_NE(report.error.find("Permission denied"), std::string::npos) << report.error;
  expect_old_file_intact();
}
#endif

#ifndef _WIN32
// A device is written in place, not replaced: what the writer cannot store
// refuses it before a byte goes out, as it does a file.
TEST_F(Lossless, DeviceIsRefusedWhatItWouldLose) {
  // A machine whose /dev/null is a plain file would have it replaced.
  struct stat null_device {};
  if (stat("/dev/null", &null_device) != 0 || !S_ISCHR(null_device.st_mode)) GTEST_SKIP() << "/dev/null is not a device";
  KT_Drawable* point = nullptr;
  const double at[3] = {1.0, 2.0, 3.0};  // a z the loader sets to 0
  api_kt_create_point(point, at);
  SaveReport refused;
  EXPECT_FALSE(save_drawing_file(drawing, "/dev/null", SaveOptions{false}, refused));
  EXPECT_EQ(refused.error, "it would lose 1 z coordinates");
  SaveReport allowed;
  EXPECT_TRUE(save_drawing_file(drawing, "/dev/null", SaveOptions{true}, allowed));
  EXPECT_EQ(allowed.entities, 1);
}
#endif

TEST_F(FailedSave, MissingDirectoryAndApiResult) {
  std::string missing = (dir / "no such folder" / "x.trv").string();
  EXPECT_FALSE(api_kt_save_trv(missing.data()));
  expect_old_file_intact();
}

// A drawing saved onto the file it came from; saved twice, the same bytes.
TEST_F(Lossless, SaveOntoItsOwnFile) {
  const auto path = dir / "self.trv";
  {
    std::ofstream out(path, std::ios::binary);
    const auto bytes = RandomDrawing(99).file();
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  KT_Drawing first;
  ASSERT_TRUE(load_into(first, file_bytes(path)));
  SaveReport report;
  ASSERT_TRUE(save_drawing_file(first, path.string().c_str(), SaveOptions{}, report));
  const auto once = file_bytes(path);
  KT_Drawing second;
  ASSERT_TRUE(load_into(second, once));
  std::string where;
  EXPECT_TRUE(image::same_drawing(image::of(first), image::of(second), where)) << where;
  ASSERT_TRUE(save_drawing_file(second, path.string().c_str(), SaveOptions{}, report));
  EXPECT_EQ(file_bytes(path), once);
  EXPECT_EQ(names_in(dir), std::vector<std::string>{"self.trv"});
}

}  // namespace
