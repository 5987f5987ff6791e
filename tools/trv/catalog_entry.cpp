#include "tools/trv/catalog_entry.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "host/zirida_host.h"
#include "kernel/collections.h"
#include "tools/trv/cli_support.h"
#include "view/drawables.h"
#include "view/extents.h"
#include "view/layer_index.h"
#include "view/ranges.h"
#include "view/stored_entity.h"

using nlohmann::json;

namespace trv::catalog {

namespace {

constexpr std::size_t kHashBuffer = std::size_t{256} << 10;
constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;

std::uint64_t mix(std::uint64_t h) {
  h ^= h >> 32;
  h *= 0xD6E8FEB86659FD93ull;
  h ^= h >> 32;
  return h;
}

std::string hex64(std::uint64_t v) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
  return text;
}

json name_or_null(const char* s) { return s == nullptr ? json(nullptr) : json(bytes_to_utf8(s)); }
// A table entry's name: the kernel gives every entry one; none reads as empty.
json name_of(const char* s) { return s == nullptr ? json("") : json(bytes_to_utf8(s)); }

// What one walk over the model space and the blocks gathers.
struct Gathered {
  std::vector<long> layer_drawables;       // by layer number
  std::map<std::string, long> inserts;     // by block name, as the inserts name it
  json texts = json::array();
  long text_count = 0, insert_count = 0, attribute_count = 0;
};

class Gatherer {
 public:
  Gatherer(const KT_Drawing& d, Gathered& into)
      : layers_(d), carried_(zirida_carried(d)), into_(into) {
    into_.layer_drawables.assign(layers_.size(), 0);
  }

  // Every drawable of list; block: the block it belongs to (null: the model space).
  void list(const KT_Entity_List& list, const KT_Block* block) {
    const json block_name = block == nullptr ? json(nullptr) : name_or_null(block->name);
    for (const KT_Drawable& d : kttrv::view::drawables_of(list)) {
      if (d.layer >= 0 && static_cast<std::size_t>(d.layer) < into_.layer_drawables.size())
        ++into_.layer_drawables[static_cast<std::size_t>(d.layer)];
      kttrv::view::visit(d, kttrv::view::Overloads{
                                [&](const KT_Text_Entity& t) { text(t, block_name); },
                                [&](const KT_Insert_Entity& i) { insert(i); },
                                [](const auto&) {},
                            });
    }
  }

 private:
  json layer_name(long number) const {
    const KT_Layer* layer = layers_.find(number);
    return layer == nullptr ? json(nullptr) : name_or_null(layer->name);
  }

  void text(const KT_Text_Entity& t, const json& block_name) {
    if (t.text == nullptr) return;
    ++into_.text_count;
    into_.texts.push_back({"text", bytes_to_utf8(t.text), layer_name(t.layer), block_name, nullptr,
                           name_or_null(t.style), t.at.x, t.at.y, t.at.z, t.height});
  }

  // The insert's block is counted; the values of its attribute records
  // (their third strings; the first is the tag) are texts of that block.
  void insert(const KT_Insert_Entity& i) {
    ++into_.insert_count;
    const std::string block = i.block_name == nullptr ? std::string() : bytes_to_utf8(i.block_name);
    ++into_.inserts[block];
    if (carried_ == nullptr) return;
    const KT_Stored* stored = carried_->stored(i);
    if (stored == nullptr) return;
    for (const kttrv::view::StoredAttribute& a : kttrv::view::decode_stored_entity(stored->bytes()).attributes) {
      if (!a.strings[2] || a.strings[2]->empty()) continue;
      ++into_.attribute_count;
      into_.texts.push_back({"attribute", bytes_to_utf8(a.strings[2]->c_str()), layer_name(i.layer),
                             i.block_name == nullptr ? json(nullptr) : json(block),
                             a.strings[0] ? json(bytes_to_utf8(a.strings[0]->c_str())) : json(nullptr), nullptr,
                             a.point[0], a.point[1], nullptr, a.height});
    }
  }

