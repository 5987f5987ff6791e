// The stand-in kernel's drawables: each keeps every value it was created with.
#pragma once

// Beside it both here and installed (include/kttrv/kernel/).
#include "zirida.h"

struct KT_Point_Entity : KT_Drawable {
  Ge_Pt at;
};

struct KT_Line_Entity : KT_Drawable {
  Ge_Pt start;
  Ge_Pt end;
};

struct KT_Solid_Entity : KT_Drawable {
  Ge_Pt corners[4];
  int count = 0;
};

struct KT_Circle_Entity : KT_Drawable {
  Ge_Pt centre;
  double radius = 0.0;
};

struct KT_Arc_Entity : KT_Drawable {
  Ge_Pt centre;
  double radius = 0.0;
  double start_angle = 0.0;  // radians
  double end_angle = 0.0;
};

struct KT_Text_Entity : KT_Drawable {
  const char* text = nullptr;
  const char* style = nullptr;
  Ge_Pt at;
  double height = 0.0;
  double width_factor = 0.0;
  double rotation = 0.0;  // radians
};

struct KT_Insert_Entity : KT_Drawable {
  Ge_Pt at;
  double scale[3] = {1.0, 1.0, 1.0};
  double rotation = 0.0;  // radians
  const char* block_name = nullptr;
};

struct KT_Dimension_Entity : KT_Drawable {
  const char* strings[3] = {};
  Ge_Pt points[7];
  double reals[6] = {};
  int value = 0;
};

// Polylines and point sets: a vertex array fixed at creation.
struct KT_Vertex_Entity : KT_Drawable {
  long count = 0;
  bool closed = false;
  Ge_Pt* vertices = nullptr;
};
