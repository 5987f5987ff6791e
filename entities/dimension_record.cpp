#include "entities/entity_kinds.h"
void read_dimension_record(EntityContext&) {}
