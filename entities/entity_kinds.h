// The payload readers of the entity kinds. Each consumes exactly its own
// record behind the kind code and property block, creates what its kind
// creates, and creates nothing when the end of the data cuts the record short
// (the reader's sticky error then ends the stream).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "entities/entity_props.h"
#include "format/record_reader.h"

// What one stream's readers share; set up once per stream.
struct EntityContext {
  EntityContext(RecordReader reader, int block_index) : r(reader), model_space(block_index == -1) {}
  RecordReader r;
  EntityProps props;       // the current record's
  bool model_space;
  std::string scratch[4];  // zero-terminated copies of a record's strings, reused
  std::vector<double> points;  // kind 28's x, y pairs, reused across records
  // Kind 13's vertices as read (x, y, and whether the filter keeps them),
  // held until the whole record is known to be there; reused across records.
  struct PolylineVertex {
    double x;
    double y;
    bool kept;
  };
  std::vector<PolylineVertex> vertices;

  // A counted string as a zero-terminated copy in scratch[slot]; the copy is
  // kept only as long as the record needs it.
  const char* string(int slot) {
    std::string_view s = r.counted_view();
    scratch[slot].assign(s.data(), s.size());
    return scratch[slot].c_str();
  }
};

void read_point_record(EntityContext& c);        // kind 1
void read_line_record(EntityContext& c);         // kind 2
void read_circle_record(EntityContext& c);       // kind 3
void read_arc_record(EntityContext& c);          // kind 4
void read_corner_record(EntityContext& c);       // kind 5
void read_solid_record(EntityContext& c);        // kind 6
void read_text_record(EntityContext& c);         // kind 7
void read_named_record(EntityContext& c);        // kind 8
void read_four_string_text(EntityContext& c);    // kind 11
void read_polyline_record(EntityContext& c);     // kind 13
void read_vertex_chain_record(EntityContext& c); // kind 28
void read_insert_record(EntityContext& c);       // kind 23
void read_dimension_record(EntityContext& c);    // kind 18
void read_skipped_record(EntityContext& c, int16_t kind);  // 17, 26, 29, 43, 45, 100
