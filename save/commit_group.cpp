#include "save/commit_group.h"

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
  bytes_ += bytes;
}

std::vector<CommitGroup::Committed> CommitGroup::commit() {
  std::vector<Committed> done(waiting_.size());
  // The data of all first: the disk has been writing it since each was
  // finished, so most of these waits find it done.
  for (std::size_t i = 0; i < waiting_.size(); ++i) {
    done[i].tag = waiting_[i].tag;
    done[i].saved = waiting_[i].file->sync_data(done[i].error);
  }
  // Only then the names; then each folder's names once, after all of its
  // renames.
  for (std::size_t i = 0; i < waiting_.size(); ++i)
    if (done[i].saved) done[i].saved = waiting_[i].file->rename_over(done[i].error);
  std::set<std::pair<unsigned long long, unsigned long long>> folders;
  for (std::size_t i = 0; i < waiting_.size(); ++i) {
    if (!done[i].saved) continue;
    const auto folder = waiting_[i].file->folder_id();
    if (folder == std::pair<unsigned long long, unsigned long long>{0, 0} || folders.insert(folder).second)
      waiting_[i].file->sync_folder();
  }
  waiting_.clear();
  bytes_ = 0;
  return done;
}

}  // namespace kttrv
