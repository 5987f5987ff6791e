// The payload readers of the entity kinds. Each consumes exactly its own
// record behind the kind code and property block, creates what its kind
// creates, and creates nothing when the end of the data cuts the record short
// (the reader's sticky error then ends the stream).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "entities/entity_props.h"
#include "format/load_context.h"
#include "format/loss_ledger.h"
#include "kernel/zirida.h"
#include "format/record_reader.h"

// What one stream's readers share; set up once per stream.
struct EntityContext {
  EntityContext(RecordReader reader, int block, const KT_Drawing* into)
      : r(reader), model_space(block == -1), block_index(block), drawing(into),
        ledger(load_context(reader.file()).ledger), observer(load_context(reader.file()).observer) {
    if (ledger != nullptr && !model_space) section = "entities of block " + std::to_string(block_index);
  }
  RecordReader r;
  EntityProps props;       // the current record's
  bool model_space;
  int block_index;            // -1: the model space
  const KT_Drawing* drawing;  // where the kernel creates; null when not known

  // Where the readers note what they read and drop; null (the common case)
  // notes nothing, and the readers test it before they look.
  LossLedger* ledger;
  kttrv::LoadObserver* observer;  // hears of every record read whole
  std::string section = "entities";
  uint64_t record = 0;     // the current record's number and first byte, kept while a ledger notes
  int32_t record_at = 0;
  bool props_kept = true;  // false: the record's drawable never receives its colour and layer
  void lose(Loss what, uint64_t n = 1) { ledger->note(what, section.c_str(), record, record_at, n); }

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

// What a record read whole left unkept (created: whether it made a
// drawable); only while c.ledger notes.
void note_record_losses(EntityContext& c, int16_t kind, bool created);

// Whether a double is anything but +0.0 (a field holding what the writer
// writes in its place is no loss).
inline bool holds_value(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits != 0;
}
inline bool same_value(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
