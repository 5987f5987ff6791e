// Saves made durable together, for a batch of files: each save writes its
// file beside its destination and hands it here unsynced (the disk starts
// writing it meanwhile); commit() then waits for the data of them all,
// renames each over its destination, and syncs each folder once. One wait
// for many files instead of one each, and still: a destination is renamed
// only once its data is on the disk, so a crash leaves each either as it was
// or whole. Files waiting here stay held (no other save's clean-up removes
// them); those never committed are removed when the group goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kttrv {

namespace saving {
class ReplacingFile;
}

class CommitGroup {
 public:
  // When commit() is due: this many files or bytes waiting. They bound the
  // temporary files and open descriptors (two a file) a batch keeps.
  struct Limits {
    std::size_t files = 64;
    std::uintmax_t bytes = std::uintmax_t{64} << 20;
  };

  CommitGroup();
  explicit CommitGroup(Limits limits);
  ~CommitGroup();
  CommitGroup(const CommitGroup&) = delete;
  CommitGroup& operator=(const CommitGroup&) = delete;

  std::size_t waiting() const;
  bool due() const;

  // A save's outcome once committed: the tag it was given and, when it
  // failed, why (its destination then keeps what it held).
  struct Committed {
    std::size_t tag = 0;
    bool saved = false;
    std::string error;
  };
  // Every file waiting, each in the order handed.
  std::vector<Committed> commit();
  // The oldest n waiting (all when fewer): the newer ones go on being
  // written by the disk while the next files are made.
  std::vector<Committed> commit_oldest(std::size_t n);

  // For the save (save_file.cpp): a written, finished file.
  void add(std::unique_ptr<saving::ReplacingFile> file, std::size_t tag, std::uintmax_t bytes);

 private:
  struct Waiting;
  Limits limits_;
  std::vector<Waiting> waiting_;
  std::vector<std::uintmax_t> sizes_;  // of each waiting
  std::uintmax_t bytes_ = 0;
};

}  // namespace kttrv
