// The dump built as a whole document first: kept only to check the streamed
// dump against it.
#pragma once

#include <nlohmann/json.hpp>

#include "kernel/zirida.h"

namespace trv {

nlohmann::json dump_drawing(const KT_Drawing& d);

}  // namespace trv
