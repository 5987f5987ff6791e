// trv info: what a loaded file holds, as one value (schema in docs/INFO.md);
// the text is written from that value.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>

#include "format/stored_props.h"
#include "host/zirida_host.h"
#include "kernel/collections.h"
#include "tools/trv/drawing_doubts.h"
#include "tools/trv/info.h"
#include "view/extents.h"
#include "view/kind_names.h"
#include "view/ranges.h"
#include "view/stored_entity.h"

using kttrv::view::Extents;
using kttrv::view::kMaxVisits;
using nlohmann::json;

namespace trv {

namespace {

// Drawables counted by kind, then named: one map entry per kind present.
constexpr int kDrawableKinds = static_cast<int>(KT_Drawable_Kind::point_set) + 1;
using KindCounts = std::array<long, kDrawableKinds>;

void count_kinds(const KT_Entity_List& list, KindCounts& into) {
  for (const KT_Drawable& d : kttrv::view::drawables_of(list)) ++into[static_cast<int>(d.kind)];
}

std::map<std::string, long> by_kind_name(const KindCounts& counts) {
  std::map<std::string, long> named;
  for (int k = 0; k < kDrawableKinds; ++k)
    if (counts[k] > 0) named[std::string(kttrv::view::kind_name(static_cast<KT_Drawable_Kind>(k)))] += counts[k];
  return named;
}

std::map<std::string, long> drawables_by_kind(const KT_Entity_List& list) {
  KindCounts counts{};
  count_kinds(list, counts);
  return by_kind_name(counts);
}

std::map<std::string, long> block_drawables(const KT_Drawing& d) {
  KindCounts counts{};
  for (const KT_Block& block : kttrv::view::blocks_of(d)) count_kinds(block.entities, counts);
  return by_kind_name(counts);
}

std::string kind_label(int slot) {
  return slot == LoadStats::kKinds - 1 ? "other" : std::to_string(slot);
}

json number(double v) { return std::isfinite(v) ? json(v) : json(nullptr); }

json extents_json(const Extents& e) {
  if (e.empty) return nullptr;
  return {{"min", {number(e.min.x), number(e.min.y), number(e.min.z)}},
          {"max", {number(e.max.x), number(e.max.y), number(e.max.z)}}};
}

// What the load carried beside the drawing: the attribute records of its
// inserts, the xdata items of its drawables' records, and the entity records
// that made nothing; null when the load kept no stored records.
json counts_json(const CarriedCounts& c) {
  return {{"attributes", c.attributes}, {"xdata_items", c.xdata_items}, {"passed_records", c.passed_records}};
}

json carried_json(const KT_Drawing& d) {
  const KT_Carried* carried = zirida_carried(d);
  if (carried == nullptr) return nullptr;
  long attributes = 0, xdata_items = 0;
  long passed = static_cast<long>(carried->passed(nullptr).size());
  const auto count = [&](const KT_Entity_List& list) {
    for (const KT_Drawable& drawable : kttrv::view::drawables_of(list))
      if (const KT_Stored* stored = carried->stored(drawable)) {
        // Only an insert's record holds attributes, only one with flag bit 7
        // xdata: the others need no reading.
        const std::span<const unsigned char> bytes = stored->bytes();
        if ((stored_props_fields(bytes).flags & 0x0080) == 0 && drawable.kind != KT_Drawable_Kind::insert) continue;
        const kttrv::view::StoredEntity e = kttrv::view::decode_stored_entity(stored->bytes());
        attributes += static_cast<long>(e.attributes.size());
        xdata_items += static_cast<long>(e.xdata.size());
      }
  };
  count(d.model_space);
  for (const KT_Block& block : kttrv::view::blocks_of(d)) {
    count(block.entities);
    passed += static_cast<long>(carried->passed(&block).size());
  }
  return {{"attributes", attributes}, {"xdata_items", xdata_items}, {"passed_records", passed}};
}

// How many strings of the drawing are no text in the encoding, and where
// the first is.
json encoding_json(const KT_Drawing& d, const kttrv::view::TextEncoding& encoding) {
  long strings = 0, invalid = 0;
  std::string first;
  for_each_string(d, [&](std::string_view bytes, const std::function<std::string()>& place) {
    ++strings;
    if (encoding.valid(bytes)) return;
    if (invalid++ == 0) first = place();
  });
  return {{"name", encoding.name()},
          {"strings", strings},
          {"invalid", invalid},
          {"first_invalid", invalid > 0 ? json(first) : json(nullptr)}};
}

}  // namespace

json info_summary(const LoadedFile& f, const kttrv::view::TextEncoding& encoding) {
  // Legacy files have no generation (-1).
  json j = {{"file", f.path},
            {"bytes", f.file.size},
            {"version", bytes_to_utf8(f.file.version.c_str())},
            {"legacy", f.file.legacy},
            {"generation", f.file.generation >= 0 ? json(f.file.generation) : json(nullptr)},
            {"loaded", f.loaded},
            {"complete", f.complete()},
            {"damage", f.damage},
            {"failure", f.loaded ? json(nullptr) : json(f.failure)}};
  if (!f.loaded) return j;
  const KT_Drawing& d = *f.drawing;
  j["layers"] = count_collection(d.layers);
  j["text_styles"] = count_collection(d.text_styles);
  j["dim_styles"] = count_collection(d.dim_styles);
  j["line_types"] = count_collection(d.line_types);
  j["blocks"] = count_collection(d.blocks);
  j["drawables"] = {{"model_space", drawables_by_kind(d.model_space)}, {"blocks", block_drawables(d)}};
  json records = json::object();
  for (int k = 0; k < LoadStats::kKinds; ++k) {
    const EntityRecordTally& t = f.stats.by_kind[k];
    if (t.read == 0) continue;
    records[kind_label(k)] = {{"name", k == LoadStats::kKinds - 1 ? "unknown" : record_kind_name(k)},
                              {"read", t.read},
                              {"created", t.created},
                              {"passed_over", t.passed_over},
                              {"cut", t.cut}};
  }
  j["entity_records"] = {{"by_kind", records}, {"not_reached", f.stats.not_reached}};
  json not_kept = json::object();
  for (std::size_t k = 0; k < kLossKinds; ++k) {
    const auto what = static_cast<Loss>(k);
    if (f.losses.count(what) == 0) continue;
    const LossPlace& at = f.losses.first[k];
    not_kept[loss_name(what)] = {{"count", f.losses.count(what)},
                                 {"section", at.section},
                                 {"record", at.record},
                                 {"offset", at.offset}};
  }
  j["not_kept"] = not_kept;
  j["carried"] = f.carried_counts ? counts_json(*f.carried_counts) : carried_json(d);
  kttrv::view::WalkOptions walk;
  walk.budget = kttrv::view::work_budget(f.file.size);  // a blow-up of nested inserts stops in seconds
  const Extents extents = kttrv::view::model_space_extents(d, walk);
  j["extents"] = extents_json(extents);
  j["extents_complete"] = !extents.cut;
  j["encoding"] = encoding_json(d, encoding);
  return j;
}

namespace {

std::string list_text(const std::map<std::string, long>& by_kind) {
  std::string s;
  long total = 0;
  for (const auto& [kind, n] : by_kind) {
    s += (s.empty() ? "" : ", ") + kind + " " + std::to_string(n);
    total += n;
  }
  return std::to_string(total) + (s.empty() ? "" : " (" + s + ")");
}

}  // namespace

void print_info_text(const json& j) {
  std::printf("file:        %s (%s bytes)\n", j["file"].get<std::string>().c_str(), j["bytes"].dump().c_str());
  const std::string generation = j["legacy"].get<bool>() ? "legacy"
                                 : j["generation"].is_null() ? "unknown"
                                                             : "generation " + j["generation"].dump();
  std::printf("version:     %s (%s)\n", j["version"].dump().c_str(), generation.c_str());
  if (!j["loaded"].get<bool>()) {
    std::printf("load:        failed: %s\n", j["failure"].get<std::string>().c_str());
    return;
  }
  const auto& damage = j["damage"];
  const long not_reached = j["entity_records"]["not_reached"].get<long>();
  if (j["complete"].get<bool>()) std::printf("load:        complete\n");
  else std::printf("load:        damaged: %zu section(s) stopped early\n", damage.size());
  for (const auto& line : damage) std::printf("  %s\n", line.get<std::string>().c_str());
  std::printf("tables:      layers %ld, text styles %ld, dimension styles %ld, line types %ld, blocks %ld\n",
              j["layers"].get<long>(), j["text_styles"].get<long>(), j["dim_styles"].get<long>(),
              j["line_types"].get<long>(), j["blocks"].get<long>());
  const auto by_kind = [](const json& o) { return o.get<std::map<std::string, long>>(); };
  std::printf("model space: %s\n", list_text(by_kind(j["drawables"]["model_space"])).c_str());
  std::printf("in blocks:   %s\n", list_text(by_kind(j["drawables"]["blocks"])).c_str());
  const auto& records = j["entity_records"]["by_kind"];
  if (j["legacy"].get<bool>()) {
    std::printf("entity records: not read for legacy files (trv info --directory lists them)\n");
  } else {
    std::printf("entity records (model space and blocks):\n");
    std::printf("  %5s %-17s %9s %9s %11s %6s\n", "kind", "", "read", "created", "passed over", "cut");
    // Kinds in numeric order; "other" (codes beyond 127) last.
    std::vector<std::pair<int, const json*>> sorted;
    for (const auto& [kind, t] : records.items())
      sorted.emplace_back(kind == "other" ? LoadStats::kKinds : std::stoi(kind), &t);
    std::sort(sorted.begin(), sorted.end());
    for (const auto& [code, t_ptr] : sorted) {
      const json& t = *t_ptr;
      const std::string kind = code == LoadStats::kKinds ? "other" : std::to_string(code);
      std::printf("  %5s %-17s %9ld %9ld %11ld %6ld\n", kind.c_str(), t["name"].get<std::string>().c_str(),
                  t["read"].get<long>(), t["created"].get<long>(), t["passed_over"].get<long>(),
                  t["cut"].get<long>());
    }
    if (not_reached > 0) std::printf("  %ld record(s) never reached: an earlier record was cut short\n", not_reached);
  }
  // The encoding is named when it was chosen or when strings are no text in it.
  if (const json& t = j["encoding"]; t["invalid"].get<long>() > 0) {
    std::printf("text:        %ld of %ld string(s) not valid in %s (first: %s)\n", t["invalid"].get<long>(),
                t["strings"].get<long>(), t["name"].get<std::string>().c_str(),
                t["first_invalid"].get<std::string>().c_str());
  } else if (t["name"] != "latin1") {
    std::printf("text:        %ld string(s), all valid in %s\n", t["strings"].get<long>(),
                t["name"].get<std::string>().c_str());
  }
  std::string not_kept;
  for (const auto& [what, n] : j["not_kept"].items())
    not_kept += (not_kept.empty() ? "" : ", ") + n["count"].dump() + " " + what;
  std::printf("read but not kept: %s\n", not_kept.empty() ? "nothing" : not_kept.c_str());
  if (const json& c = j["carried"]; c.is_null()) {
    std::printf("carried:     nothing (the load kept no stored records)\n");
  } else {
    std::printf("carried:     %ld attribute(s), %ld xdata item(s), %ld record(s) that made nothing\n",
                c["attributes"].get<long>(), c["xdata_items"].get<long>(), c["passed_records"].get<long>());
  }
  const auto& e = j["extents"];
  if (e.is_null()) {
    std::printf("extents:     none (nothing in the model space)\n");
  } else {
    std::printf("extents:     x %s .. %s, y %s .. %s, z %s .. %s\n", e["min"][0].dump().c_str(),
                e["max"][0].dump().c_str(), e["min"][1].dump().c_str(), e["max"][1].dump().c_str(),
                e["min"][2].dump().c_str(), e["max"][2].dump().c_str());
  }
  if (!j["extents_complete"].get<bool>())
    std::printf("             of the walk's first %ld drawables or %lld units of work only (a drawable or a vertex\n"
                "             each; inserts through their blocks): it stops there\n",
                kMaxVisits, kttrv::view::work_budget(j["bytes"].get<unsigned long long>()));
}

}  // namespace trv
