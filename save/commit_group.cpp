#include "save/commit_group.h"

#include <algorithm>
#include <set>
#include <utility>

#include "save/replacing_file.h"

namespace kttrv {

struct CommitGroup::Waiting {
  std::unique_ptr<saving::ReplacingFile> file;
  std::size_t tag = 0;
};

CommitGroup::CommitGroup() = default;
CommitGroup::CommitGroup(Limits limits) : limits_(limits) {}
CommitGroup::~CommitGroup() = default;  // each file's own removal

std::size_t CommitGroup::waiting() const { return waiting_.size(); }
bool CommitGroup::due() const { return waiting_.size() >= limits_.files || bytes_ >= limits_.bytes; }

void CommitGroup::add(std::unique_ptr<saving::ReplacingFile> file, std::size_t tag, std::uintmax_t bytes) {
  waiting_.push_back({std::move(file), tag});
  sizes_.push_back(bytes);
  bytes_ += bytes;
}

std::vector<CommitGroup::Committed> CommitGroup::commit() { return commit_oldest(waiting_.size()); }

std::vector<CommitGroup::Committed> CommitGroup::commit_oldest(std::size_t n) {
  n = std::min(n, waiting_.size());
  std::vector<Committed> done(n);
  // The data of all first: one sync of each file system they are on (the
  // disk has been writing each since it was finished), where the system
  // has it; else each written out, then synced, so that their syncs find
  // one journal commit to wait for, not one each.
  std::set<unsigned long long> synced;  // file systems synced whole
  for (std::size_t i = 0; i < n; ++i) {
    const auto device = waiting_[i].file->folder_id().first;
    if (device != 0 && !synced.contains(device) && waiting_[i].file->sync_file_system()) synced.insert(device);
  }
  for (std::size_t i = 0; i < n; ++i)
    if (!synced.contains(waiting_[i].file->folder_id().first)) waiting_[i].file->write_out();
  // Each file's own sync still: after a sync of its file system it waits
  // for nothing, and it is what reports a failed write of that file.
  for (std::size_t i = 0; i < n; ++i) {
    done[i].tag = waiting_[i].tag;
    done[i].saved = waiting_[i].file->sync_data(done[i].error);
  }
  // Only then the names; then each folder's names once, after all of its
  // renames.
  for (std::size_t i = 0; i < n; ++i)
    if (done[i].saved) done[i].saved = waiting_[i].file->rename_over(done[i].error);
  std::set<std::pair<unsigned long long, unsigned long long>> folders;
  for (std::size_t i = 0; i < n; ++i) {
    if (!done[i].saved) continue;
    const auto folder = waiting_[i].file->folder_id();
    if (folder == std::pair<unsigned long long, unsigned long long>{0, 0} || folders.insert(folder).second)
      waiting_[i].file->sync_folder();
  }
  for (std::size_t i = 0; i < n; ++i) bytes_ -= sizes_[i];
  waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(n));
  sizes_.erase(sizes_.begin(), sizes_.begin() + static_cast<std::ptrdiff_t>(n));
  return done;
}

}  // namespace kttrv
