#include "load/table_readers.h"

void read_dim_style_table(tagFile* /*f*/, int32_t /*position*/) {}
