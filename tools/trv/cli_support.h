// Shared pieces of the trv commands.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kernel/zirida.h"
#include "load/drawing_file.h"
#include "load/load.h"
#include "view/text_encoding.h"
#include "view/utf8.h"

namespace CLI {
class App;
}  // namespace CLI

namespace trv {

// --mode and --sysvar-list, as the commands that load one file take them.
void add_load_options(CLI::App& command, int& mode, std::string& sysvar_list);


// --encoding: how the drawing's text bytes are read (default latin1).
void add_encoding_option(CLI::App& command, std::string& encoding);
// The encoding of that name; a usage error (CLI::ValidationError, exit 2)
// when it is unknown.
std::unique_ptr<kttrv::view::TextEncoding> open_encoding(const std::string& name);

// Standard input, whole, read at its first use and kept in memory (a
// command naming "-" twice loads the same bytes twice; no temporary file is
// made); null when it cannot be read.
const std::vector<unsigned char>* standard_input();
// "cannot read standard input (<the system's reason>)", after a failed read.
std::string standard_input_failure();

// How much a command says on stderr besides its errors: quiet drops the
// warnings about damage, verbose adds the plug-in's notes (values it replaced).
enum class Verbosity { quiet, normal, verbose };

// How much the commands say on stderr.
void set_verbosity(Verbosity verbosity);
Verbosity current_verbosity();

// One line per section that stopped early (a block's entity stream and its
// block section make one line).
std::vector<std::string> damage_lines(const kttrv::LoadResult& result);

// "trv: warning: <path>: <line>" for each line, unless quiet.
void print_damage(const std::string& path, const std::vector<std::string>& lines);
// "trv: warning: <path>: <line>", unless quiet.
void warn(const std::string& path, const std::string& line);

// "trv: <where>: removed N files that interrupted saves left", unless quiet
// or none was removed.
void note_leftovers(const std::string& where, std::size_t removed);

// Standard output and error carry bytes as written: on Windows "\n" would
// otherwise become "\r\n".
void use_binary_output();

// line and a newline in one write (after what the stream holds), so that
// the lines of processes sharing the stream stay whole; false when it
// cannot be written.
bool write_line(std::FILE* stream, std::string line);

// Whether standard error is a terminal (progress lines are drawn there only).
bool stderr_is_terminal();

// A batch's progress line on standard error, "[done/total] detail", drawn
// over itself, and only when standard error is a terminal.
class ProgressLine {
 public:
  explicit ProgressLine(std::size_t total) : total_(total), shown_(stderr_is_terminal() && total > 0) {}
  void show(std::size_t done, const std::string& detail) const;
  void clear() const;

 private:
  std::size_t total_;
  bool shown_;
};

// "trv: <message>" on stderr.
void error(const std::string& message);

// A drawing file opened and read as the load reads it (load/drawing_file.h):
// the whole file, or only its header when that names no version the loader
// reads. Null after a one-line error naming the file and what is wrong.
std::unique_ptr<DrawingFile> read_input(const std::string& path);

// The system-variable list of a --sysvars option: nothing when path is
// empty (the loads use the installed list); false after a one-line error
// when it cannot be read.
bool read_sysvar_option(const std::string& path, std::optional<SysVarList>& list);

struct LoadRequest {
  int mode = -1;
  const SysVarList* sysvar_list = nullptr;  // null: the installed list
  bool count_records = false;
  bool note_losses = false;
  bool quiet_error = false;  // the caller reports the failure its own way
  bool carry = true;         // keep what the file holds beside the kernel's drawing
  // Given: the records go to it instead (carry is then not looked at).
  kttrv::LoadObserver* observer = nullptr;
};

// Loads path ("-": standard input) into drawing: prints the notes (with -v), then the damage
// warnings when it loaded, or a one-line error naming the file when it did
// not (unless quiet_error).
kttrv::LoadResult load_drawing(const std::string& path, KT_Drawing& drawing, const LoadRequest& request = {});
// The same from any source, named `name` in what it prints.
kttrv::LoadResult load_drawing(const std::string& name, const kttrv::LoadSource& source, KT_Drawing& drawing,
                               const LoadRequest& request);

// "<path>: <why it did not load>".
std::string load_failure(const std::string& path, const kttrv::LoadResult& result);

// Bytes as the characters of the same numbers, encoded as UTF-8.
using kttrv::view::bytes_to_utf8;

}  // namespace trv
