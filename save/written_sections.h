// The bytes the writer writes where the loader reads nothing of its own (the
// system variables, the unread tables, the header's rest, the closing
// dictionaries), for a load to hold a file's bytes against: what differs
// is what a save would not give back.
#pragma once

#include <string>

#include "format/torv_header.h"
#include "kernel/zirida.h"

// The system-variable section: 1803 bytes, the same for every drawing.
const std::string& written_sysvar_section();
// Bytes 88 to 336 of the header (the loader reads the first 88).
std::string written_header_rest();
// The section of an unread table slot (viewports, line types, views, UCS,
// block table, application ids) as a save of the drawing writes it.
std::string written_unread_table(TorvSlot slot, const KT_Drawing& drawing);
// What follows the entity section: the two closing dictionaries.
const std::string& written_closing();
