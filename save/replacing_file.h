// The file a save writes beside its destination and renames over it, and the
// ones interrupted saves left behind. The names are decided here
// (replacing_file.cpp); the calls to the operating system live in
// replacing_file_posix.cpp and replacing_file_windows.cpp.
//
// A save's file is named "<destination's name>.<16 random hex digits>.trv-partial"
// (the name cut to 200 bytes first, so that the whole fits a folder entry).
// While a save writes it, the writing process holds it: on POSIX an flock()
// on it, on Windows the open handle, which shares nothing. One that nobody
// holds is what a save that stopped (killed, crashed, lost power) left.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kttrv::saving {

// The suffix every save's own file ends with.
inline constexpr std::string_view kPartialSuffix = ".trv-partial";

// What a name in a destination's folder is to the saves.
enum class Leftover {
  none,
  partial,  // a save's file, this version's
  older,    // "<name>.<hex>-<n>.tmp", which earlier versions wrote without holding it
};

// Of destination_name (a file name, no folder), or of any destination when
// null (any ".trv" destination for the earlier versions' names).
Leftover leftover_kind(std::string_view name, const std::string* destination_name);

// A new name for a save's file of destination_name.
std::string partial_name(const std::string& destination_name);

// A name as UTF-8 and back (on POSIX the bytes as they are).
std::string name_of(const std::filesystem::path& p);
std::filesystem::path path_of(const std::string& utf8);

// Removes what interrupted saves left in folder: of destination_name, or of
// every destination when null. A file some process still holds is kept;
// earlier versions' files are removed only once unchanged for an hour.
// The number removed.
std::size_t remove_leftovers(const std::filesystem::path& folder, const std::string* destination_name);

// The file a path leads to: each symbolic link followed (a relative one from
// its own folder) until a name that is no link, which may not exist yet.
// links receives the links passed. False and problem set on a loop or a
// link that cannot be read.
bool follow_links(const std::filesystem::path& given, std::filesystem::path& target,
                  std::vector<std::filesystem::path>& links, std::string& problem);

// What a save found at its destination (links followed).
struct Found {
  bool exists = false;
  bool regular = false;
  bool directory = false;
  long other_links = 0;  // names of the same file besides this one
};

// The file a save writes. open() creates it beside `target` with access for
// its owner only, gives it the owner, group and permissions of the file it
// replaces (never more access than that file grants), and holds it;
// commit() syncs it and renames it over target. A file neither committed
// nor already gone is removed when the object goes.
//
// A batch commits in steps instead (save/commit_group.h): finish(false)
// once written (the disk starts writing it, nobody waits), then, for many
// files together, sync_data(), rename_over() and sync_folder(). The file
// stays held until the object goes, so no other save's clean-up removes it
// meanwhile.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Looks at the destination `given` (a symbolic link is followed to the
  // file it leads to, which becomes the target): what is there, whether it
  // may be replaced. False and problem set when it may not.
  bool inspect(const std::filesystem::path& given, Found& found, std::string& problem);
  const std::filesystem::path& target() const { return target_; }
  // False and problem set when no file could be created. With clean, what
  // interrupted saves of target left goes first.
  bool open(bool clean, std::string& problem);
  std::FILE* file() const { return file_; }
  // What open() removed that interrupted saves of target had left.
  std::size_t removed() const { return removed_; }
  // Flushes, syncs, closes and renames. False and problem set on failure,
  // after which the file is removed and target keeps what it held.
  bool commit(std::string& problem);

  // The steps of commit(). Each: false and problem set on failure, after
  // which the file is removed and target keeps what it held.
  // Hands what was written to the system (synced too with sync); file()
  // is then gone.
  bool finish(bool sync, std::string& problem);
  // Waits until the system wrote the data out (not yet until the disk
  // keeps it, nor its size and place); a no-op where it cannot be asked.
  // Done for many files before sync_data() of any, their syncs then share
  // one journal commit.
  void write_out();
  // Writes the data of every file of its file system to the disk, with one
  // journal commit for them all; false where the system cannot (then
  // write_out() and sync_data() of each).
  bool sync_file_system();
  // Waits until the data is on the disk.
  bool sync_data(std::string& problem);
  // Gives it its name: target's, replacing what was there.
  bool rename_over(std::string& problem);
  // The folder's names on the disk too, where the system allows; which
  // folder it is (files of one folder share it; 0, 0 where unknown).
  void sync_folder();
  std::pair<unsigned long long, unsigned long long> folder_id() const;

 private:
  void abandon();

  std::filesystem::path target_;
  std::filesystem::path folder_;
  std::string target_name_;
  std::string name_;  // of the save's file, in folder_
  std::FILE* file_ = nullptr;
  bool replaces_ = false;  // target exists
  std::size_t removed_ = 0;
#if !defined(_WIN32)
  int folder_fd_ = -1;
  int hold_fd_ = -1;  // keeps the flock while file_ is closed and renamed
  unsigned old_mode_ = 0;
  unsigned old_uid_ = 0;
  unsigned old_gid_ = 0;
#endif
};

}  // namespace kttrv::saving
