#include "entities/entity_kinds.h"
void read_insert_record(EntityContext&) {}
