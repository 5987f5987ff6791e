// The JSON of `trv dump` (schema in docs/DUMP.md), written while walking the
// drawing.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kernel/kt_carried.h"
#include "kernel/zirida.h"
#include "view/json_writer.h"

namespace kttrv::view {

// What the dump says of the file before the drawing.
struct DumpHeader {
  DumpHeader() = default;
  DumpHeader(std::string version_text, int file_generation)
      : version(std::move(version_text)), generation(file_generation) {}

  std::string version;  // the version text the file starts with, as UTF-8
  int generation = -1;  // the generation the loader recognised; -1 for none (null)
  bool complete = true;               // whether the load read the whole file
  std::vector<std::string> damage;    // one line per section that stopped early
};

// What a load carried beside the drawing, for the dump to show: each
// drawable's stored record (its colour and line type numbers, xdata,
// attributes) and, unless `passed_records` is false, the records that made
// nothing at their place in their list.
struct DumpCarried {
  const KT_Carried* carried = nullptr;  // null: the drawing alone
  bool passed_records = true;
};

// The drawing as one JSON object, each collection element on a line of its
// own. Strings are read in out's encoding (JsonOut::set_encoding).
void write_dump(const KT_Drawing& drawing, const DumpHeader& header, JsonOut& out, const DumpCarried& carried = {});

// The same as one JSON object a line, each naming where it stands in the
// whole dump ("in"): the file's own members first, then each table entry,
// each block followed by its drawables ("block": its id), the model space's
// drawables last. Each object, less its "in" and "block", is the one the
// whole dump holds (a block without its "entities").
void write_dump_lines(const KT_Drawing& drawing, const DumpHeader& header, JsonOut& out,
                      const DumpCarried& carried = {});

}  // namespace kttrv::view
