// The plug-in's module-wide state (the current drawing while a load runs,
// the generation, the system-variable list, the diagnostic sink) is shared by
// every call. Each exported entry point holds this lock for its whole call,
// so calls from several threads run one after another.
#pragma once

#include <mutex>

[[nodiscard]] std::unique_lock<std::mutex> lock_entry_points();
