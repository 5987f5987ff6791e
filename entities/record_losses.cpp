// What a record's property block holds that the drawable does not keep, and
// records that created nothing: noted once the record was read whole, while
// a ledger notes. The payload's own fields are each reader's to note.
#include "entities/entity_kinds.h"
#include "format/color_palette.h"

namespace {

void note_colour(EntityContext& c) {
  const int16_t color = c.props.color;
  // The writer stores the colour value the kernel gave, as the lowest number
  // of its palette value: what the layer or block gave is fixed then.
  if (color == -1) c.lose(Loss::by_layer_colour);
  else if (color == 0) c.lose(Loss::by_block_colour);
  else if (!is_lowest_colour_number(color)) c.lose(Loss::colour_number);
}

}  // namespace

void note_record_losses(EntityContext& c, int16_t kind, bool created) {
  if (!created) {
    c.lose(kind == 11 && !c.model_space ? Loss::block_text : Loss::passed_record);
    return;
  }
  const EntityProps& p = c.props;
  if (c.props_kept) note_colour(c);
  else if (p.layer != 0 || p.color != -1) c.lose(Loss::polyline_props);
  if ((p.flags & 0x0002) != 0 && p.linetype != -1) c.lose(Loss::line_type_number);
  if (p.values[0] != 0 || p.values[1] != 0 || holds_value(p.reals[0]) || holds_value(p.reals[1]) || p.value16 != 0 ||
      p.tail_values())
    c.lose(Loss::property_value);
  if (holds_value(p.extrusion[0]) || holds_value(p.extrusion[1]) || holds_value(p.extrusion[2]))
    c.lose(Loss::extrusion);
  if (p.xdata_items() != 0) {
    c.lose(Loss::xdata_list);
    c.lose(Loss::xdata_item, p.xdata_items());
  }
  if (p.blobs() != 0) c.lose(Loss::blob_list);
}
