// A 64-bit digest of what the kernel holds of an object: its values, its
// strings and its vertices. A host takes it when a load made the object; a
// save that finds the same digest knows the object is as the file gave it.
#pragma once

#include <cstdint>

#include "kernel/zirida.h"

uint64_t kt_digest(const KT_Drawable& drawable);
uint64_t kt_digest(const KT_Layer& layer);
uint64_t kt_digest(const KT_Text_Style& style);
uint64_t kt_digest(const KT_Dim_Style& style);
uint64_t kt_digest(const KT_Block& block);
