// What a save would not give back, by kind: what a load read and then
// dropped (filled by the readers while a ledger is installed) and what the
// writer cannot store of a kernel's drawing (save/save_report.h). A value
// counts only when the saved file would not give it back: a field holding
// what the writer writes in its place (zero, the default) is not a loss.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class Loss : uint8_t {
  // What the writer cannot store of a drawing, whoever made it.
  line_type,          // no loader reads a line type table
  block_description,  // the loader gives a block no description
  flat_z,             // a z the loader does not pass (held by a drawable, or stored in a record)
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

  // What a load read and dropped. Entity records:
  passed_record,      // a record read whole that created nothing (kinds 5, 8, 17, 26, ..., unknown kinds,
                      // texts without a visible character, polylines without vertices)
  block_text,         // a four-string text inside a block: only the model space gets those
  text_string,        // strings 1 and 3 of a four-string text
  attribute_record,   // an insert's attribute records
  attribute_string,   // the strings of those records
  xdata_list,         // a property block's xdata list...
  xdata_item,         // ... and its items
  blob_list,          // a property block's blob list
  line_type_number,   // an entity's line type number
  by_layer_colour,    // colour 256 or absent: the writer stores the colour the layer gave
  by_block_colour,    // colour 0: likewise
  colour_number,      // a colour number the writer stores as another of the same palette value
  extrusion,          // an extrusion normal other than (0, 0, 0)
  property_value,     // the property block's fields no reader passes (two words, reals, 16-bit values)
  polyline_props,     // layer and colour of a record whose drawable never gets them (kind 13, point sets)
  polyline_field,     // a polyline's header, flags, chain values and vertex extras
  vertex_value,       // a kind 13 vertex's property block, flags and values (a vertex passed over included)
  point_field,        // the point record's last real
  text_field,         // a text record's fields the kernel does not receive (the second point, ...)
  insert_field,       // an insert's z scale and the fields of mask bits 0 and 4, 6 to 9
  dimension_point,    // a dimension's point at 12 where it differs from the one passed
  // Tables and sections:
  layer_field,        // layer flag bits and bytes the layer does not keep, colour numbers it changes
  text_style_field,   // text style bytes the kernel does not receive, and the TrueType trailer
  font_name,          // a font file name the loader rewrites (folder, case, extension)
  dim_style_field,    // dimension style strings and bytes not kept, 16-bit entry 9's real
  block_string,       // a block's texts of bits 64 and 128
  block_value,        // a block's 16-bit values of bits 8 and 16, flag bits beyond 256
  system_variable,    // a system variable other than the writer's constant
  unread_section,     // a section the loader does not read (viewport, line type, view, UCS,
                      // application id, block table, closing dictionaries) holding more than the writer writes
  header_field,       // header bytes beyond the version and directory that the writer writes otherwise
  // "Torv 1.x" files:
  legacy_layer,
  legacy_line_type,
  legacy_text_style,
  legacy_block,
  legacy_entity,
  legacy_system_variable,
  legacy_header,      // the preview, the extra block, the point and the three reals
  count_,
};

inline constexpr std::size_t kLossKinds = static_cast<std::size_t>(Loss::count_);

// The plural name of each kind, as trv save and trv info print it.
const char* loss_name(Loss what);

// Where a kind of loss was first met in the file.
struct LossPlace {
  std::string section;     // "entities", "layers", ...; empty when not known
  uint64_t record = 0;     // the record's number in its section
  int64_t offset = -1;     // the byte where the record (or section) starts
};

struct LossLedger {
  uint64_t counts[kLossKinds] = {};
  LossPlace first[kLossKinds];

  uint64_t count(Loss what) const { return counts[static_cast<std::size_t>(what)]; }
  bool empty() const;
  // Counts n of a kind; the first note of a kind keeps its place.
  void note(Loss what, const char* section, uint64_t record, int64_t offset, uint64_t n = 1);
  void add(const LossLedger& other);
  // "12 attribute records, 210 by-layer colours", or empty when nothing was lost.
  std::string summary() const;
};


// What the loads into a drawing dropped, kept for a later save of it that
// has no ledger of its own (api_kt_save_trv). Keyed by the drawing's
// address; the oldest of many drawings is forgotten first.
void remember_drawing_losses(const void* drawing, const LossLedger& ledger);
// A copy of what was remembered for the drawing; empty when nothing was.
LossLedger drawing_losses(const void* drawing);
// Forgets the drawing: a load into an empty drawing starts it afresh (a new
// drawing may have the address of one that is gone).
void forget_drawing_losses(const void* drawing);
