// The trv commands; each returns the process exit status.
#pragma once

#include <string>

namespace trv {

int run_trace(const std::string& path, int mode, const std::string& sysvar_list);
int run_info(const std::string& path);
int run_dump(const std::string& path, int mode, const std::string& sysvar_list);
// Writes an empty drawing to out.
int run_new(const std::string& out);
// Loads in into a new drawing and writes it to out.
int run_save(const std::string& in, const std::string& out, int mode, const std::string& sysvar_list,
             bool allow_loss);

}  // namespace trv
