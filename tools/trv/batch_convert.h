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
  bool allow_loss = false;    // save even what the file cannot hold, naming it
  bool recursive = false;     // folders among the inputs are walked for drawings
  std::string from;           // a list of inputs ("-": standard input)
  bool nul_separated = false; // the list's paths end in NUL
  bool overwrite = false;     // an output that exists is replaced
  bool skip_existing = false; // an output that exists and loads whole is kept, its input skipped
  bool in_place = false;      // an output may be its own input (replaced atomically)
  bool allow_damage = false;  // convert what loaded of an input whose load was not complete
  std::string report;         // one JSON line per input into this file
};

// Converts every input; "-" reads standard input (and, as OUT, writes
// standard output). Prints one line per input not converted with its
// reason and, for more than one input, a summary; 0 only when every input
// was converted (or skipped as already converted).
int run_save_request(const SaveRequest& request);

}  // namespace trv
