#include "save/entity_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <unordered_map>
#include <vector>

#include "format/stored_props.h"
#include "save/carried_writes.h"
#include "save/entity_records.h"
#include "save/write_primitives.h"

namespace {

// Texts that only kind 11 can carry are not created inside a block.
bool loader_creates(const KT_Drawable& d, bool model_space) {
  if (model_space || d.kind != KT_Drawable_Kind::text) return true;
  return text_has_visible_char(static_cast<const KT_Text_Entity&>(d).text);
}

void write_record(TorvWriter& w, const KT_Drawable& d, SaveReport& report) {
  switch (d.kind) {
    case KT_Drawable_Kind::point: return write_point(w, static_cast<const KT_Point_Entity&>(d), report);
    case KT_Drawable_Kind::line: return write_line(w, static_cast<const KT_Line_Entity&>(d), report);
    case KT_Drawable_Kind::solid: return write_solid(w, static_cast<const KT_Solid_Entity&>(d), report);
    case KT_Drawable_Kind::circle: return write_circle(w, static_cast<const KT_Circle_Entity&>(d), report);
    case KT_Drawable_Kind::arc: return write_arc(w, static_cast<const KT_Arc_Entity&>(d), report);
    case KT_Drawable_Kind::text: return write_text(w, static_cast<const KT_Text_Entity&>(d), report);
    case KT_Drawable_Kind::insert: return write_insert(w, static_cast<const KT_Insert_Entity&>(d), report);
    case KT_Drawable_Kind::dimension:
      return write_dimension(w, static_cast<const KT_Dimension_Entity&>(d), report);
    case KT_Drawable_Kind::polyline: return write_polyline(w, static_cast<const KT_Vertex_Entity&>(d), report);
    case KT_Drawable_Kind::point_set:
      return write_point_set(w, static_cast<const KT_Vertex_Entity&>(d), report);
  }
}

// The payload bytes the kernel's values own in the records of fixed size
// (x and y of each point, radius, angles); the rest of a stored payload
// (the z values the kernel never receives, the fields nobody reads) stays.
struct OwnedRange {
  uint16_t from, to;
};
std::span<const OwnedRange> kernel_owned(int16_t kind) {
  static constexpr OwnedRange kPoint[] = {{0, 16}};
  static constexpr OwnedRange kLine[] = {{0, 16}, {24, 40}};
  static constexpr OwnedRange kCircle[] = {{0, 16}, {24, 32}};
  static constexpr OwnedRange kArc[] = {{0, 16}, {24, 48}};
  static constexpr OwnedRange kSolid[] = {{0, 16}, {24, 40}, {48, 64}, {72, 88}};
  switch (kind) {
    case 1: return kPoint;
    case 2: return kLine;
    case 3: return kCircle;
    case 4: return kArc;
    case 6: return kSolid;
    default: return {};
  }
}

// The records whose fixed part their strings follow, and the bytes of that
// part the kernel's values own. A text (kind 7): x and y, the height, the
// text's presence, rotation and width factor, the style's presence; a
// dimension (kind 18): all but the point at 12, which the loader never
// passes.
struct FixedPart {
  int16_t kind;
  std::size_t size;
  std::span<const OwnedRange> owned;
};
constexpr OwnedRange kTextOwned[] = {{0, 16}, {24, 52}, {60, 64}};
constexpr OwnedRange kDimensionOwned[] = {{0, 12}, {36, 230}};
constexpr FixedPart kFixedParts[] = {{7, 94, kTextOwned}, {18, 230, kDimensionOwned}};

const FixedPart* fixed_part(int16_t kind) {
  for (const FixedPart& f : kFixedParts)
    if (f.kind == kind) return &f;
  return nullptr;
}

int16_t kind_of(std::span<const unsigned char> record) {
  int16_t kind = 0;
  if (record.size() >= 2) std::memcpy(&kind, record.data(), 2);
  return kind;
}

// Kind 28's payload: the count, the chain flags (0x200: closed), a real, a
// 32-bit value and the extras field (22 bytes), x and y of every point, and,
// when the extras field is greater than 0, three reals a point.
constexpr int16_t kChainKind = 28;
constexpr std::size_t kChainHead = 22;

int32_t read_i32(std::span<const unsigned char> bytes, std::size_t at) {
  int32_t v = 0;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

// Whether a chain written afresh gives back every field the stored one held
// beyond its points: the same head fields (the closed bit aside) and no
// extras.
bool chain_fields_kept(std::span<const unsigned char> stored_payload, std::span<const unsigned char> fresh_payload) {
  if (stored_payload.size() < kChainHead || fresh_payload.size() < kChainHead) return false;
  uint16_t a = 0, b = 0;
  std::memcpy(&a, stored_payload.data() + 4, 2);
  std::memcpy(&b, fresh_payload.data() + 4, 2);
  return (a & ~0x200) == (b & ~0x200) && std::memcmp(stored_payload.data() + 6, fresh_payload.data() + 6, 16) == 0 &&
         read_i32(stored_payload, 18) <= 0;
}

// A changed chain with as many points as it was stored with, in the same
// form (a point set: extras field 0; a polyline: any other), keeps its
// stored head fields and vertex extras around the kernel's points and
// closed bit. False (nothing appended) otherwise.
bool merge_chain(std::span<const unsigned char> stored_payload, std::span<const unsigned char> fresh_payload,
                 std::vector<unsigned char>& record) {
  if (stored_payload.size() < kChainHead || fresh_payload.size() < kChainHead) return false;
  const int32_t n = read_i32(stored_payload, 0);
  const int32_t stored_w = read_i32(stored_payload, 18), fresh_w = read_i32(fresh_payload, 18);
  if (n < 0 || read_i32(fresh_payload, 0) != n || (stored_w == 0) != (fresh_w == 0)) return false;
  const std::size_t points = std::size_t{16} * static_cast<uint32_t>(n);
  if (fresh_payload.size() != kChainHead + points || stored_payload.size() - kChainHead < points) return false;
  const std::size_t head_at = record.size();
  record.insert(record.end(), stored_payload.begin(), stored_payload.begin() + kChainHead);
  uint16_t flags = 0, fresh_flags = 0;
  std::memcpy(&flags, record.data() + head_at + 4, 2);
  std::memcpy(&fresh_flags, fresh_payload.data() + 4, 2);
  flags = static_cast<uint16_t>((flags & ~0x200) | (fresh_flags & 0x200));
  std::memcpy(record.data() + head_at + 4, &flags, 2);
  record.insert(record.end(), fresh_payload.begin() + kChainHead, fresh_payload.end());
  record.insert(record.end(), stored_payload.begin() + static_cast<std::ptrdiff_t>(kChainHead + points),
                stored_payload.end());
  return true;
}

// Where a record the writer made has its payload: behind the kind, the
// property block's flags and fixed fields, and the colour number when the
// flags announce one.
std::size_t fresh_payload_at(std::span<const unsigned char> fresh) {
  return stored_props_fields(fresh).flags == 0 ? 12 : 16;
}

// What a changed insert keeps of its stored payload (at `payload`, the
// insert's fields behind its property block): the attribute run, which
// follows the fields the mask announces, goes behind the fresh fields with
// the mask bit that announces it. The stored fields the kernel does not
// hold (mask bits 0, 4, 6 to 9) are not written again: they are counted.
void keep_insert_attributes(std::span<const unsigned char> payload, std::vector<unsigned char>& record,
                            std::size_t mask_at, SaveReport& report) {
  constexpr uint32_t kUnheld = 0x001 | 0x010 | 0x040 | 0x080 | 0x100 | 0x200;
  constexpr uint32_t kAttributes = 0x400;
  std::size_t at = 0;
  const auto fits = [&](std::size_t n) { return n <= payload.size() - at; };
  if (payload.size() < 28 || record.size() < mask_at + 4) return;
  uint32_t mask = 0;
  std::memcpy(&mask, payload.data(), 4);
  at = 28;  // the mask and the insertion point
  static constexpr struct {
    uint32_t bit;
    int size;  // -1: a counted string
  } kFields[] = {{0x001, 2}, {0x002, -1}, {0x004, 8}, {0x008, 8}, {0x010, 16},
                 {0x020, 8}, {0x040, 2}, {0x080, 2}, {0x100, 8}, {0x200, 8}};
  for (const auto& field : kFields) {
    if ((mask & field.bit) == 0) continue;
    std::size_t size = static_cast<std::size_t>(field.size);
    if (field.size < 0) {
      int16_t length = 0;
      if (!fits(2)) return;
      std::memcpy(&length, payload.data() + at, 2);
      if (length < 0) return;
      size = 2 + static_cast<std::size_t>(length);
    }
    if (!fits(size)) return;
    at += size;
  }
  if ((mask & kUnheld) != 0) report.lose(Loss::insert_field);
  if ((mask & kAttributes) == 0) return;
  uint32_t fresh_mask = 0;
  std::memcpy(&fresh_mask, record.data() + mask_at, 4);
  fresh_mask |= kAttributes;
  std::memcpy(record.data() + mask_at, &fresh_mask, 4);
  record.insert(record.end(), payload.begin() + static_cast<std::ptrdiff_t>(at), payload.end());
}

// What a stored record held that the record written afresh in its place does
// not give back, counted: the property block's fields beyond the layer and
// colour numbers, a colour by layer or by block (a fresh record stores the
// palette number of the value), and the payload of another kind (a
// four-string text becomes kind 7, a kind 13 polyline kind 28).
void note_fresh_losses(const KT_Drawable& d, const KT_Stored& s, std::span<const unsigned char> fresh,
                       SaveReport& report) {
  const std::span<const unsigned char> stored = s.bytes();
  const StoredPropsFields have = stored_props_fields(stored);
  if (have.flags & 0x0002) report.lose(Loss::line_type_number);
  if (have.flags & 0x0040) report.lose(Loss::extrusion);
  if (have.flags & 0x0080) report.lose(Loss::xdata_list);
  if (have.flags & 0x0800) report.lose(Loss::blob_list);
  if (have.flags & (0x0004 | 0x0008 | 0x0020 | 0x0100 | 0x0200 | 0x0400)) report.lose(Loss::property_value);
  // A colour number the drawable no longer holds was changed, not lost.
  const int16_t number = stored_color_number(stored);
  if (number != stored_color_number(fresh) && d.color_number == number) {
    if (number == 256) report.lose(Loss::by_layer_colour);
    else if (number == 0) report.lose(Loss::by_block_colour);
  }
  const int16_t kind = kind_of(stored);
  if (kind != kind_of(fresh)) report.lose(kind == 13 ? Loss::polyline_field : kind == 11 ? Loss::text_field : Loss::passed_record);
  else if (kind == kChainKind &&
           !chain_fields_kept(stored.subspan(std::min<std::size_t>(stored.size(), s.payload)),
                              fresh.subspan(std::min<std::size_t>(fresh.size(), fresh_payload_at(fresh)))))
    report.lose(Loss::polyline_field);
}

// A drawable changed after the load: its values in a record that keeps the
// stored property block (line type, extrusion, xdata, ...; its layer and
// colour numbers replaced when those changed) and, for records of fixed
// size and in the fixed part of texts and dimensions, the stored payload's
// fields the kernel does not hold (an insert: its attribute run, keep_insert_attributes). A
// record whose
// kind the writer writes otherwise, or a mirrored one, is written afresh.
void write_changed(TorvWriter& w, const KT_Drawable& d, const KT_Stored& s, SaveReport& report) {
  std::vector<unsigned char> fresh;
  TorvWriter scratch;
  scratch.memory = &fresh;
  scratch.drawing = w.drawing;
  write_record(scratch, d, report);
  writer_flush(scratch);
  const std::span<const unsigned char> stored = s.bytes();
  const StoredPropsFields have = stored_props_fields(stored);
  const StoredPropsFields made = stored_props_fields(fresh);
  const std::size_t fresh_payload = fresh_payload_at(fresh);
  // A colour by layer that still follows its layer is no change of the
  // record (its layer gives the value): a drawable moved to another layer
  // stays by layer.
  const bool follows_layer = d.color_number == 256 && stored_color_number(stored) == 256 &&
                             d.color == layer_color(w.drawing, d.layer);
  const bool layer_changed = d.layer != s.layer, color_changed = d.color != s.color && !follows_layer;
  const bool keeps = scratch.ok && fresh.size() >= fresh_payload && kind_of(fresh) == kind_of(stored) &&
                     !s.mirrored && s.payload <= stored.size() && (!layer_changed || have.layer_at >= 0) &&
                     (!color_changed || (have.color_at >= 0 && made.color_at >= 0));
  if (!keeps) {
    if (s.mirrored) report.lose(Loss::extrusion);
    else if (scratch.ok) note_fresh_losses(d, s, fresh, report);
    writer_put(w, fresh.data(), fresh.size());
    return;
  }
  std::vector<unsigned char> record(stored.begin(), stored.begin() + s.payload);
  const auto patch = [&](int at, int16_t value) { std::memcpy(record.data() + at, &value, 2); };
  if (layer_changed) patch(have.layer_at, static_cast<int16_t>(d.layer));
  if (color_changed) {
    int16_t number;
    std::memcpy(&number, fresh.data() + made.color_at, 2);
    // A drawable given back to its layer's colour is stored by layer.
    if (d.color_number == 256 && d.color == layer_color(w.drawing, d.layer)) number = 256;
    patch(have.color_at, number);
  }
  const std::span<const unsigned char> payload = std::span<const unsigned char>(fresh).subspan(fresh_payload);
  const std::span<const OwnedRange> owned = kernel_owned(kind_of(stored));
  const std::size_t stored_payload = stored.size() - s.payload;
  if (!owned.empty() && stored_payload == payload.size()) {
    record.insert(record.end(), stored.begin() + s.payload, stored.end());
    for (const OwnedRange& r : owned) std::memcpy(record.data() + s.payload + r.from, payload.data() + r.from, r.to - r.from);
  } else if (const FixedPart* f = fixed_part(kind_of(stored)); f != nullptr && stored_payload >= f->size && payload.size() >= f->size) {
    // The stored fixed part with the kernel's values in it (a text's
    // insertion z and second point, a dimension's point at 12, the fields
    // nobody reads stay), then the fresh strings.
    const auto size = static_cast<std::ptrdiff_t>(f->size);
    record.insert(record.end(), stored.begin() + s.payload, stored.begin() + s.payload + size);
    for (const OwnedRange& r : f->owned) std::memcpy(record.data() + s.payload + r.from, payload.data() + r.from, r.to - r.from);
    record.insert(record.end(), payload.begin() + size, payload.end());
  } else if (kind_of(stored) == kChainKind && merge_chain(stored.subspan(s.payload), payload, record)) {
    // The stored chain's fields around the kernel's points.
  } else {
    if (kind_of(stored) == kChainKind && !chain_fields_kept(stored.subspan(s.payload), payload))
      report.lose(Loss::polyline_field);
    record.insert(record.end(), payload.begin(), payload.end());
  }
  // An insert's attribute records stay with it.
  if (d.kind == KT_Drawable_Kind::insert) keep_insert_attributes(stored.subspan(s.payload), record, s.payload, report);
  writer_put(w, record.data(), record.size());
}

void write_drawable(TorvWriter& w, const KT_Drawable& d, SaveReport& report) {
  const KT_Stored* s = w.carried != nullptr ? w.carried->stored(d) : nullptr;
  if (s == nullptr) return write_record(w, d, report);
  if (s->digest == w.carried->digest(d)) return write_stored(w, *s);
  write_changed(w, d, *s, report);
}

// The carried records that made nothing, each written behind the drawable
// it followed (those whose drawable is gone at the end). They are in file
// order, so while the drawables are too (the count pass checks it) one
// cursor places them; an edited list is looked up by drawable.
class PassedRecords {
 public:
  PassedRecords(const TorvWriter& w, const KT_Block* block)
      : records_(w.carried != nullptr ? w.carried->passed(block) : std::span<const KT_Stored>()) {}
  std::size_t size() const { return records_.size(); }

  // The count pass: the list's start (null), then each drawable in order.
  void see(const KT_Drawable* d) {
    while (next_ < records_.size() && records_[next_].after == d) ++next_;
  }
  // Between the passes.
  void start_writing() {
    in_order_ = next_ == records_.size();
    next_ = 0;
    if (in_order_) return;
    written_.resize(records_.size());
    for (std::size_t i = records_.size(); i-- > 0;) first_after_[records_[i].after] = i;
  }
  void behind(TorvWriter& w, const KT_Drawable* d) {
    if (in_order_) {
      while (next_ < records_.size() && records_[next_].after == d) write_stored(w, records_[next_++]);
      return;
    }
    const auto it = first_after_.find(d);
    if (it == first_after_.end()) return;
    for (std::size_t i = it->second; i < records_.size() && records_[i].after == d; ++i) put(w, i);
  }
  void rest(TorvWriter& w) {
    if (in_order_) return;
    for (std::size_t i = 0; i < records_.size(); ++i) put(w, i);
  }

 private:
  void put(TorvWriter& w, std::size_t i) {
    if (written_[i]) return;
    written_[i] = true;
    write_stored(w, records_[i]);
  }
  std::span<const KT_Stored> records_;
  std::size_t next_ = 0;
  bool in_order_ = true;
  std::vector<bool> written_;
  std::unordered_map<const KT_Drawable*, std::size_t> first_after_;
};

}  // namespace

void write_entity_stream(TorvWriter& w, const KT_Entity_List& list, const KT_Block* block, SaveReport& report) {
  const bool model_space = block == nullptr;
  PassedRecords passed(w, block);
  // A drawable read from a record goes back to one (a four-string text in
  // a block included: its record made it).
  const auto written_as_record = [&](const KT_Drawable& d) {
    return loader_creates(d, model_space) || (w.carried != nullptr && w.carried->stored(d) != nullptr);
  };
  uint64_t count = passed.size();
  passed.see(nullptr);
  for (const KT_Drawable* d = list.first; d != nullptr; d = d->next) {
    if (written_as_record(*d)) ++count;
    passed.see(d);
  }
  passed.start_writing();
  if (count > std::numeric_limits<uint32_t>::max()) {
    w.ok = false;  // more records than a stream counts
    return;
  }
  write_int32(w, static_cast<int32_t>(static_cast<uint32_t>(count)));
  uint32_t written = 0;
  passed.behind(w, nullptr);
  for (const KT_Drawable* d = list.first; d != nullptr && w.ok; d = d->next) {
    if (!written_as_record(*d)) {
      report.lose(Loss::hidden_text);
    } else {
      write_drawable(w, *d, report);
      ++written;
    }
    passed.behind(w, d);
  }
  passed.rest(w);
  report.entities += written;
}
