// The trv commands. Each setup_* adds one command to app: its options, their
// help and what it runs. The command that runs leaves its exit status in
// `status`, which main returns.
#pragma once

#include <CLI/CLI.hpp>

namespace trv {

void setup_info(CLI::App& app, int& status);
void setup_check(CLI::App& app, int& status);
void setup_dump(CLI::App& app, int& status);
void setup_render(CLI::App& app, int& status);
void setup_trace(CLI::App& app, int& status);
void setup_new(CLI::App& app, int& status);
void setup_save(CLI::App& app, int& status);
void setup_catalog(CLI::App& app, int& status);

}  // namespace trv
