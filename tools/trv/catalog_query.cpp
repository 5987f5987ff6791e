// trv catalog search, stats and merge: read one catalogue, or join several
// into one.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/trv/catalog.h"
#include "tools/trv/catalog_db.h"
#include "tools/trv/cli_support.h"

using nlohmann::json;

namespace trv::catalog {

namespace {

json nullable_text(const Statement& s, int column) { return s.is_null(column) ? json(nullptr) : json(s.text(column)); }
json nullable_real(const Statement& s, int column) { return s.is_null(column) ? json(nullptr) : json(s.real(column)); }

std::string real_text(const Statement& s, int column) {
  if (s.is_null(column)) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", s.real(column));
  return text;
}

std::string or_dash(const Statement& s, int column) { return s.is_null(column) ? "-" : s.text(column); }

}  // namespace

int run_search(const SearchOptions& o) {
  Database db(o.archive, Database::Mode::read);
  // The index's own order (by string, then text row) lets a limit stop early.
  Statement s(db.handle(),
              "SELECT f.path, t.layer, t.kind, t.text, t.x, t.y, t.z, t.block, t.tag "
              "FROM search JOIN texts t ON t.string_id = search.rowid JOIN files f ON f.id = t.file_id "
              "WHERE search MATCH ?1 ORDER BY search.rowid LIMIT ?2");
  s.bind(1, std::string_view(o.query)).bind(2, std::int64_t{o.limit > 0 ? o.limit : -1});
  long hits = 0;
  try {
    while (s.step()) {
      ++hits;
      if (o.json) {
        json position = nullptr;
        if (!s.is_null(4)) position = {nullable_real(s, 4), nullable_real(s, 5), nullable_real(s, 6)};
        const json hit = {{"file", s.text(0)},       {"layer", nullable_text(s, 1)}, {"kind", s.text(2)},
                          {"text", s.text(3)},       {"position", position},         {"block", nullable_text(s, 7)},
                          {"tag", nullable_text(s, 8)}};
        std::cout << hit.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
      } else {
        std::cout << s.text(0) << '\t' << or_dash(s, 1) << '\t' << s.text(2) << '\t' << s.text(3) << '\t'
                  << (s.is_null(4) ? std::string("-")
                                   : real_text(s, 4) + "," + real_text(s, 5) + "," + real_text(s, 6))
                  << '\n';
      }
    }
  } catch (const CatalogError& e) {
    if (hits == 0) {
      error("catalog search: " + o.query + ": " + e.what());
      return 2;
    }
    throw;
  }
  std::cout.flush();
  return hits > 0 ? 0 : 1;
}

int run_stats(const std::string& archive, long top, bool as_json) {
  Database db(archive, Database::Mode::read);
  const std::int64_t limit = top > 0 ? top : -1;
  json j;
  {
    Statement s(db.handle(),
                "SELECT count(*), total(loaded), total(complete), total(loaded AND NOT complete), "
                "total(text_count), total(attribute_count), total(insert_count) FROM files");
    s.step();
    j["files"] = s.integer(0);
    j["loaded"] = static_cast<std::int64_t>(s.real(1));
    j["complete"] = static_cast<std::int64_t>(s.real(2));
    j["damaged"] = static_cast<std::int64_t>(s.real(3));
    j["not_loaded"] = s.integer(0) - static_cast<std::int64_t>(s.real(1));
    j["texts"] = static_cast<std::int64_t>(s.real(4));
    j["attributes"] = static_cast<std::int64_t>(s.real(5));
    j["inserts"] = static_cast<std::int64_t>(s.real(6));
    s.run();
  }
  j["by_version"] = json::array();
  {
    Statement s(db.handle(), "SELECT version, count(*) FROM files GROUP BY version ORDER BY count(*) DESC, version");
    while (s.step()) j["by_version"].push_back({{"version", s.text(0)}, {"files", s.integer(1)}});
  }
  j["not_whole"] = json::array();
  {
    Statement s(db.handle(),
                "SELECT path, loaded, coalesce(failure, json_extract(damage, '$[0]'), 'records not reached') "
                "FROM files WHERE NOT complete ORDER BY path LIMIT ?1");
    s.bind(1, limit);
    while (s.step())
      j["not_whole"].push_back({{"file", s.text(0)}, {"loaded", s.integer(1) != 0}, {"reason", s.text(2)}});
  }
  j["blocks"] = json::array();
  {
    Statement s(db.handle(),
                "SELECT name, sum(inserts), count(*) FROM blocks GROUP BY name "
                "ORDER BY sum(inserts) DESC, name LIMIT ?1");
    s.bind(1, limit);
    while (s.step()) j["blocks"].push_back({{"name", s.text(0)}, {"inserts", s.integer(1)}, {"files", s.integer(2)}});
  }
  j["layers"] = json::array();
  {
    Statement s(db.handle(),
                "SELECT name, sum(drawables), count(*) FROM layers GROUP BY name "
                "ORDER BY sum(drawables) DESC, name LIMIT ?1");
    s.bind(1, limit);
    while (s.step())
      j["layers"].push_back({{"name", s.text(0)}, {"drawables", s.integer(1)}, {"files", s.integer(2)}});
  }
  if (as_json) {
    std::cout << j.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
    return 0;
  }
  std::printf("files:       %lld (%lld complete, %lld damaged, %lld not loaded)\n",
              static_cast<long long>(j["files"].get<std::int64_t>()),
              static_cast<long long>(j["complete"].get<std::int64_t>()),
              static_cast<long long>(j["damaged"].get<std::int64_t>()),
              static_cast<long long>(j["not_loaded"].get<std::int64_t>()));
  std::printf("contents:    %lld texts, %lld attribute values, %lld inserts\n",
              static_cast<long long>(j["texts"].get<std::int64_t>()),
              static_cast<long long>(j["attributes"].get<std::int64_t>()),
              static_cast<long long>(j["inserts"].get<std::int64_t>()));
  std::printf("by version:\n");
  for (const json& v : j["by_version"])
    std::printf("  %8lld  %s\n", static_cast<long long>(v["files"].get<std::int64_t>()),
                v["version"].get<std::string>().c_str());
  std::printf("damaged or not loaded:%s\n", j["not_whole"].empty() ? " none" : "");
  for (const json& f : j["not_whole"])
    std::printf("  %s: %s%s\n", f["file"].get<std::string>().c_str(), f["loaded"].get<bool>() ? "damaged: " : "",
                f["reason"].get<std::string>().c_str());
  std::printf("most inserted blocks:%s\n", j["blocks"].empty() ? " none" : "");
  for (const json& b : j["blocks"])
    std::printf("  %8lld inserts in %lld files  %s\n", static_cast<long long>(b["inserts"].get<std::int64_t>()),
                static_cast<long long>(b["files"].get<std::int64_t>()), b["name"].get<std::string>().c_str());
  std::printf("most used layers:%s\n", j["layers"].empty() ? " none" : "");
  for (const json& l : j["layers"])
    std::printf("  %8lld drawables in %lld files  %s\n", static_cast<long long>(l["drawables"].get<std::int64_t>()),
                static_cast<long long>(l["files"].get<std::int64_t>()), l["name"].get<std::string>().c_str());
  return 0;
}

namespace {

// The columns each table copies, the file's column first.
constexpr const char* kFileColumns =
    "path, size, mtime_ns, hash, version, generation, legacy, loaded, complete, failure, damage, not_kept, "
    "min_x, min_y, min_z, max_x, max_y, max_z, extents_complete, layer_count, text_style_count, block_count, "
    "drawable_count, block_drawable_count, text_count, insert_count, attribute_count";
struct Child {
  const char* table;
  const char* columns;  // behind file_id
  const char* order;
};
constexpr Child kChildren[] = {
    {"layers", "number, name, color, line_type, is_on, drawables", "x.file_id, x.number"},
    {"text_styles", "number, name, font_file, big_font_file, height", "x.file_id, x.number"},
    {"blocks", "number, name, description, base_x, base_y, base_z, drawables, inserts", "x.file_id, x.number"},
};
constexpr const char* kTextColumns = "kind, text, layer, block, tag, style, x, y, z, height";

}  // namespace

// Each part's files replace those of the same path; the rows of a file come
// over in one transaction per part.
int run_merge(const std::string& out, const std::vector<std::string>& parts) {
  Database db(out, Database::Mode::write);
  for (const std::string& part : parts) {
    std::error_code ec;
    if (std::filesystem::equivalent(out, part, ec))
      throw CatalogError(part + ": is the catalogue merged into; give it once, as OUT");
    { Database check(part, Database::Mode::read); }  // a catalogue of this schema, or an error naming it
    Statement attach(db.handle(), "ATTACH DATABASE ?1 AS part");
    attach.bind(1, std::string_view(part)).run();
    try {
      db.exec("BEGIN IMMEDIATE");
      db.exec("CREATE TEMP TABLE IF NOT EXISTS moved (old INTEGER PRIMARY KEY, new INTEGER NOT NULL);"
              "DELETE FROM moved;"
              "INSERT INTO moved SELECT p.id, m.id FROM part.files p JOIN main.files m ON m.path = p.path;");
      for (const Child& c : kChildren)
        db.exec((std::string("DELETE FROM main.") + c.table + " WHERE file_id IN (SELECT new FROM moved)").c_str());
      db.exec("DELETE FROM main.texts WHERE file_id IN (SELECT new FROM moved)");
      db.exec("DELETE FROM main.files WHERE id IN (SELECT new FROM moved); DELETE FROM moved;");
      db.exec((std::string("INSERT INTO main.files (") + kFileColumns + ") SELECT " + kFileColumns +
               " FROM part.files ORDER BY id;"
               "INSERT INTO moved SELECT p.id, m.id FROM part.files p JOIN main.files m ON m.path = p.path;")
                  .c_str());
      for (const Child& c : kChildren) {
        std::string columns = c.columns, prefixed;
        for (std::size_t at = 0; at <= columns.size();) {
          const std::size_t comma = std::min(columns.find(", ", at), columns.size());
          prefixed += (prefixed.empty() ? "" : ", ") + std::string("x.") + columns.substr(at, comma - at);
          at = comma + 2;
        }
        db.exec((std::string("INSERT INTO main.") + c.table + " (file_id, " + columns + ") SELECT moved.new, " +
                 prefixed + " FROM part." + c.table + " x JOIN moved ON moved.old = x.file_id ORDER BY " + c.order)
                    .c_str());
      }
      // The part's strings that are new here, indexed in one statement;
      // then its texts, each with the id its string has here.
      Statement last(db.handle(), "SELECT coalesce(max(id), 0) FROM main.strings");
      last.step();
      const std::int64_t before = last.integer(0);
      last.run();
      db.exec("INSERT OR IGNORE INTO main.strings (text) SELECT text FROM part.strings ORDER BY id");
      Statement index(db.handle(), "INSERT INTO main.search (rowid, text) SELECT id, text FROM main.strings "
                                   "WHERE id > ?1");
      index.bind(1, before).run();
      std::string prefixed;
      for (const char* c : {"kind", "text", "layer", "block", "tag", "style", "x", "y", "z", "height"})
        prefixed += std::string(", x.") + c;
      db.exec((std::string("INSERT INTO main.texts (file_id, number, string_id, ") + kTextColumns +
               ") SELECT moved.new, x.number, s.id" + prefixed +
               " FROM part.texts x JOIN moved ON moved.old = x.file_id JOIN main.strings s ON s.text = x.text "
               "ORDER BY x.file_id, x.number")
                  .c_str());
      db.exec("DELETE FROM main.strings WHERE NOT EXISTS (SELECT 1 FROM main.texts WHERE string_id = strings.id)");
      db.exec("COMMIT");
    } catch (...) {
      sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_exec(db.handle(), "DETACH DATABASE part", nullptr, nullptr, nullptr);
      throw;
    }
    db.exec("DETACH DATABASE part");
  }
  Statement count(db.handle(), "SELECT count(*) FROM files");
  count.step();
  std::fprintf(stderr, "trv: %s: %lld files from %zu catalogues\n", out.c_str(),
               static_cast<long long>(count.integer(0)), parts.size());
  count.run();
  return 0;
}

}  // namespace trv::catalog
