// The trv commands; each returns the process exit status.
#pragma once

#include <string>

namespace trv {

int run_trace(const std::string& path, int mode, const std::string& sysvar_list);
int run_info(const std::string& path);
int run_dump(const std::string& path, int mode, const std::string& sysvar_list);

}  // namespace trv
