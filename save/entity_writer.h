// Entity streams: a uint32 record count, then one record per drawable, each
// of the kind and with the field values that the loader turns back into the
// same drawable (no mirroring, angles stored as the degrees that give back
// the held radians, colours as palette numbers, layers by number).
#pragma once

#include "kernel/zirida.h"
#include "save/save_report.h"
#include "save/torv_writer.h"

// Writes the stream of `list`; a block's stream when model_space is false.
// Drawables the loader could not create there are left out; they and every
// value the file cannot carry are counted in report.
// block: the block whose list it is; null for the model space.
void write_entity_stream(TorvWriter& w, const KT_Entity_List& list, const KT_Block* block, SaveReport& report);
