// The JSON of `trv dump` (schema in docs/DUMP.md), written while walking the
// drawing.
#pragma once

#include <string>

#include "kernel/kt_carried.h"
#include "kernel/zirida.h"
#include "view/json_writer.h"

namespace kttrv::view {

// What the dump says of the file before the drawing.
struct DumpHeader {
  std::string version;  // the version text the file starts with, as UTF-8
  int generation = -1;  // the generation the loader recognised; -1 for none (null)
};

// What a load carried beside the drawing, for the dump to show: each
// drawable's stored record (its colour and line type numbers, xdata,
// attributes) and, unless `passed_records` is false, the records that made
// nothing at their place in their list.
struct DumpCarried {
  const KT_Carried* carried = nullptr;  // null: the drawing alone
  bool passed_records = true;
};

// The drawing as one JSON object, each collection element on a line of its own.
void write_dump(const KT_Drawing& drawing, const DumpHeader& header, JsonOut& out, const DumpCarried& carried = {});

}  // namespace kttrv::view
