// What a save wrote, what the file could not carry, and why a save failed.
#pragma once

#include <string>

// Things the loader cannot give back as they are held; each is counted once
// per object that has it.
enum class Loss : int {
  line_type,          // no loader reads a line type table
  block_description,  // the loader gives a block no description
  flat_z,             // a z the loader sets to 0 (points, lines, arcs, texts, inserts, solids, vertices)
  hidden_text,        // a text of spaces only inside a block: only the model space gets such texts
  entity_props,       // third value, layer number beyond 16 bits, colour without palette number, or
                      // colour and layer on a polyline or point set that never gets them
  unreachable_real,   // an angle or a scaled real that no stored double turns back into
  entity_shape,       // a solid of other than 4 corners, an insert's z scale other than 1, a dimension
                      // whose first and fourth points differ or whose value exceeds 16 bits, a closed point set
  missing_string,     // a string the kernel holds as null where the loader always passes one
  long_string,        // a string beyond the 32767 bytes a counted string holds
  table_entry,        // a layer colour without palette number, text style or dimension style values the
                      // file has no field for
  count_,
};

inline constexpr const char* kLossNames[] = {
    "line types",       "block descriptions", "z coordinates",      "blank texts in blocks",
    "entity properties", "unreachable reals", "entity shapes",      "absent strings",
    "overlong strings",  "table values",
};
static_assert(sizeof(kLossNames) / sizeof(kLossNames[0]) == static_cast<int>(Loss::count_));

struct SaveReport {
  long entities = 0;  // entity records written, blocks' included
  long blocks = 0;
  long layers = 0;
  long text_styles = 0;
  long dim_styles = 0;
  long losses[static_cast<int>(Loss::count_)] = {};
  std::string error;  // why the save failed; empty after success

  void lose(Loss what) { ++losses[static_cast<int>(what)]; }
  long lost(Loss what) const { return losses[static_cast<int>(what)]; }
  bool lossless() const {
    for (long n : losses)
      if (n != 0) return false;
    return true;
  }
  // "3 line types, 1 block descriptions", or empty when nothing was lost.
  std::string loss_summary() const;
};
