// A save writes a drawable's stored record as it stands only while the
// drawable's digest is the one its load took: every single value the kernel
// holds, changed alone, must change the digest, and an untouched drawable
// (or an equal copy of it) keeps it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/kt_digest.h"
#include "kernel/kt_drawables.h"

namespace {

struct Drawables {
  KT_Point_Entity point;
  KT_Line_Entity line;
  KT_Solid_Entity solid;
  KT_Circle_Entity circle;
  KT_Arc_Entity arc;
  KT_Text_Entity text;
  KT_Insert_Entity insert;
  KT_Dimension_Entity dimension;
  KT_Vertex_Entity polyline;
  KT_Vertex_Entity point_set;
  Ge_Pt vertices[5] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0.5, 0.5, 0}};
  char text_value[16] = "ROOM 101";
  char block_name[8] = "DOOR";

  Drawables() {
    const auto head = [](KT_Drawable& d, KT_Drawable_Kind kind) {
      d.kind = kind;
      d.color = 0x0000FF;
      d.third = 2;
      d.layer = 3;
    };
    head(point, KT_Drawable_Kind::point);
    point.at = {1, 2, 3};
    head(line, KT_Drawable_Kind::line);
    line.start = {1, 2, 3};
    line.end = {4, 5, 6};
    head(solid, KT_Drawable_Kind::solid);
    for (int i = 0; i < 4; ++i) solid.corners[i] = {double(i), double(2 * i), 0};
    solid.count = 4;
    head(circle, KT_Drawable_Kind::circle);
    circle.centre = {1, 1, 0};
    circle.radius = 2;
    head(arc, KT_Drawable_Kind::arc);
    arc.centre = {1, 1, 0};
    arc.radius = 2;
    arc.start_angle = 0.5;
    arc.end_angle = 1.5;
    head(text, KT_Drawable_Kind::text);
    text.text = text_value;
    text.style = "NOTES";
    text.at = {1, 2, 0};
    text.height = 0.25;
    text.width_factor = 1;
    text.rotation = 0.1;
    head(insert, KT_Drawable_Kind::insert);
    insert.at = {3, 4, 0};
    insert.rotation = 0.2;
    insert.block_name = block_name;
    head(dimension, KT_Drawable_Kind::dimension);
    dimension.strings[0] = "12.5";
    dimension.strings[1] = "ISO-25";
    for (int i = 0; i < 7; ++i) dimension.points[i] = {double(i), 1, 0};
    for (int i = 0; i < 6; ++i) dimension.reals[i] = i * 0.5;
    dimension.value = 3;
    head(polyline, KT_Drawable_Kind::polyline);
    polyline.count = 5;
    polyline.vertices = vertices;
    head(point_set, KT_Drawable_Kind::point_set);
    point_set.count = 4;
    point_set.vertices = vertices;
  }
};

struct Change {
  std::string what;
  std::function<KT_Drawable&(Drawables&)> apply;  // changes one value, gives the drawable
};

std::vector<Change> changes() {
  std::vector<Change> out;
  const auto add = [&](std::string what, std::function<KT_Drawable&(Drawables&)> f) {
    out.push_back({std::move(what), std::move(f)});
  };
  // The head, for every kind.
  const std::vector<std::function<KT_Drawable&(Drawables&)>> kinds = {
      [](Drawables& d) -> KT_Drawable& { return d.point; },    [](Drawables& d) -> KT_Drawable& { return d.line; },
      [](Drawables& d) -> KT_Drawable& { return d.solid; },    [](Drawables& d) -> KT_Drawable& { return d.circle; },
      [](Drawables& d) -> KT_Drawable& { return d.arc; },      [](Drawables& d) -> KT_Drawable& { return d.text; },
      [](Drawables& d) -> KT_Drawable& { return d.insert; },   [](Drawables& d) -> KT_Drawable& { return d.dimension; },
      [](Drawables& d) -> KT_Drawable& { return d.polyline; }, [](Drawables& d) -> KT_Drawable& { return d.point_set; }};
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    const auto of = kinds[k];
    const std::string n = "kind " + std::to_string(k) + " ";
    add(n + "color", [of](Drawables& d) -> KT_Drawable& { KT_Drawable& e = of(d); e.color = 0x00FF00; return e; });
    add(n + "third", [of](Drawables& d) -> KT_Drawable& { KT_Drawable& e = of(d); e.third = 0; return e; });
    add(n + "layer", [of](Drawables& d) -> KT_Drawable& { KT_Drawable& e = of(d); e.layer = 1; return e; });
  }
