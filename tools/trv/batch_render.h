// trv render over many files: IN... -o DIR, a picture for each drawing,
// with the batch machinery trv save -o DIR uses (batch_run.h).
#pragma once

#include <string>
#include <vector>

#include "tools/trv/render_picture.h"

namespace trv {

struct RenderBatchRequest {
  std::vector<std::string> files;  // drawings and folders (walked for .trv files); "-": standard input
  std::string from;                // a list of inputs ("-": standard input)
  bool nul_separated = false;      // the list's paths end in NUL
  std::string out_dir;
  int jobs = 1;
  RenderRequest picture;           // format, encoding and drawing options of every picture
};

// Whether trv render's arguments ask for a folder of pictures: several
// inputs, a folder among them, a list, or an output that is a folder.
bool is_render_batch(const std::vector<std::string>& files, const std::string& out, const std::string& from);

// A picture of each input under out_dir, named as its input with the
// format's extension (folders kept); one line per input not drawn, the
// summary; 0 only when every picture was drawn.
int run_render_batch(const RenderBatchRequest& request);

}  // namespace trv
