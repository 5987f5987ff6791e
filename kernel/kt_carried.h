// What a host keeps of a loaded file beside its drawing, for the writer to
// put back: each record's stored bytes with the object it became, the
// records that made nothing at their place in their stream, and the
// sections no reader reads. A host that keeps nothing gives the writer no
// KT_Carried, and the writer writes the drawing alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Beside it both here and installed (include/kttrv/kernel/).
#include "zirida.h"

struct KT_Stored {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  // The object's digest (KT_Carried::digest) when the load had made it; a
  // save writes the bytes as they stand while the object still has it.
  uint64_t digest = 0;
  // Entity records: the drawable the record followed in its list (null: it
  // was the list's first). Records that made nothing keep their place so.
  const KT_Drawable* after = nullptr;
  // Entity records: where the payload starts (behind the kind and the
  // property block), whether the record was mirrored (extrusion z -1), and
  // the drawable's colour value and layer as the load left them.
  uint32_t payload = 0;
  bool mirrored = false;
  long color = 0;
  long layer = 0;
  std::span<const unsigned char> bytes() const { return {data, size}; }
};

// The runs of bytes the file held between and around its records.
enum class KT_Carried_Run : uint8_t {
  header,            // up to the first section: the header and what follows it
  system_variables,  // the section, whole
  viewports, line_types, views, ucs, block_table, app_ids,  // sections no reader reads
  layers_tail, text_styles_tail, dim_styles_tail, blocks_tail,  // behind a table's last record
  closing,           // behind the model space's last record
  count_,
};

class KT_Carried {
 public:
  virtual ~KT_Carried() = default;
  // The generation of the file the carried content came from (3, 6, 9 or
  // 11; -1 legacy, or none loaded).
  virtual int generation() const = 0;
  // Whether the system-variable section was walked to exactly its end.
  virtual bool system_variables_whole() const = 0;
  // The record a drawable, or a layer, text style, dimension style or
  // block, was read from; null when it was not read from a file.
  virtual const KT_Stored* stored(const KT_Drawable& drawable) const = 0;
  virtual const KT_Stored* stored(const KT_Object& object) const = 0;
  // The entity records of a list (block null: the model space) that made
  // nothing, in file order, each with the drawable it followed.
  virtual std::span<const KT_Stored> passed(const KT_Block* block) const = 0;
  // Layer records the file held that made no kernel layer (a legacy file's,
  // in the layout of a current layer record), for the layer table.
  virtual std::span<const KT_Stored> extra_layers() const = 0;
  // A digest of what the kernel holds of an object (its values, strings and
  // vertices), the same the carrier took when the load made it.
  virtual uint64_t digest(const KT_Drawable& drawable) const = 0;
  virtual uint64_t digest(const KT_Layer& layer) const = 0;
  virtual uint64_t digest(const KT_Text_Style& style) const = 0;
  virtual uint64_t digest(const KT_Dim_Style& style) const = 0;
  virtual uint64_t digest(const KT_Block& block) const = 0;
  // A run; null when the file had none.
  virtual const KT_Stored* run(KT_Carried_Run which) const = 0;
};
