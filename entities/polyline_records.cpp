#include "entities/entity_kinds.h"

void read_polyline_record(EntityContext&) {}
void read_vertex_chain_record(EntityContext&) {}
