#include "load/table_readers.h"

int read_layer_table(tagFile* /*f*/, int32_t /*position*/) { return 1; }