#define CHANGE(name, member, statement) \
  add(name, [](Drawables& d) -> KT_Drawable& { statement; return d.member; })
  CHANGE("point x", point, d.point.at.x = 9);
  CHANGE("point z", point, d.point.at.z = -3);
  CHANGE("line start y", line, d.line.start.y = 9);
  CHANGE("line end z", line, d.line.end.z = 9);
  CHANGE("solid last corner", solid, d.solid.corners[3].y = 9);
  CHANGE("solid count", solid, d.solid.count = 3);
  CHANGE("circle centre", circle, d.circle.centre.y = 9);
  CHANGE("circle radius", circle, d.circle.radius = 9);
  CHANGE("arc radius", arc, d.arc.radius = 9);
  CHANGE("arc start", arc, d.arc.start_angle = 0.25);
  CHANGE("arc end", arc, d.arc.end_angle = 2.5);
  CHANGE("text in place", text, d.text_value[0] = 'B');
  CHANGE("text longer", text, d.text.text = "ROOM 1010");
  CHANGE("text none", text, d.text.text = nullptr);
  CHANGE("text style", text, d.text.style = "ROOMS");
  CHANGE("text at", text, d.text.at.z = 1);
  CHANGE("text height", text, d.text.height = 0.5);
  CHANGE("text width", text, d.text.width_factor = 0.8);
  CHANGE("text rotation", text, d.text.rotation = 0);
  CHANGE("insert at", insert, d.insert.at.x = 0);
  CHANGE("insert scale", insert, d.insert.scale[2] = -1);
  CHANGE("insert rotation", insert, d.insert.rotation = 0);
  CHANGE("insert block in place", insert, d.block_name[3] = 'X');
  CHANGE("dimension string", dimension, d.dimension.strings[2] = "");
  CHANGE("dimension last point", dimension, d.dimension.points[6].z = 1);
  CHANGE("dimension real", dimension, d.dimension.reals[5] = 7);
  CHANGE("dimension value", dimension, d.dimension.value = 4);
  CHANGE("polyline vertex", polyline, d.vertices[4].x = 7);
  CHANGE("polyline count", polyline, d.polyline.count = 4);
  CHANGE("polyline closed", polyline, d.polyline.closed = true);
  CHANGE("point set vertex", point_set, d.vertices[0].z = 1);
  CHANGE("point set count", point_set, d.point_set.count = 5);
#undef CHANGE
  return out;
}

TEST(KtDigest, EveryValueChangedAloneChangesIt) {
  for (const Change& c : changes()) {
    Drawables before, after;
    KT_Drawable& changed = c.apply(after);
    // The same drawable of the untouched set, by its place in the set.
    const auto offset = reinterpret_cast<const char*>(&changed) - reinterpret_cast<const char*>(&after);
    const auto& original = *reinterpret_cast<const KT_Drawable*>(reinterpret_cast<const char*>(&before) + offset);
    EXPECT_NE(kt_digest(original), kt_digest(changed)) << c.what;
  }
}

TEST(KtDigest, AnUntouchedDrawableKeepsIt) {
  Drawables a, b;
  for (const Change& c : changes()) {
    Drawables fresh;
    KT_Drawable& e = c.apply(fresh);
    // Taken twice, the same; and a drawable equal in value but elsewhere
    // in memory has the same (the digest reads values, not places).
    EXPECT_EQ(kt_digest(e), kt_digest(e)) << c.what;
  }
  EXPECT_EQ(kt_digest(a.line), kt_digest(b.line));
  EXPECT_EQ(kt_digest(a.text), kt_digest(b.text));
  EXPECT_EQ(kt_digest(a.polyline), kt_digest(b.polyline));
  EXPECT_EQ(kt_digest(a.dimension), kt_digest(b.dimension));
}

}  // namespace
