// Test support: a small floor plan, written with the same builders as the
// sample drawing — walls as closed chains on a coloured layer, doors and
// windows as blocks inserted at several rotations and scales, dimensions,
// room names in two text styles, a hidden furniture layer and a title block
// with attributes. examples/make_examples.cpp writes it in every generation.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/legacy_builder.h"
#include "tests/support/sample_drawing.h"

namespace floor_plan {

// Layer numbers, in the order the layer table lists them.
enum Layer { kLayer0, kWalls, kDoors, kWindows, kDimensions, kText, kFurniture, kTitle };

inline Bytes layers() {
  return Bytes().u32(8)
      .append(sample::layer("0", 0, 7, 0))
      .append(sample::layer("WALLS", 0, 5, 0))        // blue
      .append(sample::layer("DOORS", 0, 1, 0))        // red
      .append(sample::layer("WINDOWS", 0, 4, 0))      // cyan
      .append(sample::layer("DIMENSIONS", 0, 3, 0))   // green
      .append(sample::layer("TEXT", 0, 7, 0))
      .append(sample::layer("FURNITURE", 0, -6, 0))   // off: a negative colour
      .append(sample::layer("TITLE", 0, 7, 0));
}

inline Bytes text_styles(bool short_records) {
  return Bytes().u32(2)
      .append(sample::text_style("ROOMS", 0, 0.0, 1.0, 0.0, "C:\\Fonts\\ARIAL.TTF", "", short_records))
      .append(sample::text_style("NOTES", 0, 0.0, 0.8, 0.0, "txt", "", short_records));
}

inline PropsBlock on(Layer layer) { return PropsBlock().layer(layer); }

// Kind 28 with a non-zero extras field: a polyline of x, y points.
inline Bytes chain(Layer layer, const std::vector<std::pair<double, double>>& points, bool closed) {
  Bytes payload;
  payload.i32(static_cast<int64_t>(points.size())).u16(closed ? 0x200 : 0).f64(0).i32(0).i32(-1);
  for (const auto& [x, y] : points) payload.pt2(x, y);
  return entity(28, on(layer), payload);
}

inline Bytes line(Layer layer, double x1, double y1, double x2, double y2) {
  return entity(2, on(layer), Bytes().pt3(x1, y1, 0).pt3(x2, y2, 0));
}

inline Bytes arc(Layer layer, double x, double y, double r, double start_deg, double end_deg) {
  return entity(4, on(layer), Bytes().pt3(x, y, 0).f64(r).f64(start_deg).f64(end_deg));
}

inline Bytes circle(Layer layer, double x, double y, double r) {
  return entity(3, on(layer), Bytes().pt3(x, y, 0).f64(r));
}

// Kind 7: a text with its style.
inline Bytes text(Layer layer, const std::string& s, const std::string& style, double x, double y,
                  double height, double rotation_deg = 0, double width_factor = 1) {
  sample::Record r(94);
  r.pt3(0, x, y, 0).at(24, height).at<int32_t>(32, 1).at(36, rotation_deg).at(44, width_factor).at<int32_t>(60, 1);
  return entity(7, on(layer), Bytes(r.bytes()).str(s).str(style));
}

// Kind 23: a block placed with scales and a rotation in degrees; attributes
// (tag, value) follow when given.
inline Bytes insert(Layer layer, const std::string& block, double x, double y, double x_scale, double y_scale,
                    double rotation_deg, const std::vector<std::pair<std::string, std::string>>& attributes = {}) {
  Bytes payload;
  payload.i32(0x2 | 0x4 | 0x8 | 0x20 | (attributes.empty() ? 0 : 0x400)).pt3(x, y, 0).str(block);
  payload.f64(x_scale).f64(y_scale).f64(rotation_deg);
  if (!attributes.empty()) {
    payload.u32(attributes.size());
    for (const auto& [tag, value] : attributes)
      payload.append(on(layer).bytes()).append(sample::Record(102).at<int32_t>(32, 1).at<int32_t>(68, 1).bytes())
          .str(tag).str(value);
  }
  return entity(23, on(layer), payload);
}

// Kind 18: measured points a and b, the dimension line through `through`.
inline Bytes dimension(double ax, double ay, double bx, double by, double tx, double ty, const std::string& label) {
  sample::Record r(230);
  r.at<int32_t>(0, 1).pt3(36, ax, ay, 0).pt3(60, bx, by, 0).pt3(84, tx, ty, 0);
  return entity(18, on(kDimensions), Bytes(r.bytes()).str(label));
}

// A block head: base point, name, then its entity stream.
inline Bytes block(const std::string& name, double base_x, double base_y, const std::vector<Bytes>& entities) {
  Bytes b;
  b.u32(0x1 | 0x2 | 0x20 | 0x100).f64(base_x).f64(base_y).str(name).u32(entities.size());
  for (const Bytes& e : entities) b.append(e);
  return b;
}

inline Bytes blocks() {
  Bytes b;
  b.u32(3);
  // A door one unit wide: the leaf open at 90 degrees and its swing.
  b.append(block("DOOR", 0, 0, {line(kDoors, 0, 0, 0, 1), arc(kDoors, 0, 0, 1, 0, 90)}));
  // A window one unit long in a wall 0.2 thick.
  b.append(block("WINDOW", 0, 0, {line(kWindows, 0, 0, 1, 0), line(kWindows, 0, 0.1, 1, 0.1),
                                  line(kWindows, 0, 0.2, 1, 0.2), line(kWindows, 0, 0, 0, 0.2),
                                  line(kWindows, 1, 0, 1, 0.2)}));
  // A title block 5 by 1.5 whose lower left corner is its base point.
  b.append(block("TITLE", 0, 0, {chain(kTitle, {{0, 0}, {5, 0}, {5, 1.5}, {0, 1.5}}, true),
                                 line(kTitle, 0, 0.6, 5, 0.6),
                                 text(kTitle, "FLOOR PLAN", "ROOMS", 0.2, 0.9, 0.35),
                                 text(kTitle, "scale 1:100, units m", "NOTES", 0.2, 0.2, 0.2)}));
  return b;
}

inline Bytes model_space() {
  std::vector<Bytes> e;
  // Walls 0.2 thick: outer faces, inner faces, two inner walls.
  e.push_back(chain(kWalls, {{0, 0}, {12, 0}, {12, 8}, {0, 8}}, true));
  e.push_back(chain(kWalls, {{0.2, 0.2}, {11.8, 0.2}, {11.8, 7.8}, {0.2, 7.8}}, true));
  e.push_back(chain(kWalls, {{5, 0.2}, {5, 7.8}}, false));
  e.push_back(chain(kWalls, {{5, 4.5}, {11.8, 4.5}}, false));
  // Doors at every quarter turn, some narrower, one hinged the other way.
  e.push_back(insert(kDoors, "DOOR", 2, 0.2, 1, 1, 0));
  e.push_back(insert(kDoors, "DOOR", 5, 1.5, 0.9, 0.9, 90));
  e.push_back(insert(kDoors, "DOOR", 5, 6.5, -0.9, 0.9, 90));
  e.push_back(insert(kDoors, "DOOR", 9, 4.5, 0.8, 0.8, 180));
  e.push_back(insert(kDoors, "DOOR", 11.8, 3, 1, 1, 270));
  // Windows, stretched along the wall.
  e.push_back(insert(kWindows, "WINDOW", 7, 0, 1.5, 1, 0));
  e.push_back(insert(kWindows, "WINDOW", 9.5, 0, 1.2, 1, 0));
  e.push_back(insert(kWindows, "WINDOW", 0.2, 3, 2, 1, 90));
  e.push_back(insert(kWindows, "WINDOW", 12, 5.5, 1.5, 1, 90));
  e.push_back(insert(kWindows, "WINDOW", 3.5, 8, 2, 1, 180));
  e.push_back(insert(kWindows, "WINDOW", 10, 8, 2, 1, 180));
  // Overall dimensions and the room widths.
  e.push_back(dimension(0, 0, 12, 0, 6, -1, "12.00"));
  e.push_back(dimension(0, 0, 0, 8, -1, 4, "8.00"));
  e.push_back(dimension(5, 8, 12, 8, 8.5, 9, "7.00"));
  // Room names in one style, their areas in another.
  e.push_back(text(kText, "Living room", "ROOMS", 1, 4.2, 0.4));
  e.push_back(text(kText, "38.4 m2", "NOTES", 1, 3.6, 0.25));
  e.push_back(text(kText, "Kitchen", "ROOMS", 6, 2.5, 0.4));
  e.push_back(text(kText, "29.9 m2", "NOTES", 6, 1.9, 0.25));
  e.push_back(text(kText, "Bedroom", "ROOMS", 6, 6.3, 0.4));
  e.push_back(text(kText, "22.4 m2", "NOTES", 6, 5.7, 0.25));
  e.push_back(text(kText, "N", "ROOMS", 13.4, 6.6, 0.4, 0, 1));
  e.push_back(chain(kText, {{13.5, 5.2}, {13.5, 6.4}}, false));
  // Furniture on the hidden layer.
  e.push_back(circle(kFurniture, 2.5, 6, 0.6));
  e.push_back(chain(kFurniture, {{6.5, 6.5}, {8.5, 6.5}, {8.5, 7.6}, {6.5, 7.6}}, true));
  e.push_back(entity(6, on(kFurniture), Bytes().pt3(1, 1, 0).pt3(3, 1, 0).pt3(1, 1.8, 0).pt3(3, 1.8, 0)));
  // The title block, its fields as attributes.
  e.push_back(insert(kTitle, "TITLE", 12.5, -2, 1, 1, 0, {{"DRAWN", "KtTrv"}, {"SHEET", "1 of 1"}}));
  Bytes records;
  for (const Bytes& b : e) records.append(b);
  return entity_section(static_cast<uint32_t>(e.size()), records);
}

// The whole drawing in the generation the version names.
inline TorvFile drawing(const std::string& version = "HALD 2002") {
  const bool short_styles = version == "SELK 97" || version == "TORV 98" || version == "TORV 99";
  return TorvFile(version)
      .section(kSlotSysVars, sample::sysvars())
      .section(kSlotLayers, layers())
      .section(kSlotTextStyles, text_styles(short_styles))
      .section(kSlotDimStyles, sample::dim_styles())
      .section(kSlotBlocks, blocks())
      .section(kSlotEntities, model_space());
}

// A "Torv 1.5" file: two blocks, three layers, one text style, two line
// types and a small entity section (which the loader does not read).
inline std::vector<unsigned char> legacy() {
  return LegacyFile("Torv 1.5")
      .table(kLegacyBlocks, 2)
      .table(kLegacyLayers, 3)
      .table(kLegacyTextStyles, 1)
      .table(kLegacyLineTypes, 2)
      .entities(Bytes().append(legacy_entity(1)).append(legacy_entity(13)))
      .build();
}

}  // namespace floor_plan
