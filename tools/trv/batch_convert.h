// trv save over many files: IN... -o DIR, one after another or in worker
// processes (the plug-in keeps global state, so processes, not threads).
#pragma once

#include <string>
#include <vector>

namespace trv {

struct SaveRequest {
  std::vector<std::string> files;  // IN OUT, or the inputs when out_dir is set
  std::string out_dir;
  int jobs = 1;
  int mode = -1;
  std::string sysvar_list;
  bool allow_loss = false;  // save even what the file cannot hold, naming it
};

// Converts every input; "-" reads standard input (and, as OUT, writes
// standard output). Prints one line per failure with its reason and, for more
// than one input, a summary; 0 only when every file was converted.
int run_save_request(const SaveRequest& request);

}  // namespace trv
