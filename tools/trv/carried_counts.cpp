#include "tools/trv/carried_counts.h"

#include "format/stored_props.h"
#include "view/stored_entity.h"

namespace trv {

void CarriedCounter::stored(const kttrv::StoredRecord& r) {
  if (r.kind != kttrv::StoredKind::entity) return;
  if (r.object == nullptr) {
    ++counts.passed_records;
    return;
  }
  // Only an insert's record holds attributes, only one with flag bit 7
  // xdata: the others need no reading.
  if ((stored_props_fields(r.bytes).flags & 0x0080) == 0 && r.entity_kind != kttrv::view::kInsertKind) return;
  const kttrv::view::StoredCounts c = kttrv::view::count_stored_items(r.bytes);
  counts.attributes += c.attributes;
  counts.xdata_items += c.xdata_items;
}

}  // namespace trv
