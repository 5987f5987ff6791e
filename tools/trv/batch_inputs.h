// What a batch conversion (trv save IN... -o DIR) works on: the inputs from
// the arguments, folders walked for drawings and lists of paths, each with
// its output under DIR, and the inputs refused before anything is written.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace trv {

struct BatchSources {
  std::vector<std::string> args;  // files, folders (with -r) and "-" (standard input)
  bool recursive = false;         // folders are walked for .trv files
  std::string from;               // a file listing paths, "-": standard input; empty: none
  bool nul_separated = false;     // the list's paths end in NUL, not a newline
  std::string out_dir;
  bool in_place = false;          // an output may be the input it is made from
  std::string extension = ".trv"; // of each output
  bool offers_in_place = true;    // the refusal of an output that is an input names --in-place
};

struct BatchInput {
  std::string path;
  std::string output;
  std::string refusal;  // why it is not converted; empty: it is
};

// Paths of a list: one a line (a trailing "\r" dropped, empty lines skipped),
// or NUL-separated.
std::vector<std::string> split_path_list(const std::string& text, bool nul_separated);

// Where an input goes under dir. Mirrored (with -r or --from): its path as
// given, folders and all, made relative (a root and leading ".." dropped,
// so it never leaves dir); else its name alone. Either way with the
// extension given (".trv", ".png"...).
std::string batch_output_for(const std::string& input, const std::string& dir, bool mirrored,
                             const std::string& extension = ".trv");

// Every input, in the order given (a folder's drawings sorted by path),
// each listed once however often it is named. Refused: a folder without
// -r; inputs whose outputs would be one file (each names the others); an
// output that is one of the inputs, unless in_place. False with a problem
// when a list cannot be read.
bool gather_batch_inputs(const BatchSources& sources, std::vector<BatchInput>& inputs, std::string& problem);
// The same, then the output folder made (with its parents).
bool gather_batch_inputs_into_folder(const BatchSources& sources, std::vector<BatchInput>& inputs,
                                     std::string& problem);

}  // namespace trv
