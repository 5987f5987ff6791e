// Saves whose destination is no regular file: a FIFO with a reader gets the
// file a save to memory makes, whole, written once; a FIFO nobody reads
// fails the save within its wait and stays a FIFO; devices take the file;
// a loss refused writes nothing. Each destination kind is one row.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "save/save_file.h"
#include "save/stream_destination.h"
#include "tests/support/drawing_fixture.h"

namespace {

namespace fs = std::filesystem;

void add_lines(int n) {
  KT_Drawable* line = nullptr;
  for (int i = 0; i < n; ++i) {
    const double a[3] = {double(i), 0, 0}, b[3] = {1, double(i), 0};
    api_kt_create_line(line, a, b);
  }
}

// Everything a reader of fd gets until the writer closes.
std::vector<unsigned char> read_all(int fd) {
  std::vector<unsigned char> out;
  unsigned char chunk[1 << 14];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    out.insert(out.end(), chunk, chunk + n);
  }
  return out;
}

bool still_a_fifo(const fs::path& p) {
  struct stat st;
  return lstat(p.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

class StreamDestination : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    add_lines(20'000);  // more than a pipe holds at once
    ASSERT_TRUE(kttrv::save_drawing(drawing, fresh).saved);
    folder = dir / "streams";
    fs::create_directories(folder);
  }
  std::vector<unsigned char> fresh;  // what a save to memory makes
  fs::path folder;
};

TEST_F(StreamDestination, EachKindGetsTheWholeFileOrFailsWithinItsWait) {
  struct Case {
    const char* name;
    bool fifo;
    bool reader;          // a process opens the FIFO for reading
    bool saved;
    const char* reason;   // part of the failure's reason
  } const cases[] = {
      {"a FIFO with a reader", true, true, true, ""},
      {"a FIFO without a reader", true, false, false, "nothing reads it"},
      {"/dev/null", false, false, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path target = c.fifo ? folder / "out.fifo" : fs::path(c.name);
    if (c.fifo) { ASSERT_EQ(mkfifo(target.c_str(), 0600), 0); }
    std::vector<unsigned char> received;
    std::thread reader;
    if (c.reader)
      reader = std::thread([&] {
        const int fd = open(target.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
          received = read_all(fd);
          close(fd);
        }
      });
    const auto started = std::chrono::steady_clock::now();
    const kttrv::SaveResult r = kttrv::save_drawing(drawing, target.string());
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (reader.joinable()) reader.join();
    EXPECT_EQ(r.saved, c.saved) << r.error;
    EXPECT_NE(r.error.find(c.reason), std::string::npos) << r.error;
    EXPECT_LT(took, kttrv::saving::kReaderWaitMilliseconds / 1000.0 + 3);
    if (c.reader) { EXPECT_TRUE(received == fresh) << received.size() << " bytes, not " << fresh.size(); }
    if (c.fifo) {
      EXPECT_TRUE(still_a_fifo(target)) << "the FIFO was replaced";
      EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "a file left beside it";
      fs::remove(target);
    }
    EXPECT_EQ(r.entities, 20'000);
  }
}

// /dev/stdout as a pipe leads (under /proc) to a name that is no file: the
// save writes through it, to the pipe.
TEST_F(StreamDestination, StandardOutputAsAPipe) {
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipe_fds[1], 1);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    _exit(kttrv::save_drawing(drawing, "/dev/stdout").saved ? 0 : 1);
  }
  close(pipe_fds[1]);
  const std::vector<unsigned char> received = read_all(pipe_fds[0]);
  close(pipe_fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(received == fresh) << received.size() << " bytes, not " << fresh.size();
}

// A loss refused is refused before the FIFO is opened: its reader sees no
// writer at all, and the save does not wait for one.
TEST_F(StreamDestination, ARefusedLossOpensNothing) {
  const fs::path target = folder / "refused.fifo";
  ASSERT_EQ(mkfifo(target.c_str(), 0600), 0);
  LossLedger dropped;
  dropped.counts[0] = 1;
  SaveOptions options;
  options.allow_loss = false;
  options.file_losses = &dropped;
  const auto started = std::chrono::steady_clock::now();
  const kttrv::SaveResult r = kttrv::save_drawing(drawing, target.string(), options);
  EXPECT_FALSE(r.saved);
  EXPECT_NE(r.error.find("would lose"), std::string::npos) << r.error;
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 1.0);
  EXPECT_TRUE(still_a_fifo(target));
}

}  // namespace
