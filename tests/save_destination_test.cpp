// Saving to a path whatever is there: a save killed at any moment leaves the
// old file or the new one and, beside it, nothing more readable than it,
// which the next save removes; links, hard links, read-only files, full and
// read-only file systems, readers and concurrent saves each end as
// docs/WRITER.md says.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "save/replacing_file.h"
#include "save/save_file.h"
#include "tests/support/drawing_fixture.h"

namespace {

namespace fs = std::filesystem;
using kttrv::saving::Leftover;
using kttrv::saving::leftover_kind;

// Every lead byte of UTF-8 followed by as many continuation bytes as it says.
bool whole_characters(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

// The names a save gives its files are its own: recognised as a leftover of
// that destination only, fitting a folder entry, new every time.
TEST(SaveFileNames, EachNameIsRecognisedAsItsDestinationsOnly) {
  const std::string long_name(300, 'n');
  std::string accented;
  for (int i = 0; i < 120; ++i) accented += "\xc3\xa9";  // 240 bytes of two-byte characters
  for (const std::string& dest : {std::string("a.trv"), std::string("plan v2.trv"), std::string(".hidden"),
                                  std::string("x"), long_name, accented}) {
    SCOPED_TRACE(dest.substr(0, 20));
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
      const std::string name = kttrv::saving::partial_name(dest);
      EXPECT_TRUE(seen.insert(name).second) << name;
      EXPECT_LE(name.size(), 255u);
      EXPECT_EQ(leftover_kind(name, &dest), Leftover::partial);
      EXPECT_EQ(leftover_kind(name, nullptr), Leftover::partial);
      const std::string other = dest + "x";
      if (dest.size() < 200) { EXPECT_EQ(leftover_kind(name, &other), Leftover::none); }
      EXPECT_TRUE(whole_characters(name)) << "a name cut inside a character";
    }
  }
}

TEST(SaveFileNames, WhatCountsAsALeftover) {
  const std::string dest = "d.trv";
  struct Case {
    const char* name;
    Leftover of_dest;
    Leftover of_any;
  } const cases[] = {
      {"d.trv.0123456789abcdef.trv-partial", Leftover::partial, Leftover::partial},
      {"e.trv.0123456789abcdef.trv-partial", Leftover::none, Leftover::partial},
      {"d.trv.0123456789abcde.trv-partial", Leftover::none, Leftover::none},    // 15 digits
      {"d.trv.0123456789ABCDEF.trv-partial", Leftover::none, Leftover::none},   // capitals
      {"d.trv.0123456789abcdeg.trv-partial", Leftover::none, Leftover::none},
      {".0123456789abcdef.trv-partial", Leftover::none, Leftover::none},         // no destination
      {"d.trv.0123456789abcdef.trv-partial~", Leftover::none, Leftover::none},
      {"d.trv.1a2b3c-7.tmp", Leftover::older, Leftover::older},
      {"d.trv.ffffffffff-4294967295.tmp", Leftover::older, Leftover::older},
      {"d.trv.fffffffffff-1.tmp", Leftover::none, Leftover::none},               // 11 digits
      {"d.trv.1a2b-.tmp", Leftover::none, Leftover::none},
      {"d.trv.-3.tmp", Leftover::none, Leftover::none},
      {"notes.txt.1a2b-3.tmp", Leftover::none, Leftover::none},                  // not a drawing's
      {"d.trv", Leftover::none, Leftover::none},
      {"d.trv.tmp", Leftover::none, Leftover::none},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(leftover_kind(c.name, &dest), c.of_dest) << c.name;
    EXPECT_EQ(leftover_kind(c.name, nullptr), c.of_any) << c.name;
  }
}

#if !defined(_WIN32)

std::vector<unsigned char> bytes_of(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void write_bytes(const fs::path& p, const std::vector<unsigned char>& bytes) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

const std::vector<unsigned char> kOld = {'t', 'h', 'e', ' ', 'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};

// The names in dir that are some save's file.
std::vector<fs::path> partials_in(const fs::path& dir) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (leftover_kind(kttrv::saving::name_of(it->path().filename()), nullptr) != Leftover::none)
      out.push_back(it->path());
  return out;
}

void add_lines(int n) {
  KT_Drawable* line = nullptr;
  for (int i = 0; i < n; ++i) {
    const double a[3] = {double(i), 0, 0}, b[3] = {1, double(i), 0};
    api_kt_create_line(line, a, b);
  }
}

std::vector<unsigned char> in_memory(const KT_Drawing& d) {
  std::vector<unsigned char> out;
  EXPECT_TRUE(kttrv::save_drawing(d, out).saved);
  return out;
}

bool is_root() { return geteuid() == 0; }

unsigned mode_of(const fs::path& p) {
  struct stat st;
  return lstat(p.c_str(), &st) == 0 ? static_cast<unsigned>(st.st_mode & 07777) : 0u;
}

class SaveDestination : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    add_lines(50);
    fresh = in_memory(drawing);
  }
  kttrv::SaveResult save(const fs::path& p) { return kttrv::save_drawing(drawing, p.string()); }
  std::vector<unsigned char> fresh;  // what a save of drawing writes
};

