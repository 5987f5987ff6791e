#include "entities/entity_kinds.h"
void read_skipped_record(EntityContext&, int16_t) {}