  kttrv::view::LayerIndex layers_;
  const KT_Carried* carried_;
  Gathered& into_;
};

// file_bytes: the file's size, which sets the extents walk's work budget as
// it does trv info's.
void add_drawing(const KT_Drawing& d, std::int64_t file_bytes, json& e) {
  Gathered g;
  Gatherer gatherer(d, g);
  gatherer.list(d.model_space, nullptr);
  long model_space = 0;
  for ([[maybe_unused]] const KT_Drawable& x : kttrv::view::drawables_of(d.model_space)) ++model_space;
  long in_blocks = 0;
  std::vector<long> block_drawables;
  for (const KT_Block& b : kttrv::view::blocks_of(d)) {
    gatherer.list(b.entities, &b);
    long n = 0;
    for ([[maybe_unused]] const KT_Drawable& x : kttrv::view::drawables_of(b.entities)) ++n;
    block_drawables.push_back(n);
    in_blocks += n;
  }

  // Tables, and their names as searchable texts.
  json layers = json::array(), styles = json::array(), blocks = json::array();
  long number = 0;
  for (const KT_Layer& l : kttrv::view::layers_of(d)) {
    const json name = name_of(l.name);
    layers.push_back({number, name, l.color, l.line_type, l.on, g.layer_drawables[static_cast<std::size_t>(number)]});
    g.texts.push_back({"layer", name, name, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr});
    ++number;
  }
  number = 0;
  for (const KT_Text_Style& s : kttrv::view::text_styles_of(d)) {
    const json name = name_of(s.name);
    styles.push_back({number++, name, name_or_null(s.font_file), name_or_null(s.big_font_file), s.reals[0]});
    g.texts.push_back({"style", name, nullptr, nullptr, nullptr, name, nullptr, nullptr, nullptr, nullptr});
  }
  number = 0;
  for (const KT_Block& b : kttrv::view::blocks_of(d)) {
    const json name = name_of(b.name);
    const auto used = g.inserts.find(name.get<std::string>());
    blocks.push_back({number, name, name_or_null(b.description), b.base.x, b.base.y, b.base.z,
                      block_drawables[static_cast<std::size_t>(number)], used == g.inserts.end() ? 0 : used->second});
    g.texts.push_back({"block", name, nullptr, name, nullptr, nullptr, b.base.x, b.base.y, b.base.z, nullptr});
    ++number;
  }

  kttrv::view::WalkOptions walk;
  walk.budget = kttrv::view::work_budget(static_cast<unsigned long long>(std::max<std::int64_t>(file_bytes, 0)));
  const kttrv::view::Extents extents = kttrv::view::model_space_extents(d, walk);
  e["extents"] = extents.empty ? json(nullptr)
                               : json{extents.min.x, extents.min.y, extents.min.z,
                                      extents.max.x, extents.max.y, extents.max.z};
  e["extents_complete"] = !extents.cut;
  e["counts"] = {count_collection(d.layers), count_collection(d.text_styles), count_collection(d.blocks),
                 model_space, in_blocks, g.text_count, g.insert_count, g.attribute_count};
  e["layers"] = std::move(layers);
  e["text_styles"] = std::move(styles);
  e["blocks"] = std::move(blocks);
  e["texts"] = std::move(g.texts);
}

}  // namespace

std::optional<std::string> file_hash(const std::string& path, std::string& problem) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) {
    problem = std::strerror(errno);
    return std::nullopt;
  }
  // Eight bytes at a time, each word multiplied in; the tail and the length last.
  // One buffer for every file a process hashes, never cleared.
  static thread_local std::unique_ptr<unsigned char[]> buffer_memory(new unsigned char[kHashBuffer]);
  const std::span<unsigned char> buffer(buffer_memory.get(), kHashBuffer);
  std::uint64_t h = 0x6A09E667F3BCC908ull, length = 0;
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f.get());
    if (n == 0) break;
    length += n;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, buffer.data() + i, 8);
      h = (h ^ mix(w)) * kMultiplier;
    }
    std::uint64_t tail = 0;
    for (std::size_t k = 0; i + k < n; ++k) tail |= std::uint64_t{buffer[i + k]} << (8 * k);
    if (i < n) h = (h ^ mix(tail ^ 0xFF)) * kMultiplier;
    if (n < buffer.size() && !std::ferror(f.get())) break;
  }
  if (std::ferror(f.get())) {
    problem = std::strerror(errno);
    return std::nullopt;
  }
  return hex64(mix(h ^ length));
}

