#include "format/load_stats.h"

namespace {
LoadStats* g_stats = nullptr;
}  // namespace

void set_load_stats(LoadStats* stats) { g_stats = stats; }
LoadStats* load_stats() { return g_stats; }
