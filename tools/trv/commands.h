// The trv commands; each returns the process exit status.
#pragma once

#include <string>
#include <vector>

#include "view/render_options.h"

namespace trv {

int run_trace(const std::string& path, int mode, const std::string& sysvar_list);
// What each file's loaded drawing holds (text or JSON lines), or with
// directory its header and section directory.
int run_info(const std::vector<std::string>& paths, bool as_json, bool directory);
int run_directory(const std::string& path);
// Whether each file loads whole.
int run_check(const std::vector<std::string>& paths);
int run_dump(const std::string& path, int mode, const std::string& sysvar_list);
// Writes an empty drawing to out.
int run_new(const std::string& out);
// Loads in into a new drawing and writes it to out.
int run_save(const std::string& in, const std::string& out, int mode, const std::string& sysvar_list,
             bool allow_loss);
// Draws the model space of path to out (SVG, PNG or PDF by its extension).
int run_render(const std::string& path, const std::string& out, const kttrv::view::RenderOptions& options);

}  // namespace trv
