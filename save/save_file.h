// Saving a drawing to a file so that a failure never costs the old file:
// the drawing is written beside the destination under a new name that
// cannot be guessed, with no more access than the old file grants, synced,
// and renamed over the destination only when every write succeeded. On
// failure that file is removed and the destination keeps its old content;
// what an interrupted save left beside the destination the next save removes
// (docs/WRITER.md, "Saving to a file").
#pragma once

#include <cstddef>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "kernel/kt_carried.h"
#include "kernel/zirida.h"
#include "save/save_report.h"

namespace kttrv {
class CommitGroup;
}

struct SaveOptions {
  // False: a drawing with anything the file cannot carry is not saved (the
  // destination is left as it was) and report names what would be lost.
  bool allow_loss = true;
  // What the loads of the drawing read and did not keep; the report counts
  // it with the writer's own losses. Null: nothing is known of the loads.
  const LossLedger* file_losses = nullptr;
  // What the host carried of the drawing's file (kernel/kt_carried.h): its
  // records go back as stored, beside the drawing's values. Null: none.
  const KT_Carried* carried = nullptr;
  // False: the save leaves what interrupted saves of the destination left
  // (whoever sets it removed those of the whole folder already: a batch into
  // one folder would otherwise read the folder once per file).
  bool remove_leftovers = true;
  // Set: the file is written and handed to this group unsynced, under
  // group_tag; the save's result then says only that it was written, and
  // the group's commit() whether it replaced the destination (a batch:
  // many files made durable with one wait). Null: synced and renamed now.
  kttrv::CommitGroup* group = nullptr;
  std::size_t group_tag = 0;
};

// True only after a complete write and rename. report receives the counts
// written, the losses, and on failure the reason (report.error), and says
// what the save removed of interrupted saves before it. A symbolic link is
// kept and the file it leads to replaced; a file with other hard links is
// replaced under this name only (the others keep the old content); a file
// that is read-only is not replaced.
// A destination that exists but is no regular file (a device, a pipe) is
// written in place: it cannot be replaced by a rename. A process that sets
// a file-size limit should ignore SIGXFSZ, so that exceeding the limit is a
// failed write instead of the end of the process.
bool save_drawing_file(const KT_Drawing& drawing, const char* path, const SaveOptions& options, SaveReport& report);

namespace kttrv {

struct SaveResult : SaveReport {
  bool saved = false;  // the destination holds the whole drawing
};

// Removes the files that interrupted saves of path left beside it (those no
// running save holds); the number removed.
std::size_t remove_save_leftovers(const std::string& path);
// The same for every destination in folder.
std::size_t remove_save_leftovers_in(const std::string& folder);

// save_drawing_file as a value: the counts, the losses, and why it failed.
SaveResult save_drawing(const KT_Drawing& drawing, const std::string& path, const SaveOptions& options = {});
// The whole file into out (which it replaces), or nothing when a loss is
// refused.
SaveResult save_drawing(const KT_Drawing& drawing, std::vector<unsigned char>& out, const SaveOptions& options = {});
// Into a stream (standard output, a pipe, a socket): the file is made in
// memory, then written in one go; no temporary file is made.
SaveResult save_drawing(const KT_Drawing& drawing, std::ostream& out, const SaveOptions& options = {});

}  // namespace kttrv
