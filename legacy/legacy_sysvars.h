// The legacy system-variable table: an int16 entry count, then entries of a
// type byte and a value whose form the type byte gives. Walked to its end;
// no value is kept.
#pragma once

#include "format/tag_file.h"

// Walks the table at the stream's position. 1 when every entry was read, 0
// at the first entry of unknown type or cut short by the end of the file.
// entries (when given) receives the number of entries read whole.
int walk_legacy_sysvar_table(tagFile* f, int* entries = nullptr);