// Each odd destination: whether the save succeeds, what every name in the
// folder then holds, and that no save's file is left.
TEST_F(SaveDestination, EachKindEndsAsDecided) {
  const auto NEW = std::vector<unsigned char>{1};  // stands for "the saved drawing"
  struct Case {
    const char* what;
    std::function<fs::path(const fs::path&)> setup;  // makes the folder, returns the path to save to
    bool saved;
    std::string error;                                        // part of the reason, when refused
    std::vector<std::pair<const char*, std::vector<unsigned char>>> holds;  // name -> bytes (NEW: saved)
    std::vector<const char*> links;                           // names that are still symbolic links
    long other_links = 0;
  };
  const std::vector<Case> cases = {
      {"no file yet", [](const fs::path& d) { return d / "f.trv"; }, true, "", {{"f.trv", NEW}}, {}},
      {"an existing file",
       [](const fs::path& d) { write_bytes(d / "f.trv", kOld); return d / "f.trv"; }, true, "", {{"f.trv", NEW}}, {}},
      {"a link to a file beside it",
       [](const fs::path& d) {
         write_bytes(d / "f.trv", kOld);
         fs::create_symlink("f.trv", d / "l.trv");
         return d / "l.trv";
       },
       true, "", {{"f.trv", NEW}}, {"l.trv"}},
      {"a link into another folder, through a second link",
       [](const fs::path& d) {
         fs::create_directory(d / "sub");
         write_bytes(d / "sub" / "f.trv", kOld);
         fs::create_symlink("sub/f.trv", d / "m.trv");
         fs::create_symlink(d / "m.trv", d / "l.trv");
         return d / "l.trv";
       },
       true, "", {{"sub/f.trv", NEW}}, {"l.trv", "m.trv"}},
      {"a link to no file yet",
       [](const fs::path& d) { fs::create_symlink("f.trv", d / "l.trv"); return d / "l.trv"; }, true, "",
       {{"f.trv", NEW}}, {"l.trv"}},
      {"links in a loop",
       [](const fs::path& d) {
         fs::create_symlink("b.trv", d / "a.trv");
         fs::create_symlink("a.trv", d / "b.trv");
         return d / "a.trv";
       },
       false, "loop", {}, {"a.trv", "b.trv"}},
      {"a hard-linked file",
       [](const fs::path& d) {
         write_bytes(d / "f.trv", kOld);
         fs::create_hard_link(d / "f.trv", d / "g.trv");
         return d / "f.trv";
       },
       true, "", {{"f.trv", NEW}, {"g.trv", kOld}}, {}, 1},
      {"a read-only file",
       [](const fs::path& d) {
         write_bytes(d / "f.trv", kOld);
         fs::permissions(d / "f.trv", fs::perms::owner_read);
         return d / "f.trv";
       },
       is_root(), is_root() ? "" : "read-only", {{"f.trv", is_root() ? NEW : kOld}}, {}},
      {"a directory", [](const fs::path& d) { fs::create_directory(d / "f.trv"); return d / "f.trv"; }, false,
       "directory", {}, {}},
      {"a link named as a save's file beside it",
       [](const fs::path& d) {
         write_bytes(d / "f.trv", kOld);
         write_bytes(d / "victim", kOld);
         // Neither followed nor removed: it is no file of a save.
         fs::create_symlink("victim", d / "f.trv.0000000000000000.trv-partial");
         return d / "f.trv";
       },
       true, "", {{"f.trv", NEW}, {"victim", kOld}}, {"f.trv.0000000000000000.trv-partial"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path d = dir / "case";
    fs::remove_all(d);
    fs::create_directory(d);
    const kttrv::SaveResult r = save(c.setup(d));
    EXPECT_EQ(r.saved, c.saved) << r.error;
    if (!c.error.empty()) { EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error; }
    for (const auto& [name, bytes] : c.holds) EXPECT_EQ(bytes_of(d / name), bytes == NEW ? fresh : bytes) << name;
    for (const char* name : c.links) EXPECT_TRUE(fs::is_symlink(d / name)) << name;
    EXPECT_EQ(r.other_links, c.other_links);
    for (const fs::path& p : partials_in(d))
      EXPECT_TRUE(fs::is_symlink(fs::symlink_status(p))) << "left: " << p;
    fs::permissions(d, fs::perms::owner_all);
  }
  fs::remove_all(dir / "case");
}

// A link that someone else planted in a shared folder whose sticky bit is
// set (as /tmp) is not followed, as the system itself would not follow it.
TEST_F(SaveDestination, ForeignLinkInAStickyFolderIsRefused) {
  if (!is_root()) GTEST_SKIP() << "only root can make a link owned by another user";
  const fs::path shared = dir / "shared";
  fs::create_directory(shared);
  chmod(shared.c_str(), 01777);
  write_bytes(dir / "precious", kOld);
  const fs::path link = shared / "out.trv";
  fs::create_symlink(dir / "precious", link);
  ASSERT_EQ(lchown(link.c_str(), 54321, 54321), 0);
  const kttrv::SaveResult r = save(link);
  EXPECT_FALSE(r.saved);
  EXPECT_NE(r.error.find("another user"), std::string::npos) << r.error;
  EXPECT_EQ(bytes_of(dir / "precious"), kOld);
  // The folder's owner's own link is followed.
  ASSERT_EQ(lchown(link.c_str(), 0, 0), 0);
  EXPECT_TRUE(save(link).saved);
  EXPECT_EQ(bytes_of(dir / "precious"), fresh);
}

// The saved file has the old one's permissions, owner and group.
TEST_F(SaveDestination, KeepsPermissionsOwnerAndGroup) {
  struct Case {
    unsigned mode;
    unsigned uid, gid;  // as root only
  } const cases[] = {{0600, 0, 0}, {0640, 0, 0}, {0604, 0, 0}, {0644, 0, 0}, {0660, 0, 0},
                     {0620, 0, 0}, {0700, 0, 0}, {0640, 54321, 54322}, {0606, 0, 54323}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << c.mode << std::dec << " " << c.uid << ":" << c.gid);
    if ((c.uid != 0 || c.gid != 0) && !is_root()) continue;
    const fs::path f = dir / "f.trv";
    fs::remove(f);
    write_bytes(f, kOld);
    chmod(f.c_str(), c.mode);
    struct stat before;
    if (is_root()) { ASSERT_EQ(chown(f.c_str(), c.uid, c.gid), 0); }
    ASSERT_EQ(stat(f.c_str(), &before), 0);
    ASSERT_TRUE(save(f).saved);
    struct stat after;
    ASSERT_EQ(stat(f.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, c.mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(bytes_of(f), fresh);
  }
}

// A saver that cannot give the new file the old one's group (it is no
// member) gives that group no more than the old file grants everyone.
TEST_F(SaveDestination, AGroupItCannotGiveGetsNoMoreThanEveryone) {
  if (!is_root()) GTEST_SKIP() << "needs root to save as another user";
  struct Case {
    unsigned mode, expected;
  } const cases[] = {{0640, 0600}, {0660, 0600}, {0664, 0644}, {0604, 0604}, {0666, 0666}, {0620, 0600}};
  chmod(dir.c_str(), 0777);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::oct << c.mode);
    const fs::path f = dir / "f.trv";
    fs::remove(f);
    write_bytes(f, kOld);
    ASSERT_EQ(chown(f.c_str(), 65534, 54321), 0);
    chmod(f.c_str(), c.mode);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const gid_t none[1] = {65534};
      if (setgroups(1, none) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
      SaveReport report;
      _exit(save_drawing_file(drawing, f.c_str(), SaveOptions{}, report) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    struct stat st;
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, c.expected);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(bytes_of(f), fresh);
  }
}

// A new file gets the permissions any new file of this process gets.
TEST_F(SaveDestination, NewFileHasTheUsualPermissions) {
  for (const mode_t mask : {mode_t(022), mode_t(077), mode_t(002), mode_t(0)}) {
    const mode_t old_mask = umask(mask);
    const fs::path f = dir / ("new" + std::to_string(mask) + ".trv");
    const bool saved = save(f).saved;
    umask(old_mask);
    ASSERT_TRUE(saved);
    EXPECT_EQ(mode_of(f), 0666u & ~mask) << std::oct << mask;
  }
}

// A process reading the destination goes on reading the old file to its end.
TEST_F(SaveDestination, AReaderKeepsTheOldFile) {
  std::vector<unsigned char> old(200000);
  for (std::size_t i = 0; i < old.size(); ++i) old[i] = static_cast<unsigned char>(i * 7);
  const fs::path f = dir / "f.trv";
  write_bytes(f, old);
  std::ifstream reader(f, std::ios::binary);
  std::vector<unsigned char> got(old.size());
  reader.read(reinterpret_cast<char*>(got.data()), 1000);
  ASSERT_TRUE(save(f).saved);
  reader.read(reinterpret_cast<char*>(got.data()) + 1000, static_cast<std::streamsize>(old.size() - 1000));
  EXPECT_EQ(got, old);
  EXPECT_EQ(bytes_of(f), fresh);
}

// What removes leftovers takes only the files no process holds and that are
// named as a save names its files.
TEST_F(SaveDestination, LeftoversNobodyHoldsAreRemoved) {
  const fs::path d = dir / "f";
  fs::create_directory(d);
  struct Entry {
    const char* name;
    char kind;  // f: file, l: link, d: folder, p: FIFO
    bool held;  // an flock on it, as a running save holds its file
    bool aged;  // unchanged for two hours
    bool gone_for_dest, gone_for_folder;
  } const entries[] = {
      {"d.trv.0123456789abcdef.trv-partial", 'f', false, false, true, true},
      {"d.trv.1111111111111111.trv-partial", 'f', true, false, false, false},
      {"e.trv.2222222222222222.trv-partial", 'f', false, false, false, true},
      {"d.trv.3333333333333333.trv-partial", 'l', false, false, false, false},
      {"d.trv.4444444444444444.trv-partial", 'd', false, false, false, false},
      {"d.trv.5555555555555555.trv-partial", 'p', false, false, false, false},
      {"d.trv.6666666666666666.trv-partial", 'f', false, true, true, true},
      {"d.trv.1a2b3c-1.tmp", 'f', false, true, true, true},
      {"d.trv.1a2b3c-2.tmp", 'f', false, false, false, false},  // an earlier version may still write it
      {"d.trv.1a2b3c-3.tmp", 'f', true, true, false, false},
      {"e.trv.9-1.tmp", 'f', false, true, false, true},
      {"d.trv", 'f', false, true, false, false},
      {"d.trv.tmp", 'f', false, true, false, false},
      {"notes.txt.1-1.tmp", 'f', false, true, false, false},
  };
  for (const bool whole_folder : {false, true}) {
    SCOPED_TRACE(whole_folder ? "the whole folder" : "one destination");
    std::vector<int> holds;
    std::size_t expected = 0;
    for (const Entry& e : entries) {
      const fs::path p = d / e.name;
      if (e.kind == 'f') write_bytes(p, kOld);
      if (e.kind == 'l') fs::create_symlink("d.trv", p);
      if (e.kind == 'd') fs::create_directory(p);
      if (e.kind == 'p') { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }
      if (e.aged) fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::hours(2));
      if (e.held) {
        holds.push_back(open(p.c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_EQ(flock(holds.back(), LOCK_EX), 0);
      }
      expected += whole_folder ? e.gone_for_folder : e.gone_for_dest;
    }
    const std::size_t removed = whole_folder ? kttrv::remove_save_leftovers_in(d.string())
                                             : kttrv::remove_save_leftovers((d / "d.trv").string());
    EXPECT_EQ(removed, expected);
    for (const Entry& e : entries)
      EXPECT_EQ(fs::exists(fs::symlink_status(d / e.name)), !(whole_folder ? e.gone_for_folder : e.gone_for_dest))
          << e.name;
    for (const int fd : holds) close(fd);
    fs::remove_all(d);
    fs::create_directory(d);
  }
}

// A tmpfs of a few pages where this process may mount one; unmounted when
// it goes.
class SmallFileSystem {
 public:
  SmallFileSystem(const fs::path& at, const char* size) : at_(at) {
    fs::create_directories(at);
    const std::string options = std::string("size=") + size + ",mode=0755";
    if (mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      why_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    }
  }
  ~SmallFileSystem() {
    if (mounted_) umount2(at_.c_str(), MNT_DETACH);
  }
  bool remount_read_only() {
    return mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }
  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }

 private:
  fs::path at_;
  bool mounted_ = false;
  std::string why_;
};

// A folder the save cannot complete in: the old file stays as it was, no
// file of the save is left, and the reason is named.
TEST_F(SaveDestination, FolderThatFailsTheSaveKeepsTheOldFile) {
  add_lines(40000);  // a file of about 2 MB
  struct Case {
    const char* what;
    const char* size;
    bool read_only;
    const char* reason;
  } const cases[] = {
      {"a full file system", "256k", false, "No space left on device"},
      {"a file system with room for the old file only", "16k", false, "No space left on device"},
      {"a read-only file system", "1m", true, "Read-only file system"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path at = dir / "mnt";
    SmallFileSystem small(at, c.size);
    if (!small.mounted()) GTEST_SKIP() << small.why();
    write_bytes(at / "f.trv", kOld);
    if (c.read_only) { ASSERT_TRUE(small.remount_read_only()); }
    const kttrv::SaveResult r = save(at / "f.trv");
    EXPECT_FALSE(r.saved);
    EXPECT_NE(r.error.find(c.reason), std::string::npos) << r.error;
    EXPECT_EQ(bytes_of(at / "f.trv"), kOld);
    EXPECT_TRUE(partials_in(at).empty());
  }
}

TEST_F(SaveDestination, FolderWithoutWritePermissionKeepsTheOldFile) {
  if (is_root()) GTEST_SKIP() << "root writes into any folder (the read-only file system case holds it)";
  write_bytes(dir / "f.trv", kOld);
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  const kttrv::SaveResult r = save(dir / "f.trv");
  fs::permissions(dir, fs::perms::owner_all);
  EXPECT_FALSE(r.saved);
  EXPECT_NE(r.error.find("Permission denied"), std::string::npos) << r.error;
  EXPECT_EQ(bytes_of(dir / "f.trv"), kOld);
}

// Saves killed (SIGKILL) at random moments: the destination is always the
// old file or the whole new one; no save's file beside it is ever more
// readable than it, nor owned by another; the next save removes what the
// killed one left.
TEST_F(SaveDestination, KilledAtRandomMoments) {
  add_lines(60000);
  const std::vector<unsigned char> full = in_memory(drawing);
  const fs::path f = dir / "f.trv";
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(save(f).saved);
  const auto one_save = std::chrono::steady_clock::now() - started;
  const unsigned modes[] = {0600, 0640, 0604, 0660, 0644, 0620};
  std::random_device seed_source;
  const unsigned seed = seed_source();
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> moment(0.0, 1.2);
  std::size_t left_behind = 0;
  for (int round = 0; round < 12; ++round) {
    const unsigned mode = modes[round % 6];
    SCOPED_TRACE(testing::Message() << "round " << round << ", mode " << std::oct << mode);
    fs::remove(f);
    write_bytes(f, kOld);
    chmod(f.c_str(), mode);
    struct stat dest;
    ASSERT_EQ(stat(f.c_str(), &dest), 0);
    const auto kill_at =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(one_save * moment(random));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SaveReport report;
      _exit(save_drawing_file(drawing, f.c_str(), SaveOptions{}, report) ? 0 : 1);
    }
    do {
      for (const fs::path& p : partials_in(dir)) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0) continue;  // renamed or removed meanwhile
        EXPECT_EQ(st.st_mode & 0777 & ~dest.st_mode, 0u) << std::oct << (st.st_mode & 0777);
        EXPECT_EQ(st.st_uid, dest.st_uid);
      }
    } while (std::chrono::steady_clock::now() < kill_at);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    const std::vector<unsigned char> now = bytes_of(f);
    EXPECT_TRUE(now == kOld || now == full) << now.size() << " bytes";
    const std::size_t partials = partials_in(dir).size();
    left_behind += partials;
    // The next save takes them away.
    const kttrv::SaveResult next = save(f);
    ASSERT_TRUE(next.saved) << next.error;
    EXPECT_EQ(next.leftovers_removed, static_cast<long>(partials));
    EXPECT_TRUE(partials_in(dir).empty());
    EXPECT_EQ(mode_of(f), mode);
    EXPECT_EQ(bytes_of(f), full);
  }
  RecordProperty("left_behind", static_cast<int>(left_behind));
}

