#include "entities/entity_kinds.h"

void read_point_record(EntityContext&) {}
void read_line_record(EntityContext&) {}
void read_circle_record(EntityContext&) {}
void read_arc_record(EntityContext&) {}
void read_corner_record(EntityContext&) {}
void read_solid_record(EntityContext&) {}
