// The sections that carry the drawing itself besides layers and text
// styles: dimension styles, block definitions and the model space.
#pragma once

#include "kernel/zirida.h"
#include "save/save_report.h"
#include "save/torv_writer.h"

// A uint32 count, then per style a 216-byte record, its name and second
// name: the fields the loader turns back into the held arrays.
void write_dim_style_table(TorvWriter& w, const KT_Drawing& drawing, SaveReport& report);

// A uint32 count, then per block its flags word, base point, name and
// entity stream, in the drawing's order.
void write_block_section(TorvWriter& w, const KT_Drawing& drawing, SaveReport& report);

// The layers and text styles the tables carry, and what of them the file
// cannot hold (colours without palette number, values without a field).
void note_table_losses(const TorvWriter& w, const KT_Drawing& drawing, SaveReport& report);
