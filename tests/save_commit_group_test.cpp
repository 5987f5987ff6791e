// Saves made durable together (save/commit_group.h): until the group
// commits, every destination keeps what it held and the saves' files stay
// held against other saves' clean-up; a commit replaces each destination
// whole or, when one cannot be replaced, keeps it and says why; a group
// that goes uncommitted leaves nothing of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "save/commit_group.h"
#include "save/replacing_file.h"
#include "save/save_file.h"
#include "tests/support/drawing_fixture.h"

namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> bytes_of(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void write_bytes(const fs::path& p, const std::vector<unsigned char>& bytes) {
  std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::size_t partials_under(const fs::path& dir) {
  std::size_t n = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (kttrv::saving::leftover_kind(kttrv::saving::name_of(e.path().filename()), nullptr) ==
        kttrv::saving::Leftover::partial)
      ++n;
  return n;
}

const std::vector<unsigned char> kOld = {'o', 'l', 'd'};

class CommitGroupTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    KT_Drawable* line = nullptr;
    for (int i = 0; i < 20; ++i) {
      const double a[3] = {double(i), 0, 0}, b[3] = {1, double(i), 0};
      api_kt_create_line(line, a, b);
    }
    ASSERT_TRUE(kttrv::save_drawing(drawing, fresh).saved);
  }
  // Saves to p into group under tag: written and waiting, not yet there.
  void save_into(kttrv::CommitGroup& group, const fs::path& p, std::size_t tag) {
    SaveOptions options;
    options.group = &group;
    options.group_tag = tag;
    const kttrv::SaveResult r = kttrv::save_drawing(drawing, p.string(), options);
    ASSERT_TRUE(r.saved) << r.error;
    EXPECT_TRUE(r.waiting);
  }
  std::vector<unsigned char> fresh;
};

// New and existing destinations in two folders, however many commits the
// limits make of them.
TEST_F(CommitGroupTest, DestinationsChangeOnlyWhenCommittedAndThenWhole) {
  struct Case {
    const char* what;
    std::size_t files, limit;
  } const cases[] = {{"one", 1, 64}, {"several in one commit", 7, 64}, {"a commit every 3", 10, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path root = dir / c.what;
    fs::create_directories(root / "sub");
    kttrv::CommitGroup group(kttrv::CommitGroup::Limits{c.limit, 1u << 30});
    std::vector<fs::path> outputs;
    std::vector<std::size_t> committed_tags;
    for (std::size_t i = 0; i < c.files; ++i) {
      const fs::path out = root / (i % 2 ? "sub" : "") / ("d" + std::to_string(i) + ".trv");
      if (i % 3 == 0) write_bytes(out, kOld);
      outputs.push_back(out);
      save_into(group, out, 100 + i);
      // Waiting: the old content or nothing; the save's file is held.
      EXPECT_EQ(fs::exists(out), i % 3 == 0);
      if (fs::exists(out)) {
        EXPECT_EQ(bytes_of(out), kOld);
      }
      EXPECT_EQ(kttrv::remove_save_leftovers_in((root / (i % 2 ? "sub" : "")).string()), 0u);
      EXPECT_EQ(group.due(), group.waiting() >= c.limit);
      if (group.due())
        for (const auto& done : group.commit()) committed_tags.push_back(done.tag);
    }
    for (const auto& done : group.commit()) {
      EXPECT_TRUE(done.saved) << done.error;
      committed_tags.push_back(done.tag);
    }
    EXPECT_EQ(group.waiting(), 0u);
    std::vector<std::size_t> expected;
    for (std::size_t i = 0; i < c.files; ++i) expected.push_back(100 + i);
    EXPECT_EQ(committed_tags, expected);  // each once, in the order handed
    for (const fs::path& out : outputs) EXPECT_EQ(bytes_of(out), fresh) << out;
    EXPECT_EQ(partials_under(root), 0u);
  }
}

TEST_F(CommitGroupTest, ByteLimitMakesItDue) {
  kttrv::CommitGroup group(kttrv::CommitGroup::Limits{1000, fresh.size() * 2});
  save_into(group, dir / "a.trv", 0);
  EXPECT_FALSE(group.due());
  save_into(group, dir / "b.trv", 1);
  EXPECT_TRUE(group.due());
  EXPECT_EQ(group.commit().size(), 2u);
}

TEST_F(CommitGroupTest, UncommittedLeavesTheDestinationsAndNoFile) {
  write_bytes(dir / "kept.trv", kOld);
  {
    kttrv::CommitGroup group;
    save_into(group, dir / "kept.trv", 0);
    save_into(group, dir / "absent.trv", 1);
  }
  EXPECT_EQ(bytes_of(dir / "kept.trv"), kOld);
  EXPECT_FALSE(fs::exists(dir / "absent.trv"));
  EXPECT_EQ(partials_under(dir), 0u);
}

// A destination that became a folder while its save waited: that one fails
// with its reason, the others are saved, nothing is left.
TEST_F(CommitGroupTest, OneThatCannotBeReplacedFailsAlone) {
  kttrv::CommitGroup group;
  save_into(group, dir / "a.trv", 0);
  save_into(group, dir / "b.trv", 1);
  save_into(group, dir / "c.trv", 2);
  fs::create_directory(dir / "b.trv");
  write_bytes(dir / "b.trv" / "inside", kOld);
  const auto done = group.commit();
  ASSERT_EQ(done.size(), 3u);
  EXPECT_TRUE(done[0].saved);
  EXPECT_FALSE(done[1].saved);
  EXPECT_NE(done[1].error.find("cannot replace it"), std::string::npos) << done[1].error;
  EXPECT_TRUE(done[2].saved);
  EXPECT_EQ(bytes_of(dir / "a.trv"), fresh);
  EXPECT_EQ(bytes_of(dir / "c.trv"), fresh);
  EXPECT_EQ(bytes_of(dir / "b.trv" / "inside"), kOld);
  EXPECT_EQ(partials_under(dir), 0u);
}

}  // namespace
