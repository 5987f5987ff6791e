// The system-variable section: a fixed 1803-byte run of values, the same for
// every drawing, in the order and widths of the variable list.
#pragma once

#include "save/torv_writer.h"

inline constexpr int kSysVarSectionSize = 1803;

void write_sysvar_section(TorvWriter& w);