nlohmann::json read_entry(const FoundFile& file, const std::string& known_hash) {
  json e = {{"path", file.path}, {"size", file.size}, {"mtime_ns", file.mtime_ns}};
  std::string problem;
  const std::optional<std::string> hash = file_hash(file.path, problem);
  e["hash"] = hash.value_or("");
  if (hash && !known_hash.empty() && *hash == known_hash) {
    e["same"] = true;
    return e;
  }
  const auto fail = [&e](const std::string& why) {
    e.update({{"version", ""}, {"generation", nullptr}, {"legacy", false}, {"loaded", false}, {"complete", false},
              {"failure", why}, {"damage", json::array()}, {"not_kept", json::object()}});
    return e;
  };
  if (!hash) return fail(problem);

  LoadRequest request;
  request.count_records = true;
  request.note_losses = true;
  request.quiet_error = true;
  request.carry = true;
  auto drawing = std::make_unique<KT_Drawing>();
  const kttrv::LoadResult result = load_drawing(file.path, *drawing, request);
  e["version"] = bytes_to_utf8(result.file.version.c_str());
  e["legacy"] = result.file.legacy;
  e["generation"] = result.file.generation >= 0 ? json(result.file.generation) : json(nullptr);
  if (!result.loaded) {
    const json identity = {e["version"], e["legacy"], e["generation"]};
    fail(result.failure);
    e["version"] = identity[0];
    e["legacy"] = identity[1];
    e["generation"] = identity[2];
    return e;
  }
  const std::vector<std::string> damage = damage_lines(result);
  e["loaded"] = true;
  e["complete"] = damage.empty() && result.tally.not_reached == 0;
  e["failure"] = nullptr;
  e["damage"] = damage;
  json not_kept = json::object();
  for (std::size_t k = 0; k < kLossKinds; ++k) {
    const auto what = static_cast<Loss>(k);
    if (result.losses.count(what) > 0) not_kept[loss_name(what)] = result.losses.count(what);
  }
  e["not_kept"] = std::move(not_kept);
  add_drawing(*drawing, file.size, e);
  return e;
}

namespace {

class Encoder {
 public:
  void byte(unsigned char b) { out_.push_back(b); }
  template <class T>
  void fixed(T v) {
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &v, sizeof(T));
    out_.insert(out_.end(), raw, raw + sizeof(T));
  }
  void text(std::string_view s) {
    byte(static_cast<unsigned char>(EntryReader::Tag::text));
    fixed(static_cast<std::uint32_t>(s.size()));
    out_.insert(out_.end(), s.begin(), s.end());
  }
  void value(const json& v) {
    using Tag = EntryReader::Tag;
    if (v.is_null()) {
      byte(static_cast<unsigned char>(Tag::null));
    } else if (v.is_boolean() || v.is_number_integer()) {
      byte(static_cast<unsigned char>(Tag::integer));
      fixed<std::int64_t>(v.is_boolean() ? (v.get<bool>() ? 1 : 0) : v.get<std::int64_t>());
    } else if (v.is_number()) {
      byte(static_cast<unsigned char>(Tag::real));
      fixed(v.get<double>());
    } else if (v.is_string()) {
      text(v.get_ref<const std::string&>());
    } else {
      text(v.dump(-1, ' ', false, json::error_handler_t::replace));
    }
  }
  std::vector<unsigned char> take() { return std::move(out_); }

 private:
  std::vector<unsigned char> out_;
};

}  // namespace

std::vector<unsigned char> encode_entry(const json& e) {
  Encoder out;
  if (e.value("same", false)) {
    out.byte('S');
    return out.take();
  }
  out.byte('E');
  static constexpr const char* kFields[] = {"path", "size", "mtime_ns", "hash", "version", "generation",
                                            "legacy", "loaded", "complete", "failure", "damage", "not_kept"};
  for (const char* field : kFields) out.value(e.value(field, json()));
  const json extents = e.value("extents", json());
  for (std::size_t k = 0; k < 6; ++k) out.value(extents.is_array() ? extents[k] : json());
  out.value(e.value("extents_complete", json()));
  const json counts = e.value("counts", json());
  for (std::size_t k = 0; k < 8; ++k) out.value(counts.is_array() ? counts[k] : json());
  for (const char* table : {"layers", "text_styles", "blocks", "texts"}) {
    const auto found = e.find(table);
    const json none = json::array();
    const json& rows = found == e.end() ? none : *found;
    out.fixed(static_cast<std::uint32_t>(rows.size()));
    out.fixed(static_cast<std::uint32_t>(rows.empty() ? 0 : rows[0].size()));
    for (const json& row : rows)
      for (const json& v : row) out.value(v);
  }
  return out.take();
}

}  // namespace trv::catalog
