// Inputs that are not drawings, and list files that cannot be read: refused
// with a message naming the file and what is wrong, without blocking and
// without reading what is not needed.
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "kernel/afx.h"
#include "format/diagnostics.h"
#include "load/load_document.h"
#include "load/sysvar_list_cache.h"
#include "tests/support/drawing_fixture.h"
#include "tests/support/torv_builder.h"

namespace {

// Bytes this process has read through read() and its kin so far.
long long bytes_read_so_far() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = -1;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return -1;
}

// Drops, for the calling thread and the scope, the capabilities that let
// root read any file, so that a mode of 000 stops a test run as root too.
class WithoutReadOverride {
 public:
  WithoutReadOverride() {
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct less[2] = {saved_[0], saved_[1]};
    less[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    dropped_ = syscall(SYS_capset, &header_, less) == 0;
  }
  ~WithoutReadOverride() {
    if (dropped_) syscall(SYS_capset, &header_, saved_);
  }
  WithoutReadOverride(const WithoutReadOverride&) = delete;
  WithoutReadOverride& operator=(const WithoutReadOverride&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
  bool dropped_ = false;
};

class Inputs : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    KtTrvSetDiagnosticSink([](const char* m, void* c) { static_cast<std::vector<std::string>*>(c)->push_back(m); },
                           &messages);
  }
  void TearDown() override {
    KtTrvSetDiagnosticSink(nullptr, nullptr);
    KtTrvSetSysVarListPath(nullptr);
    DrawingTest::TearDown();
  }

  // LoadTORVDocument on path, in a thread given ten seconds: a load that
  // blocks on a FIFO is released by opening its other end, and fails the test.
  bool load_path(const std::string& path) {
    messages.clear();
    auto load = std::async(std::launch::async, [&] {
      WithoutReadOverride unreadable_means_unreadable;
      CString name(path.c_str());
      KT_Drawing* target = &drawing;
      return LoadTORVDocument(-1, name, target);
    });
    if (load.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << path << ": the load blocked";
      const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) close(writer);
    }
    return load.get();
  }
  std::string make_fifo(const char* name) {
    const std::string path = (dir / name).string();
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
  }
  std::string make_sparse(const char* name, std::uintmax_t size) {
    const auto path = dir / name;
    std::ofstream(path, std::ios::binary).put('\0');
    std::filesystem::resize_file(path, size);
    return path.string();
  }

  std::vector<std::string> messages;
};

TEST_F(Inputs, WhatIsNotADrawingFileIsRefusedNamingFileAndFault) {
  const std::string unreadable = temp_file(TorvFile().build(), "unreadable.trv");
  chmod(unreadable.c_str(), 0);
  bool can_make_unreadable = false;
  {
    WithoutReadOverride drop;
    const int fd = open(unreadable.c_str(), O_RDONLY);
    can_make_unreadable = fd < 0;
    if (fd >= 0) close(fd);
  }
  struct Case {
    std::string path;
    const char* fault;
  } cases[] = {
      {dir.string(), "is a directory"},
      {make_fifo("pipe.trv"), "is a FIFO"},
      {"/dev/zero", "is a character device"},
      {make_sparse("sparse.trv", (std::uintmax_t{3} << 30)), "is too large: 3221225472 bytes, at most 2147483647"},
      {(dir / "missing.trv").string(), "No such file or directory"},
      {unreadable, "Permission denied"},
  };
  for (const Case& c : cases) {
    if (c.path == unreadable && !can_make_unreadable) continue;  // this run may read any file
    EXPECT_FALSE(load_path(c.path)) << c.path;
    ASSERT_FALSE(messages.empty()) << c.path;
    EXPECT_EQ(messages.back(), "file: " + c.path + " " + c.fault + " at byte 0");
  }
  if (!can_make_unreadable) GTEST_SKIP() << "this run reads files of mode 000 even without its capabilities";
}

TEST_F(Inputs, FileWhoseHeaderNamesNoVersionIsRefusedWithoutReadingTheRest) {
  // 1.1 GB of zeros: "unknown version" from its first 88 bytes.
  const std::string zeros = make_sparse("zeros.trv", std::uintmax_t{1100} << 20);
  const long long before = bytes_read_so_far();
  if (before < 0) GTEST_SKIP() << "no /proc/self/io to count the bytes read";
  EXPECT_FALSE(load_path(zeros));
  const long long read = bytes_read_so_far() - before;
  EXPECT_LT(read, 1 << 20) << "bytes read";
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), "header: unknown version string at byte 2");
  EXPECT_EQ(g_trv_ver, -1);
}

TEST_F(Inputs, ListFileThatCannotBeReadIsReportedAndTheLoadGoesOn) {
  const std::string drawing_file = temp_file(TorvFile().build());
  for (const auto& [list, fault] : std::vector<std::pair<std::string, std::string>>{
           {(dir / "missing.txt").string(), "No such file or directory"},
           {dir.string(), "is a directory"},
           {make_fifo("list.fifo"), "is a FIFO"},
           {"/dev/zero", "is a character device"}}) {
    KtTrvSetSysVarListPath(list.c_str());
    EXPECT_TRUE(load_path(drawing_file)) << list;
    EXPECT_TRUE(sysvar_list().empty()) << list;
    ASSERT_FALSE(messages.empty()) << list;
    EXPECT_EQ(messages.front(), "system-variable list: " + list + " " + fault +
                                    "; the load goes on without a list at byte 0");
  }
}

TEST_F(Inputs, ListFileIsReadAgainWhenItChanges) {
  const std::string drawing_file = temp_file(TorvFile().build());
  const auto list = dir / "list.txt";
  KtTrvSetSysVarListPath(list.string().c_str());
  struct Version {
    const char* text;
    std::size_t entries;
    const char* last;
  } versions[] = {{"1\nA 1\n", 1, "A"}, {"2\nA 1\nB 2\n", 2, "B"}, {"2\nA 1\nC 3\n", 2, "C"}};
  for (std::size_t i = 0; i < std::size(versions); ++i) {
    std::ofstream(list, std::ios::binary) << versions[i].text;
    // A rewrite within the file system's clock tick keeps the time: move it on.
    std::filesystem::last_write_time(list, std::filesystem::file_time_type::clock::now() +
                                               std::chrono::seconds(static_cast<long>(i)));
    ASSERT_TRUE(load_path(drawing_file));
    ASSERT_EQ(sysvar_list().size(), versions[i].entries) << versions[i].text;
    EXPECT_STREQ(sysvar_list().back().name, versions[i].last);
  }
}

}  // namespace