// Saves of four drawings onto one file at once: each is told the truth, and
// the file is always one of the four, whole.
TEST_F(SaveDestination, ConcurrentSavesLeaveOneWholeFile) {
  constexpr int kSavers = 4, kRounds = 15;
  std::vector<KT_Drawing> drawings(kSavers);
  std::vector<std::vector<unsigned char>> files;
  for (int k = 0; k < kSavers; ++k) {
    g_current_drawing = &drawings[static_cast<std::size_t>(k)];
    add_lines(2000 * (k + 1));
    files.push_back(in_memory(drawings[static_cast<std::size_t>(k)]));
  }
  g_current_drawing = &drawing;
  const fs::path f = dir / "f.trv";
  write_bytes(f, kOld);
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> savers;
  for (int k = 0; k < kSavers; ++k) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(go[1]);
      char c;
      if (read(go[0], &c, 1) != 0) _exit(100);  // all start when the pipe closes
      int failed = 0;
      for (int round = 0; round < kRounds; ++round) {
        SaveReport report;
        if (!save_drawing_file(drawings[static_cast<std::size_t>(k)], f.c_str(), SaveOptions{}, report)) ++failed;
        // Just after its own save, the file is someone's whole file.
        const std::vector<unsigned char> now = bytes_of(f);
        if (std::find(files.begin(), files.end(), now) == files.end()) failed += 100;
      }
      _exit(failed);
    }
    savers.push_back(pid);
  }
  close(go[0]);
  close(go[1]);
  for (const pid_t pid : savers) {
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed saves (100 each: a file not whole)";
  }
  EXPECT_NE(std::find(files.begin(), files.end(), bytes_of(f)), files.end());
  EXPECT_TRUE(partials_in(dir).empty());
}

#endif  // !_WIN32

}  // namespace
