// The readers of the layer, text style and dimension style tables. Each
// creates its objects through the kernel, in file order, and ends its table
// at the first record the data cannot hold.
#pragma once

#include <cstdint>

#include "format/tag_file.h"

int read_layer_table(tagFile* f, int32_t position);
int read_text_style_table(tagFile* f, int32_t position);
// 1 when the table was read to its end, 0 otherwise (an absent table too).
int read_dim_style_table(tagFile* f, int32_t position);
