// trv catalog build: walks the paths for drawings, reads the files that are
// new or changed (in worker processes with --jobs: the plug-in serialises
// loads within a process) and writes the catalogue from this process alone,
// a transaction per batch of files. A run stopped at any point leaves every
// batch it committed; the next run finds those files unchanged and reads
// the rest.
#include <sys/stat.h>

#if !defined(_WIN32)
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#else
#include <io.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/trv/catalog.h"
#include "tools/trv/catalog_db.h"
#include "tools/trv/catalog_entry.h"
#include "tools/trv/cli_support.h"

using nlohmann::json;

namespace trv::catalog {

namespace {

namespace fs = std::filesystem;

// The path as the catalogue keeps it: absolute, normalised, '/' separated,
// no trailing separator.
std::string normal_path(const fs::path& p) {
  std::string s = fs::absolute(p).lexically_normal().generic_string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

bool has_drawing_extension(const fs::path& p) {
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".trv";
}

std::optional<FoundFile> stat_file(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
#if defined(_WIN32)
  const std::int64_t mtime = static_cast<std::int64_t>(st.st_mtime) * 1'000'000'000;
#else
  const std::int64_t mtime = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
#endif
  return FoundFile{path, static_cast<std::int64_t>(st.st_size), mtime};
}

// Every file of the paths: a folder's .trv files at any depth, a file
// itself whatever its name. Any folder that cannot be read stops the build
// (its files would otherwise count as gone).
bool walk(const std::vector<std::string>& paths, std::vector<FoundFile>& files, std::vector<std::string>& roots) {
  for (const std::string& given : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(given, ec);
    if (ec || !fs::exists(status)) {
      error(given + ": " + (ec ? ec.message() : std::string("no such file or folder")));
      return false;
    }
    roots.push_back(normal_path(given));
    if (!fs::is_directory(status)) {
      if (auto f = stat_file(roots.back())) files.push_back(std::move(*f));
      continue;
    }
    fs::recursive_directory_iterator it(roots.back(), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      if (!has_drawing_extension(it->path())) continue;
      const bool regular = it->is_regular_file(ec);
      if (ec) break;
      if (!regular) continue;
      if (auto f = stat_file(it->path().generic_string())) files.push_back(std::move(*f));
    }
    if (ec) {
      error(given + ": " + ec.message() + " (the catalogue is left as it was)");
      return false;
    }
  }
  std::sort(files.begin(), files.end(), [](const FoundFile& a, const FoundFile& b) { return a.path < b.path; });
  files.erase(std::unique(files.begin(), files.end(),
                          [](const FoundFile& a, const FoundFile& b) { return a.path == b.path; }),
              files.end());
  return true;
}

bool under(const std::string& path, const std::vector<std::string>& roots) {
  for (const std::string& root : roots) {
    if (path == root) return true;
    if (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
        (root.back() == '/' || path[root.size()] == '/'))
      return true;
  }
  return false;
}

struct Job {
  FoundFile file;
  std::optional<std::int64_t> known_id;
  std::string known_hash;
};

struct Tally {
  std::size_t found = 0, unchanged = 0, added = 0, changed = 0, touched = 0, removed = 0, not_loaded = 0;
  std::size_t done = 0, lost = 0;
};

// Commits after `limit` files or a second, whichever comes first.
class Batches {
 public:
  Batches(Writer& writer, int limit) : writer_(writer), limit_(std::max(1, limit)) {}
  void before() {
    if (writer_.in_transaction()) return;
    writer_.begin();
    started_ = std::chrono::steady_clock::now();
  }
  void after() {
    if (++pending_ >= limit_ || std::chrono::steady_clock::now() - started_ > std::chrono::seconds(1)) finish();
  }
  void finish() {
    if (writer_.in_transaction()) writer_.commit();
    pending_ = 0;
  }

 private:
  Writer& writer_;
  int limit_;
  int pending_ = 0;
  std::chrono::steady_clock::time_point started_;
};

using Progress = ProgressLine;

void apply(Writer& writer, Batches& batches, const Job& job, std::span<const unsigned char> entry, Tally& tally) {
  batches.before();
  if (!entry.empty() && entry[0] == 'S' && job.known_id) {
    writer.touch(*job.known_id, job.file.size, job.file.mtime_ns);
    ++tally.touched;
  } else {
    if (!writer.put(entry, job.known_id)) ++tally.not_loaded;
    ++(job.known_id ? tally.changed : tally.added);
  }
  batches.after();
  ++tally.done;
}

void run_in_process(const std::vector<Job>& jobs, Writer& writer, Batches& batches, Tally& tally,
                    const Progress& progress) {
  for (const Job& job : jobs) {
    apply(writer, batches, job, encode_entry(read_entry(job.file, job.known_hash)), tally);
    progress.show(tally.done, job.file.path);
  }
}

#if !defined(_WIN32)
bool write_all(int fd, const unsigned char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

bool read_all(int fd, unsigned char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t r = read(fd, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

// A worker reads jobs from, from + stride, ... and sends each entry as its
// job's index and length (two 32-bit numbers) and the encoded entry.
[[noreturn]] void work(const std::vector<Job>& jobs, std::size_t from, std::size_t stride, int fd) {
  try {
    for (std::size_t i = from; i < jobs.size(); i += stride) {
      const std::vector<unsigned char> entry = encode_entry(read_entry(jobs[i].file, jobs[i].known_hash));
      const std::uint32_t head[2] = {static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(entry.size())};
      if (!write_all(fd, reinterpret_cast<const unsigned char*>(head), sizeof head) ||
          !write_all(fd, entry.data(), entry.size()))
        _exit(1);
    }
  } catch (...) {
    _exit(1);
  }
  _exit(0);
}

// One worker: its pipe, its process, and the next job of its share.
struct Worker {
  int fd = -1;
  pid_t pid = -1;
  std::size_t next = 0;
};

bool start_worker(const std::vector<Job>& jobs, std::size_t from, std::size_t stride, std::vector<Worker>& workers,
                  Worker& w) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    close(fds[0]);
    for (const Worker& other : workers)
      if (other.fd >= 0) close(other.fd);
    work(jobs, from, stride, fds[1]);
  }
  close(fds[1]);
  w = {fds[0], pid, from};
  return true;
}

std::string how_it_ended(int status) {
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "exit status " + std::to_string(WEXITSTATUS(status));
}

// Worker processes, each over every n-th job. A worker that stops before
// its share is done is started again at the job it was reading; when that
// job stops a second worker too, the file is recorded as not loaded (the
// load itself fails on it) and the share goes on behind it.
void run_in_workers(const std::vector<Job>& jobs, int jobs_wanted, Writer& writer, Batches& batches, Tally& tally,
                    const Progress& progress) {
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(jobs_wanted), jobs.size());
  std::vector<Worker> workers(n);
  std::size_t running = 0;
  for (std::size_t w = 0; w < n; ++w)
    if (start_worker(jobs, w, n, workers, workers[w])) ++running;
  if (running == 0) throw CatalogError(std::string("cannot start workers: ") + std::strerror(errno));
  std::vector<bool> reported(jobs.size(), false), retried(jobs.size(), false);
  std::vector<pollfd> polled(n);
  std::vector<unsigned char> entry;
  while (running > 0) {
    for (std::size_t w = 0; w < n; ++w) polled[w] = {workers[w].fd, POLLIN, 0};
    if (poll(polled.data(), polled.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (std::size_t w = 0; w < n; ++w) {
      Worker& worker = workers[w];
      if (worker.fd < 0 || polled[w].revents == 0) continue;
      std::uint32_t head[2];
      bool ok = read_all(worker.fd, reinterpret_cast<unsigned char*>(head), sizeof head) &&
                head[0] < jobs.size() && !reported[head[0]];
      if (ok) {
        entry.resize(head[1]);
        ok = read_all(worker.fd, entry.data(), entry.size());
      }
      if (ok) {
        const std::size_t i = head[0];
        reported[i] = true;
        worker.next = i + n;
        apply(writer, batches, jobs[i], entry, tally);
        progress.show(tally.done, jobs[i].file.path);
        continue;
      }
      // The worker's pipe closed: done, or stopped inside job `next`.
      close(worker.fd);
      worker.fd = -1;
      int status = 0;
      waitpid(worker.pid, &status, 0);
      --running;
      std::size_t from = worker.next;
      if (from >= jobs.size()) continue;
      if (retried[from]) {
        const Job& job = jobs[from];
        json failed = {{"path", job.file.path}, {"size", job.file.size}, {"mtime_ns", job.file.mtime_ns},
                       {"hash", ""}, {"version", ""}, {"generation", nullptr}, {"legacy", false},
                       {"loaded", false}, {"complete", false},
                       {"failure", "reading it stopped the process reading it (" + how_it_ended(status) + ")"},
                       {"damage", json::array()}, {"not_kept", json::object()}};
        reported[from] = true;
        apply(writer, batches, job, encode_entry(failed), tally);
        from += n;
        if (from >= jobs.size()) continue;
      }
      retried[from] = true;
      if (start_worker(jobs, from, n, workers, worker)) ++running;
    }
  }
  for (Worker& w : workers)
    if (w.fd >= 0) {
      close(w.fd);
      waitpid(w.pid, nullptr, 0);
    }
  tally.lost = static_cast<std::size_t>(std::count(reported.begin(), reported.end(), false));
}
#endif

}  // namespace

int run_build(const BuildOptions& o) {
  std::vector<FoundFile> found;
  std::vector<std::string> roots;
  if (!walk(o.paths, found, roots)) return 1;
  Database db(o.archive, Database::Mode::write);
  std::map<std::string, KnownFile> known = known_files(db);
  Tally tally;
  tally.found = found.size();
  std::vector<Job> jobs;
  for (FoundFile& f : found) {
    const auto k = known.find(f.path);
    if (k == known.end()) {
      jobs.push_back({std::move(f), std::nullopt, {}});
      continue;
    }
    // A file recorded without a hash could not be read (or stopped its
    // reader): what failed may pass now, so it is read again.
    if (k->second.size == f.size && k->second.mtime_ns == f.mtime_ns && !k->second.hash.empty()) ++tally.unchanged;
    else jobs.push_back({std::move(f), k->second.id, k->second.hash});
    k->second.id = -k->second.id - 1;  // seen: negative
  }

  Writer writer(db);
  Batches batches(writer, o.batch);
  // Files gone from the paths go first, in one transaction.
  for (const auto& [path, k] : known) {
    if (k.id < 0 || !under(path, roots)) continue;
    batches.before();
    writer.remove(k.id);
    ++tally.removed;
  }
  batches.finish();

  // The files' damage is what the catalogue records; no warning lines.
  const Verbosity verbosity = current_verbosity();
  set_verbosity(Verbosity::quiet);
  const Progress progress(jobs.size());
#if !defined(_WIN32)
  if (o.jobs > 1 && jobs.size() > 1) run_in_workers(jobs, o.jobs, writer, batches, tally, progress);
  else run_in_process(jobs, writer, batches, tally, progress);
#else
  run_in_process(jobs, writer, batches, tally, progress);
#endif
  batches.finish();
  progress.clear();
  set_verbosity(verbosity);
  if (tally.removed + tally.changed > 0) {
    batches.before();
    writer.forget_unused_strings();
    batches.finish();
  }

  std::fprintf(stderr, "trv: %s: %zu files: %zu unchanged, %zu added, %zu changed, %zu touched, %zu removed",
               o.archive.c_str(), tally.found, tally.unchanged, tally.added, tally.changed, tally.touched,
               tally.removed);
  if (tally.not_loaded > 0) std::fprintf(stderr, "; %zu not loaded (recorded with the reason)", tally.not_loaded);
  std::fputs("\n", stderr);
  if (tally.lost > 0) {
    error(std::to_string(tally.lost) + " files not catalogued: a worker stopped; run the build again");
    return 1;
  }
  return 0;
}

}  // namespace trv::catalog
