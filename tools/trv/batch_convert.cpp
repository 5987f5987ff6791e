#include "tools/trv/batch_convert.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "save/save_file.h"
#include "tools/trv/cli_support.h"
#include "tools/trv/save_command.h"

namespace trv {

namespace fs = std::filesystem;

namespace {

bool stderr_is_terminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) == 1;
#endif
}

int convert_one(const std::string& in, const std::string& out, const SaveRequest& request) {
  // Under -o DIR the run removed the folder's leftovers when it began.
  return run_save(in, out, request.mode, request.sysvar_list, request.allow_loss, request.out_dir.empty());
}

// The output for an input under -o DIR: its name with the extension .trv.
std::string output_for(const std::string& in, const std::string& dir) {
  const std::string stem = in == "-" ? std::string("stdin") : fs::path(in).stem().string();
  return (fs::path(dir) / (stem + ".trv")).string();
}

std::uintmax_t size_of(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? 0 : size;
}

// The progress line, drawn only when standard error is a terminal.
class Progress {
 public:
  explicit Progress(std::size_t total) : total_(total), shown_(stderr_is_terminal()) {}
  void show(std::size_t done, std::uintmax_t bytes, const std::string& current) const {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K[%zu/%zu] %ju bytes  %s", done, total_, bytes, current.c_str());
    std::fflush(stderr);
  }
  void clear() const {
    if (shown_) std::fputs("\r\033[K", stderr);
  }

 private:
  std::size_t total_;
  bool shown_;
};

struct Tally {
  std::size_t done = 0;
  std::uintmax_t bytes = 0;
  std::vector<std::size_t> failed;  // indexes into the inputs

  void record(const SaveRequest& request, std::size_t index, bool ok) {
    ++done;
    bytes += size_of(request.files[index]);
    if (!ok) failed.push_back(index);
  }
};

void run_in_process(const SaveRequest& request, Tally& tally, const Progress& progress) {
  for (std::size_t i = 0; i < request.files.size(); ++i) {
    const std::string& in = request.files[i];
    const int status = convert_one(in, output_for(in, request.out_dir), request);
    tally.record(request, i, status == 0);
    progress.show(tally.done, tally.bytes, in);
  }
  progress.clear();
}

#if !defined(_WIN32)
// Files i with i % jobs == worker, one after another; each result goes to
// `report` as "<index> <status>\n" when there is one.
void convert_share(const SaveRequest& request, int worker, int jobs, int report) {
  const auto& files = request.files;
  for (std::size_t i = static_cast<std::size_t>(worker); i < files.size(); i += static_cast<std::size_t>(jobs)) {
    const int status = convert_one(files[i], output_for(files[i], request.out_dir), request);
    const std::string line = std::to_string(i) + " " + std::to_string(status) + "\n";
    if (write(report, line.data(), line.size()) < 0) return;
  }
}


// Worker processes report through one pipe; a worker that dies leaves its
// unreported files counted as failed.
void run_in_workers(const SaveRequest& request, Tally& tally, const Progress& progress) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error(std::string("cannot start workers: ") + std::strerror(errno));
  std::fflush(nullptr);
  std::vector<pid_t> workers;
  for (int w = 0; w < request.jobs; ++w) {
    const pid_t pid = fork();
    if (pid < 0) break;
    if (pid == 0) {
      close(fds[0]);
      convert_share(request, w, request.jobs, fds[1]);
      std::fflush(nullptr);
      _exit(0);
    }
    workers.push_back(pid);
  }
  close(fds[1]);
  std::vector<bool> reported(request.files.size(), false);
  std::FILE* results = fdopen(fds[0], "r");
  std::size_t index = 0;
  int status = 0;
  while (results != nullptr && std::fscanf(results, "%zu %d", &index, &status) == 2) {
    if (index >= reported.size() || reported[index]) continue;
    reported[index] = true;
    tally.record(request, index, status == 0);
    progress.show(tally.done, tally.bytes, request.files[index]);
  }
  progress.clear();
  if (results != nullptr) std::fclose(results);
  for (const pid_t pid : workers) waitpid(pid, nullptr, 0);
  for (std::size_t i = 0; i < reported.size(); ++i) {
    if (reported[i]) continue;
    error(request.files[i] + ": not converted (its worker stopped)");
    tally.record(request, i, false);
  }
}
#endif

}  // namespace

int run_save_request(const SaveRequest& request) {
  if (request.out_dir.empty()) {
    if (request.files.size() != 2) {
      error("save: give IN OUT, or IN... -o DIR");
      return 2;
    }
    return convert_one(request.files[0], request.files[1], request);
  }
  std::error_code ec;
  fs::create_directories(request.out_dir, ec);
  if (ec) {
    error(request.out_dir + ": " + ec.message());
    return 1;
  }
  // What interrupted runs left in the folder, before any worker starts.
  note_leftovers(request.out_dir, kttrv::remove_save_leftovers_in(request.out_dir));
  Tally tally;
  const Progress progress(request.files.size());
#if defined(_WIN32)
  run_in_process(request, tally, progress);  // no fork: --jobs runs one process
#else
  if (request.jobs > 1 && request.files.size() > 1) {
    run_in_workers(request, tally, progress);
  } else {
    run_in_process(request, tally, progress);
  }
#endif
  std::fprintf(stderr, "trv: converted %zu of %zu files (%ju bytes read)", tally.done - tally.failed.size(),
               request.files.size(), tally.bytes);
  if (tally.failed.empty()) {
    std::fputs("\n", stderr);
    return 0;
  }
  std::sort(tally.failed.begin(), tally.failed.end());  // workers finish in any order
  std::fprintf(stderr, "; %zu failed:", tally.failed.size());
  for (const std::size_t i : tally.failed) std::fprintf(stderr, " %s", request.files[i].c_str());
  std::fputs("\n", stderr);
  return 1;
}

}  // namespace trv
