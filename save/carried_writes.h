// Writing back what a host carried of the file a drawing came from: a record
// goes out as it was stored while its object is as the load made it, and
// the runs of bytes between records go back to their sections.
#pragma once

#include "kernel/kt_carried.h"
#include "save/torv_writer.h"

// The stored record of an object that is still as the load made it; null
// when there is none or the object changed.
template <class T>
const KT_Stored* unchanged(const TorvWriter& w, const T& object) {
  if (w.carried == nullptr) return nullptr;
  const KT_Stored* s = w.carried->stored(object);
  return s != nullptr && s->digest == w.carried->digest(object) ? s : nullptr;
}

inline void write_stored(TorvWriter& w, const KT_Stored& s) {
  if (s.size > 0) writer_put(w, s.data, s.size);  // an empty run keeps no bytes at all
}

// Writes the carried run; false (nothing written) when there is none.
inline bool write_run(TorvWriter& w, KT_Carried_Run which) {
  const KT_Stored* s = w.carried != nullptr ? w.carried->run(which) : nullptr;
  if (s == nullptr) return false;
  write_stored(w, *s);
  return true;
}

// Whether the drawing came from a current-generation file the host carried:
// its empty tables are written empty, not with the writer's default entry.
inline bool carries_file(const TorvWriter& w) { return w.carried != nullptr && w.carried->generation() >= 0; }

// Whether the file's text style records have the layout the writer writes.
inline bool carries_text_styles(const TorvWriter& w) { return w.carried != nullptr && w.carried->generation() == 11; }
