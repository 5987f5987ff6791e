// trv dump: the loaded drawing as JSON (schema in docs/DUMP.md).
#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "host/kt_drawables.h"
#include "tools/trv/cli_support.h"
#include "load/load_document.h"
#include "tools/trv/commands.h"
#include "tools/trv/dump_tree.h"
#include "tools/trv/dump_writer.h"

using nlohmann::json;

namespace trv {

namespace {

json real(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  return v;
}

json text(const char* s) { return s ? json(bytes_to_utf8(s)) : json(nullptr); }

json point(const Ge_Pt& p) { return json::array({real(p.x), real(p.y), real(p.z)}); }

template <class T>
json reals(const T* values, int n) {
  json a = json::array();
  for (int i = 0; i < n; ++i) a.push_back(real(values[i]));
  return a;
}

template <class T>
json ints(const T* values, int n) {
  json a = json::array();
  for (int i = 0; i < n; ++i) a.push_back(values[i]);
  return a;
}

json vertices(const KT_Vertex_Entity& e) {
  json a = json::array();
  for (long i = 0; i < e.count; ++i) a.push_back(point(e.vertices[i]));
  return a;
}

// The name of the layer a drawable's layer number names, when there is one.
json layer_name(const KT_Drawing& drawing, long layer) {
  if (layer < 0 || static_cast<std::size_t>(layer) >= drawing.layer_index.size()) return nullptr;
  return text(drawing.layer_index[static_cast<std::size_t>(layer)]->name);
}

json drawable(const KT_Drawing& drawing, const KT_Drawable& d) {
  json j = {{"id", d.id}, {"color", d.color}, {"third", d.third}, {"layer", d.layer}};
  if (json name = layer_name(drawing, d.layer); !name.is_null()) j["layer_name"] = std::move(name);
  switch (d.kind) {
    case KT_Drawable_Kind::point: {
      auto& e = static_cast<const KT_Point_Entity&>(d);
      j["kind"] = "point";
      j["at"] = point(e.at);
      break;
    }
    case KT_Drawable_Kind::line: {
      auto& e = static_cast<const KT_Line_Entity&>(d);
      j["kind"] = "line";
      j["start"] = point(e.start);
      j["end"] = point(e.end);
      break;
    }
    case KT_Drawable_Kind::solid: {
      auto& e = static_cast<const KT_Solid_Entity&>(d);
      j["kind"] = "solid";
      j["corners"] = json::array();
      for (const Ge_Pt& p : e.corners) j["corners"].push_back(point(p));
      j["count"] = e.count;
      break;
    }
    case KT_Drawable_Kind::circle: {
      auto& e = static_cast<const KT_Circle_Entity&>(d);
      j["kind"] = "circle";
      j["centre"] = point(e.centre);
      j["radius"] = real(e.radius);
      break;
    }
    case KT_Drawable_Kind::arc: {
      auto& e = static_cast<const KT_Arc_Entity&>(d);
      j["kind"] = "arc";
      j["centre"] = point(e.centre);
      j["radius"] = real(e.radius);
      j["start_angle"] = real(e.start_angle);
      j["end_angle"] = real(e.end_angle);
      break;
    }
    case KT_Drawable_Kind::text: {
      auto& e = static_cast<const KT_Text_Entity&>(d);
      j["kind"] = "text";
      j["text"] = text(e.text);
      j["style"] = text(e.style);
      j["at"] = point(e.at);
      j["height"] = real(e.height);
      j["width_factor"] = real(e.width_factor);
      j["rotation"] = real(e.rotation);
      break;
    }
    case KT_Drawable_Kind::insert: {
      auto& e = static_cast<const KT_Insert_Entity&>(d);
      j["kind"] = "insert";
      j["at"] = point(e.at);
      j["scale"] = reals(e.scale, 3);
      j["rotation"] = real(e.rotation);
      j["block_name"] = text(e.block_name);
      break;
    }
    case KT_Drawable_Kind::dimension: {
      auto& e = static_cast<const KT_Dimension_Entity&>(d);
      j["kind"] = "dimension";
      j["strings"] = {text(e.strings[0]), text(e.strings[1]), text(e.strings[2])};
      j["points"] = json::array();
      for (const Ge_Pt& p : e.points) j["points"].push_back(point(p));
      j["reals"] = reals(e.reals, 6);
      j["value"] = e.value;
      break;
    }
    case KT_Drawable_Kind::polyline:
    case KT_Drawable_Kind::point_set: {
      auto& e = static_cast<const KT_Vertex_Entity&>(d);
      j["kind"] = d.kind == KT_Drawable_Kind::polyline ? "polyline" : "point_set";
      j["closed"] = e.closed;
      j["vertices"] = vertices(e);
      break;
    }
  }
  return j;
}

json entity_list(const KT_Drawing& drawing, const KT_Entity_List& list) {
  json a = json::array();
  for (const KT_Drawable* d = list.first; d; d = d->next) a.push_back(drawable(drawing, *d));
  return a;
}

template <class T, class F>
json collection(const KT_Collection& c, F describe) {
  json a = json::array();
  for (const KT_Object* o = c.first; o; o = o->next) {
    json j = describe(static_cast<const T&>(*o));
    j["id"] = o->id;
    a.push_back(std::move(j));
  }
  return a;
}

}  // namespace

json dump_drawing(const KT_Drawing& d) {
  json j;
  j["layers"] = collection<KT_Layer>(d.layers, [](const KT_Layer& l) {
    return json{{"name", text(l.name)}, {"color", l.color}, {"line_type", l.line_type},
                {"on", l.on}, {"flag2", l.flag2}, {"flag3", l.flag3}};
  });
  j["text_styles"] = collection<KT_Text_Style>(d.text_styles, [](const KT_Text_Style& s) {
    return json{{"name", text(s.name)},       {"font_file", text(s.font_file)},
                {"big_font_file", text(s.big_font_file)}, {"reals", reals(s.reals, 4)},
                {"flags", s.flags},           {"last", s.last},
                {"mark", s.mark}};
  });
  j["dim_styles"] = collection<KT_Dim_Style>(d.dim_styles, [](const KT_Dim_Style& s) {
    return json{{"name", text(s.name)},
                {"second_name", text(s.second_name)},
                {"longs", ints(s.longs, KT_Dim_Style::kLongs)},
                {"shorts", ints(s.shorts, KT_Dim_Style::kShorts)},
                {"reals", reals(s.reals, KT_Dim_Style::kReals)}};
  });
  j["line_types"] = collection<KT_Line_Type>(
      d.line_types, [](const KT_Line_Type& t) { return json{{"name", text(t.name)}}; });
  j["blocks"] = collection<KT_Block>(d.blocks, [&d](const KT_Block& b) {
    return json{{"name", text(b.name)},
                {"description", text(b.description)},
                {"base", point(b.base)},
                {"bounds", reals(b.bounds, 4)},
                {"entities", entity_list(d, b.entities)}};
  });
  j["model_space"] = entity_list(d, d.model_space);
  return j;
}

int run_dump(const std::string& path, int mode, const std::string& sysvar_list) {
  if (!sysvar_list.empty()) KtTrvSetSysVarListPath(sysvar_list.c_str());
  KT_Drawing drawing;
  g_trv_ver = -1;
  if (!load_drawing(path, mode, drawing)) return 1;
  // The file's own version text; the generation the loader recognised
  // (null for legacy files, which have none).
  const auto head = read_file_head(path, 88);
  const FileVersion version = head ? file_version(*head) : FileVersion{};
  JsonOut out(stdout);
  write_dump(drawing, DumpHeader{version.text, version.legacy ? -1 : g_trv_ver}, out);
  if (!out.flush()) {
    error(std::string("writing the dump: ") + std::strerror(errno));
    return 1;
  }
  return 0;
}

}  // namespace trv
