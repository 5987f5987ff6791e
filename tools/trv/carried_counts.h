// What trv info says of the content a load carries beside the drawing
// (attribute records, xdata items, records that made nothing), counted as
// the load hands the records over instead of kept with the drawing: the
// summary needs the numbers, not the bytes.
#pragma once

#include "format/load_observer.h"

namespace trv {

struct CarriedCounts {
  long attributes = 0;
  long xdata_items = 0;
  long passed_records = 0;  // entity records that made nothing
};

class CarriedCounter final : public kttrv::LoadObserver {
 public:
  void stored(const kttrv::StoredRecord& record) override;
  // The loss ledger is the one of a host that keeps the records (trv's own):
  // it names only what a save could not write back.
  bool carries() const override { return true; }

  CarriedCounts counts;
};

}  // namespace trv
