// Counting the kernel's collections: the library walks them, as the kernel
// keeps no counts of its own.
#pragma once

#include "kernel/zirida.h"

long count_collection(const KT_Collection& collection);

// The numbers of blocks, layers, text styles and line types a drawing held
// before a load read any table; handed unchanged to every entity stream.
struct BaseCounts {
  int blocks = 0;
  int layers = 0;
  int text_styles = 0;
  int line_types = 0;
};

BaseCounts take_base_counts(const KT_Drawing& drawing);
