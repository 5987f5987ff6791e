#include "kernel/collections.h"

long count_collection(const KT_Collection& collection) {
  long n = 0;
  for (const KT_Object* o = collection.first; o != nullptr; o = o->next) ++n;
  return n;
}

BaseCounts take_base_counts(const KT_Drawing& drawing) {
  return {static_cast<int>(count_collection(drawing.blocks)),
          static_cast<int>(count_collection(drawing.layers)),
          static_cast<int>(count_collection(drawing.text_styles)),
          static_cast<int>(count_collection(drawing.line_types))};
}
