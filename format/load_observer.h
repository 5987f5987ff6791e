// The second channel from the readers to their host, beside the kernel
// calls: every stored run of bytes the load reads (a record, a section, the
// bytes between sections) with its place and the kernel object it became.
// A host that keeps them can write the file back as it was. Nothing is
// reported, and nothing costs, while no observer listens.
#pragma once

#include <cstddef>
#include <climits>
#include <cstdint>
#include <span>

namespace kttrv {

enum class StoredKind : uint8_t {
  header,            // the header up to the first section, its directory included
  section,           // a whole section no reader reads (`slot` says which)
  section_tail,      // what lies behind a read section's last record, up to the next section
  system_variables,  // the system-variable section, whole
  layer,             // one layer record with its name
  text_style,        // one text style record with its strings
  dim_style,         // one dimension style record with its strings
  block,             // a block definition's head: flags, fields, name and texts (not its entities)
  entity,            // one entity record: kind, property block, payload, attribute run
  closing,           // what follows the model space's last record, up to the next section or the end
  legacy_layer,      // a legacy file's layer record; `converted` is it as a current layer record
  legacy_block,      // a legacy file's block record; `converted` is the head of the block made
                     // for it (its name and base the kernel's, its text the record's)
};

struct StoredRecord {
  StoredKind kind = StoredKind::entity;
  const char* section = "";  // as diagnostics name it: "layers", "entities", ...
  int slot = 0;              // the directory slot (40 to 84) of the section it lies in; 0: none
  int32_t offset = 0;        // its first byte in the file
  std::span<const unsigned char> bytes;  // valid during the call (see room_for_file)
  uint32_t index = 0;        // its number in its run (records), 0 otherwise
  int block_index = -1;      // entity records: the block whose stream holds it; -1: the model space
  // The kernel object made from it (KT_Drawable, KT_Layer, KT_Text_Style,
  // KT_Block); null when it made none or the reader cannot tell (dimension
  // styles, whose creation call gives nothing back: the host knows its last).
  const void* object = nullptr;
  int16_t entity_kind = 0;   // entity records: the kind code
  uint32_t payload = 0;      // entity records: where the payload starts in `bytes`
  bool mirrored = false;     // entity records: the extrusion's z is -1
  // Entity records: the colour number the property block stored (256 when
  // it stores none), as the reader took it; kNoColorNumber when the one
  // handing the record over did not read it (the host reads it from bytes).
  static constexpr int16_t kNoColorNumber = INT16_MIN;
  int16_t color_number = kNoColorNumber;
  bool complete = true;      // system variables: the walk ended exactly at the section's end
  // Legacy records: the same content in the layout a current file stores it
  // in, for a save to write; empty when it has none there.
  std::span<const unsigned char> converted;
};

class LoadObserver {
 public:
  virtual ~LoadObserver() = default;
  // Once a load knows the file: its generation (3, 6, 9, 11; -1 legacy).
  virtual void file(int generation) { (void)generation; }
  virtual void stored(const StoredRecord& record) = 0;
  // Memory for the whole file (size bytes), for a host that keeps records
  // beyond the call: the load then reads the file into it once, and the
  // bytes of every record it hands over lie in it for as long as the host
  // keeps that memory, so it need not copy them. Null (the default): the
  // file is read a window at a time, and bytes are valid during the call.
  virtual unsigned char* room_for_file(std::size_t size) {
    (void)size;
    return nullptr;
  }
  // Whether the host keeps what it is given for a later save: the load's
  // loss ledger then names only what a save cannot write back.
  virtual bool carries() const { return false; }
};

}  // namespace kttrv
