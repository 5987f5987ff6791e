#include "entities/entity_kinds.h"

void read_text_record(EntityContext&) {}
void read_named_record(EntityContext&) {}
void read_four_string_text(EntityContext&) {}
