// The JSON of `trv dump` (schema in docs/DUMP.md), written while walking the
// drawing.
#pragma once

#include "kernel/zirida.h"
#include "tools/trv/json_out.h"

namespace trv {

// The drawing as one JSON object, each collection element on a line of its own.
void write_dump(const KT_Drawing& drawing, JsonOut& out);

}  // namespace trv
