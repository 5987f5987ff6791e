// Test support: a drawing that holds every section the loader reads and every
// entity kind, written field by field. Seeds, the truncation sweep and the
// bundled example are made from it.
#pragma once

#include <string>

#include "save/sysvar_forms.h"
#include "tests/support/entity_builder.h"
#include "tests/support/torv_builder.h"

namespace sample {

// A fixed-size record of zeros with fields put at their offsets.
class Record {
 public:
  explicit Record(std::size_t size) { b_.zeros(size); }
  template <class T>
  Record& at(std::size_t offset, T value) {
    b_.patch<T>(offset, value);
    return *this;
  }
  Record& pt3(std::size_t offset, double x, double y, double z) {
    return at(offset, x).at(offset + 8, y).at(offset + 16, z);
  }
  const Bytes& bytes() const { return b_; }

 private:
  Bytes b_;
};

// The system-variable section in the sequence the shipped list describes.
inline Bytes sysvars() {
  Bytes b;
  b.f64(2450501.5281);
  for (int i = 0; kSysVarForms[i]; ++i) {
    switch (kSysVarForms[i]) {
      case 'W': b.i16(i); break;
      case 'L': b.i32(i); break;
      case 'D': b.f64(i); break;
      case 'P': b.pt2(i, -i); break;
      case 'T': b.pt3(i, 0, -i); break;
      case 'S': b.cstr(i == 12 ? "Bylayer" : "v" + std::to_string(i)); break;
    }
  }
  return b;
}

inline Bytes layer(const std::string& name, int flags, int color, int line_type) {
  return Bytes().i32(name.empty() ? 0 : 1).u8(flags).u8(0).i16(color).u16(line_type).zeros(2).append(
      name.empty() ? Bytes() : Bytes().str(name));
}

inline Bytes layers() {
  return Bytes().u32(3).append(layer("0", 0, 7, 1)).append(layer("WALLS", 5, -3, 2)).append(layer("", 2, 0, 0));
}

// A 56-byte text style record (52 for generations 3 and 6) and its strings.
inline Bytes text_style(const std::string& name, int flags, double height, double width,
                        double oblique, const std::string& font, const std::string& big_font,
                        bool short_record = false) {
  Record r(short_record ? 52 : 56);
  r.at<int32_t>(0, 1).at<uint8_t>(4, static_cast<uint8_t>(flags)).at(14, width).at(22, oblique).at(32, height);
  r.at<int32_t>(40, font.empty() ? 0 : 1).at<int32_t>(44, big_font.empty() ? 0 : 1);
  Bytes b = r.bytes();
  b.str(name);
  if (!font.empty()) b.str(font);
  if (!big_font.empty()) b.str(big_font);
  const auto dot = font.rfind('.');
  std::string ext = dot == std::string::npos ? "" : font.substr(dot);
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (ext == ".ttf" || ext == ".ttc") b.str("trailer");
  return b;
}

// Generations 3 and 6 ("SELK 97", "TORV 98", "TORV 99") use 52-byte records.
inline Bytes text_styles(bool short_records = false) {
  return Bytes().u32(2)
      .append(text_style("STANDARD", 0, 2.5, 1.0, 0.0, "txt", "", short_records))
      .append(text_style("TITLE", 4, 5.0, 0.8, 15.0, "C:\\Fonts\\ARIAL.TTF", "bigfont.shx", short_records));
}

inline Bytes dim_style(const std::string& name, const std::string& second) {
  Record r(216);
  r.at<int32_t>(0, 1).at<int32_t>(6, 1).at<int32_t>(22, 1).at<int32_t>(204, 1);
  r.at(26, 2.0).at(34, 0.18).at(42, 0.0625).at(50, 0.38).at(58, 0.18).at(66, 1.0);
  r.at(74, 3.9).at(82, 0.09).at(90, 0.0).at(98, 1.5).at(106, 0.2).at(114, 0.1);
  r.at(122, 2.5).at(130, 1.0).at(138, 0.5).at(146, 257.0).at(154, 0.75);
  r.at<int16_t>(174, 3).at<int16_t>(176, -2).at<uint8_t>(178, 200).at<int16_t>(180, 0x0104);
  r.at<int16_t>(190, -7).at<int16_t>(192, -1).at<int16_t>(194, 12);
  return Bytes(r.bytes()).str(name).str("dropA").str("dropE").str(second);
}

inline Bytes dim_styles() { return Bytes().u32(1).append(dim_style("ISO-25", "ISO-25 alt")); }

// One record of every kind the stream knows, and one it does not.
inline Bytes every_kind(uint32_t& count) {
  Bytes b;
  count = 0;
  auto add = [&](int kind, const PropsBlock& props, const Bytes& payload) {
    b.append(entity(kind, props, payload));
    ++count;
  };
  const PropsBlock plain;
  const PropsBlock coloured = PropsBlock().layer(1).color(3);
  add(1, coloured, Bytes().pt2(3, 4).zeros(16));
  add(2, PropsBlock().layer(0).color(256), Bytes().pt3(1, 2, 0).pt3(3, 4, 0));
  add(3, PropsBlock().color(5).mirrored(), Bytes().pt3(5, 7, 0).f64(2));
  add(4, PropsBlock().extrusion(0.5, std::nullopt, -1.0), Bytes().pt3(5, 7, 0).f64(2).f64(10).f64(80));
  add(5, plain, Bytes().pt3(0, 0, 0).pt3(1, 0, 0).pt3(0, 1, 0).pt3(1, 1, 0));
  add(6, coloured, Bytes().pt3(0, 0, 0).pt3(1, 0, 0).pt3(0, 1, 0).pt3(1, 1, 0));
  Record text(94);
  text.pt3(0, 10, 20, 0).at(24, 2.5).at<int32_t>(32, 1).at(36, 30.0).at(44, 1.0).at<int32_t>(60, 1);
  add(7, PropsBlock().mirrored().color(1), Bytes(text.bytes()).str("Hello").str("TITLE"));
  Record named(60);
  named.at<int32_t>(32, 1);
  add(8, plain, Bytes(named.bytes()).str("named"));
  Record four(106);
  four.pt3(0, 1, 2, 0).at(24, 1.0).at<int32_t>(32, 1).at<int32_t>(36, 1).at<int32_t>(40, 1).at(48, 45.0).at(56, 1.0).at<int32_t>(72, 1);
  add(11, plain, Bytes(four.bytes()).str("one").str("shown").str("three").str("STANDARD"));
  Record pl(58);
  pl.at<int32_t>(26, 0x2).at<int32_t>(54, 1);
  Bytes vertices;
  // Vertex 1 has every optional field and flags 1, which polyline flags 0x2
  // pass over; vertices 0 and 2 carry only their flags.
  for (int i = 0; i < 3; ++i)
    vertices.append(PropsBlock().bytes()).i32(i == 1 ? 0x1F9 : 0x8).pt3(i, i * 2, 7).append(
        i == 1 ? Bytes().f64(0.5).i16(1).f64(0).i16(0).i16(0).i16(0).i16(0) : Bytes().i16(i == 2 ? 0x10 : 0));
  add(13, PropsBlock().layer(1), Bytes(pl.bytes()).u32(3).append(vertices));
  add(28, PropsBlock().extrusion(0, 0, -0.5), Bytes().i32(4).u16(0x200).f64(0).i32(0).i32(0).pt2(0, 0).pt2(1, 0).pt2(1, 1).pt2(0, 1));
  add(28, coloured, Bytes().i32(2).u16(0).f64(0).i32(0).i32(1).pt2(0, 0).pt2(5, 5).pt3(0, 0, 0).pt3(0, 0, 0));
  Bytes attribute = Bytes().append(PropsBlock().bytes()).append(Record(102).at<int32_t>(32, 1).at<int32_t>(68, 1).bytes()).str("TAG").str("VALUE");
  add(23, PropsBlock().mirrored().layer(1),
      Bytes().i32(0x7FF).pt3(5, 6, 0).i16(0).str("DOOR").f64(2).f64(3).f64(4).f64(0).f64(30).i16(1).i16(1).f64(0).f64(0).u32(2).append(attribute).append(attribute));
  Record dim(230);
  dim.at<int32_t>(0, 1).at<int32_t>(8, 1).pt3(12, 9, 9, 9).pt3(36, 1, 0, 0).pt3(60, 2, 0, 0).pt3(84, 3, 0, 1);
  dim.pt3(108, 4, 0, 0).pt3(132, 5, 0, 0).pt3(156, 6, 0, 0).at(180, 1.0).at(220, 6.0).at<int16_t>(228, -1);
  add(18, coloured, Bytes(dim.bytes()).str("three").str("one"));
  add(17, plain, Bytes().zeros(98));
  add(26, plain, Bytes().zeros(240).u32(2).str("ab").str(""));
  add(29, plain, Bytes(Record(100).at<int32_t>(96, 1).bytes()).str("B-only"));
  add(43, plain, Bytes(Record(58).at<int32_t>(40, 1).at<int32_t>(46, 3).at<int32_t>(54, 1).bytes()).str("a").raw("xyz").str("b"));
  add(45, plain, Bytes(Record(136).at<int32_t>(104, 1).at<int32_t>(112, 2).bytes()).zeros(16).zeros(2));
  add(100, plain, Bytes().u32(0).u32(1000).u32(3).u32(0).u32(1).u32(1).raw("abc").u32(2).raw("de"));
  add(9, plain, Bytes());
  add(2, PropsBlock().xdata(3, Bytes().i16(1004).str("x").i16(1010).pt3(1, 2, 3).i16(999)).blobs(1, Bytes().zeros(12).u32(0).u32(1000).u32(2).u32(0).u32(1).u32(0).raw("zz")),
      Bytes().pt3(0, 0, 0).pt3(9, 9, 0));
  return b;
}

inline Bytes entities() {
  uint32_t count = 0;
  Bytes records = every_kind(count);
  return entity_section(count, records);
}

// Blocks: a named one with its own entities, a bare one, one with dropped fields.
inline Bytes blocks() {
  Bytes b;
  b.u32(3);
  b.u32(0x123).f64(1).f64(2).str("DOOR").u32(2)
      .append(entity(2, PropsBlock(), Bytes().pt3(0, 0, 0).pt3(1, 1, 0)))
      .append(entity(3, PropsBlock().color(2), Bytes().pt3(0, 0, 0).f64(0.5)));
  b.u32(0);
  b.u32(0x1FC).i16(1).i16(2).f64(3).str("WINDOW").str("description").str("xref").u32(1)
      .append(entity(11, PropsBlock(), Bytes(Record(106).at<int32_t>(40, 1).bytes()).str("in block")));
  return b;
}

// Sections in the order the loader reads them.
inline TorvFile full_drawing(const std::string& version = "TORV 2000") {
  const bool short_styles = version == "SELK 97" || version == "TORV 98" || version == "TORV 99";
  return TorvFile(version)
      .section(kSlotSysVars, sysvars())
      .section(kSlotLayers, layers())
      .section(kSlotTextStyles, text_styles(short_styles))
      .section(kSlotDimStyles, dim_styles())
      .section(kSlotBlocks, blocks())
      .section(kSlotEntities, entities());
}

}  // namespace sample
