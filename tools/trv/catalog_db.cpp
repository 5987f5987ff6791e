#include "tools/trv/catalog_db.h"

#include <cmath>

#include "tools/trv/catalog_entry.h"

namespace trv::catalog {

namespace {

// The schema, version 1 (docs/CATALOG.md). Each distinct string is kept
// once (`strings`) and indexed once: the search index holds `strings.text`
// (external content). Its writers index the strings they add themselves,
// once a transaction (the index writes out what it holds after every
// statement that reaches it, so a trigger would write once a row); the
// trigger takes out of the index what is deleted.
constexpr const char* kSchema = R"sql(
CREATE TABLE files (
  id INTEGER PRIMARY KEY,
  path TEXT NOT NULL UNIQUE,
  size INTEGER NOT NULL,
  mtime_ns INTEGER NOT NULL,
  hash TEXT NOT NULL,
  version TEXT NOT NULL,
  generation INTEGER,
  legacy INTEGER NOT NULL,
  loaded INTEGER NOT NULL,
  complete INTEGER NOT NULL,
  failure TEXT,
  damage TEXT NOT NULL,
  not_kept TEXT NOT NULL,
  min_x REAL, min_y REAL, min_z REAL, max_x REAL, max_y REAL, max_z REAL,
  extents_complete INTEGER,
  layer_count INTEGER, text_style_count INTEGER, block_count INTEGER,
  drawable_count INTEGER, block_drawable_count INTEGER,
  text_count INTEGER, insert_count INTEGER, attribute_count INTEGER
);
CREATE TABLE layers (
  file_id INTEGER NOT NULL REFERENCES files(id),
  number INTEGER NOT NULL,
  name TEXT NOT NULL,
  color INTEGER, line_type INTEGER, is_on INTEGER,
  drawables INTEGER NOT NULL,
  PRIMARY KEY (file_id, number)
) WITHOUT ROWID;
CREATE TABLE text_styles (
  file_id INTEGER NOT NULL REFERENCES files(id),
  number INTEGER NOT NULL,
  name TEXT NOT NULL,
  font_file TEXT, big_font_file TEXT, height REAL,
  PRIMARY KEY (file_id, number)
) WITHOUT ROWID;
CREATE TABLE blocks (
  file_id INTEGER NOT NULL REFERENCES files(id),
  number INTEGER NOT NULL,
  name TEXT NOT NULL,
  description TEXT,
  base_x REAL, base_y REAL, base_z REAL,
  drawables INTEGER NOT NULL,
  inserts INTEGER NOT NULL,
  PRIMARY KEY (file_id, number)
) WITHOUT ROWID;
CREATE TABLE strings (
  id INTEGER PRIMARY KEY,
  text TEXT NOT NULL UNIQUE
);
CREATE TABLE texts (
  file_id INTEGER NOT NULL REFERENCES files(id),
  number INTEGER NOT NULL,
  kind TEXT NOT NULL,
  text TEXT NOT NULL,
  string_id INTEGER NOT NULL REFERENCES strings(id),
  layer TEXT, block TEXT, tag TEXT, style TEXT,
  x REAL, y REAL, z REAL, height REAL,
  PRIMARY KEY (file_id, number)
) WITHOUT ROWID;
CREATE INDEX texts_by_string ON texts(string_id);
CREATE VIRTUAL TABLE search USING fts5(
  text, content='strings', content_rowid='id', prefix='2 3', tokenize='unicode61 remove_diacritics 2');
CREATE TRIGGER strings_unindexed AFTER DELETE ON strings BEGIN
  INSERT INTO search(search, rowid, text) VALUES ('delete', old.id, old.text);
END;
)sql";

}  // namespace

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
  if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt_,
                         nullptr) != SQLITE_OK)
    throw CatalogError(sqlite3_errmsg(db));
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::bind(int i, std::int64_t v) {
  sqlite3_bind_int64(stmt_, i, v);
  return *this;
}

Statement& Statement::bind(int i, double v) {
  if (std::isfinite(v)) sqlite3_bind_double(stmt_, i, v);
  else sqlite3_bind_null(stmt_, i);  // SQLite keeps no NaN
  return *this;
}

Statement& Statement::bind(int i, std::string_view v) {
  sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::bind_null(int i) {
  sqlite3_bind_null(stmt_, i);
  return *this;
}

Statement& Statement::bind_json(int i, const nlohmann::json& v) {
  if (v.is_number_integer()) return bind(i, v.get<std::int64_t>());
  if (v.is_number()) return bind(i, v.get<double>());
  if (v.is_boolean()) return bind(i, std::int64_t{v.get<bool>() ? 1 : 0});
  if (v.is_string()) return bind(i, std::string_view(v.get_ref<const std::string&>()));
  if (v.is_null()) return bind_null(i);
  return bind(i, std::string_view(v.dump()));  // arrays and objects as their JSON text
}

bool Statement::step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  sqlite3_reset(stmt_);
  if (rc != SQLITE_DONE) throw CatalogError(sqlite3_errmsg(db_));
  return false;
}

void Statement::run() {
  while (step()) {
  }
  sqlite3_clear_bindings(stmt_);
}

std::string Statement::text(int column) const {
  const auto* p = sqlite3_column_text(stmt_, column);
  return p == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(p),
                                                    static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

Database::Database(const std::string& path, Mode mode) : path_(path) {
  // trv uses SQLite from one thread and needs no count of its memory: no
  // locks and no tally on each allocation. (Refused, and harmless, once
  // SQLite is initialised.)
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_SINGLETHREAD);
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return true;
  }();
  (void)configured;
  const int flags = mode == Mode::write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string why = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw CatalogError(path + ": cannot open the catalogue: " + why);
  }
  sqlite3_busy_timeout(db_, 10'000);  // another build or a merge holds the write lock
  sqlite3_extended_result_codes(db_, 1);
  try {
    check_or_create_schema(mode);
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

Database::~Database() {
  if (db_ != nullptr) sqlite3_close(db_);
}

void Database::exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string why = message != nullptr ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    throw CatalogError(path_ + ": " + why);
  }
}

void Database::check_or_create_schema(Mode mode) {
  try {
    if (mode == Mode::write) {
      // Readers see only committed transactions and never wait for the writer.
      exec("PRAGMA page_size=16384; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-65536; "
           "PRAGMA wal_autocheckpoint=4096; PRAGMA temp_store=MEMORY;");
      exec("BEGIN IMMEDIATE");
    }
    Statement version(db_, "PRAGMA user_version");
    version.step();
    const std::int64_t found = version.integer(0);
    version.run();
    Statement tables(db_, "SELECT count(*) FROM sqlite_schema");
    tables.step();
    const std::int64_t objects = tables.integer(0);
    tables.run();
    if (found == 0 && objects == 0 && mode == Mode::write) {
      exec(kSchema);
      exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
    } else if (found != kSchemaVersion) {
      throw CatalogError(found == 0 ? std::string("not a trv catalogue")
                                    : "a catalogue of schema version " + std::to_string(found) +
                                          "; this trv reads version " + std::to_string(kSchemaVersion));
    }
    if (mode == Mode::write) exec("COMMIT");
  } catch (const CatalogError& e) {
    if (mode == Mode::write) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    const std::string what = e.what();
    throw CatalogError(what.rfind(path_ + ": ", 0) == 0 ? what : path_ + ": " + what);
  }
}

std::map<std::string, KnownFile> known_files(Database& db) {
  std::map<std::string, KnownFile> known;
  Statement s(db.handle(), "SELECT path, id, size, mtime_ns, hash FROM files");
  while (s.step()) known.emplace(s.text(0), KnownFile{s.integer(1), s.integer(2), s.integer(3), s.text(4)});
  return known;
}

namespace {

// The insert of `rows` texts: parameters 1 to 13 for the first, 14 to 26 for
// the second, ...
std::string texts_insert(int rows) {
  std::string sql =
      "INSERT INTO texts (file_id, number, kind, text, string_id, layer, block, tag, style, x, y, z, height) VALUES ";
  for (int row = 0; row < rows; ++row) {
    sql += row == 0 ? "(" : ", (";
    for (int p = 1; p <= Writer::kTextParameters; ++p)
      sql += (p == 1 ? "?" : ", ?") + std::to_string(row * Writer::kTextParameters + p);
    sql += ")";
  }
  return sql;
}

}  // namespace

Writer::Writer(Database& db)
    : db_(db),
      begin_(db.handle(), "BEGIN IMMEDIATE"),
      commit_(db.handle(), "COMMIT"),
      del_texts_(db.handle(), "DELETE FROM texts WHERE file_id = ?1"),
      del_layers_(db.handle(), "DELETE FROM layers WHERE file_id = ?1"),
      del_styles_(db.handle(), "DELETE FROM text_styles WHERE file_id = ?1"),
      del_blocks_(db.handle(), "DELETE FROM blocks WHERE file_id = ?1"),
      del_file_(db.handle(), "DELETE FROM files WHERE id = ?1"),
      touch_(db.handle(), "UPDATE files SET size = ?2, mtime_ns = ?3 WHERE id = ?1"),
      file_(db.handle(),
            "INSERT INTO files (path, size, mtime_ns, hash, version, generation, legacy, loaded, complete, "
            "failure, damage, not_kept, min_x, min_y, min_z, max_x, max_y, max_z, extents_complete, "
            "layer_count, text_style_count, block_count, drawable_count, block_drawable_count, text_count, "
            "insert_count, attribute_count) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, "
            "?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?27)"),
      layer_(db.handle(),
             "INSERT INTO layers (file_id, number, name, color, line_type, is_on, drawables) "
             "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"),
      style_(db.handle(),
             "INSERT INTO text_styles (file_id, number, name, font_file, big_font_file, height) "
             "VALUES (?1, ?2, ?3, ?4, ?5, ?6)"),
      block_(db.handle(),
             "INSERT INTO blocks (file_id, number, name, description, base_x, base_y, base_z, drawables, "
             "inserts) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"),
      text_(db.handle(), texts_insert(1)),
      texts_at_once_(db.handle(), texts_insert(kTextsAtOnce)),
      find_string_(db.handle(), "SELECT id FROM strings WHERE text = ?1"),
      add_string_(db.handle(), "INSERT INTO strings (text) VALUES (?1)"),
      index_strings_(db.handle(), "INSERT INTO search (rowid, text) SELECT id, text FROM strings WHERE id >= ?1"),
      forget_strings_(db.handle(),
                      "DELETE FROM strings WHERE NOT EXISTS (SELECT 1 FROM texts WHERE string_id = strings.id)") {}

void Writer::begin() {
  begin_.run();
  open_ = true;
}

// The strings the transaction added go into the search index with one
// statement (ids only grow: every string from first_new_ on is new).
void Writer::commit() {
  if (first_new_ > 0) index_strings_.bind(1, first_new_).run();
  first_new_ = 0;
  commit_.run();
  open_ = false;
}

std::int64_t Writer::string_id(const std::string& text) {
  if (const auto known = strings_.find(text); known != strings_.end()) return known->second;
  if (strings_.size() >= kRememberedStrings) strings_.clear();
  std::int64_t id = 0;
  find_string_.bind(1, std::string_view(text));
  if (find_string_.step()) {
    id = find_string_.integer(0);
    find_string_.run();
  } else {
    add_string_.bind(1, std::string_view(text)).run();
    id = sqlite3_last_insert_rowid(db_.handle());
    if (first_new_ == 0) first_new_ = id;
  }
  strings_.emplace(text, id);
  return id;
}

void Writer::forget_unused_strings() {
  forget_strings_.run();
  strings_.clear();
}

void Writer::remove(std::int64_t file_id) {
  for (Statement* s : {&del_texts_, &del_layers_, &del_styles_, &del_blocks_, &del_file_}) s->bind(1, file_id).run();
}

void Writer::touch(std::int64_t file_id, std::int64_t size, std::int64_t mtime_ns) {
  touch_.bind(1, file_id).bind(2, size).bind(3, mtime_ns).run();
}

namespace {

void bind_value(Statement& s, int i, const EntryReader::Value& v) {
  switch (v.tag) {
    case EntryReader::Tag::null: s.bind_null(i); break;
    case EntryReader::Tag::integer: s.bind(i, v.integer); break;
    case EntryReader::Tag::real: s.bind(i, v.real); break;
    case EntryReader::Tag::text: s.bind(i, v.text); break;
  }
}

}  // namespace

bool Writer::put(std::span<const unsigned char> encoded, std::optional<std::int64_t> replaces) {
  try {
    EntryReader r(encoded);
    if (r.byte() != 'E') throw CatalogError("not a catalogue entry");
    if (replaces) remove(*replaces);
    bool loaded = false;
    for (int i = 1; i <= kFileValues; ++i) {
      const EntryReader::Value v = r.value();
      if (i == 8) loaded = v.tag == EntryReader::Tag::integer && v.integer != 0;
      bind_value(file_, i, v);
    }
    file_.run();
    const std::int64_t id = sqlite3_last_insert_rowid(db_.handle());
    // Layers, text styles and blocks: the file, then the row's values.
    for (Statement* s : {&layer_, &style_, &block_}) {
      const std::uint32_t rows = r.count(), columns = r.count();
      for (std::uint32_t row = 0; row < rows; ++row) {
        s->bind(1, id);
        for (std::uint32_t c = 0; c < columns; ++c) bind_value(*s, static_cast<int>(c) + 2, r.value());
        s->run();
      }
    }
    // A text row: kind, text, layer, block, tag, style, x, y, z, height; the
    // row's number and its string's id go in beside them.
    // Eight rows go in with one statement while eight are left.
    const std::uint32_t rows = r.count(), columns = r.count();
    if (rows > 0 && columns != kTextColumns) throw CatalogError("a catalogue text row of another shape");
    for (std::uint32_t row = 0; row < rows; ++row) {
      const bool grouped = row - row % kTextsAtOnce + kTextsAtOnce <= rows;
      Statement& s = grouped ? texts_at_once_ : text_;
      const int at = grouped ? static_cast<int>(row % kTextsAtOnce) * kTextParameters : 0;
      s.bind(at + 1, id).bind(at + 2, std::int64_t{row});
      bind_value(s, at + 3, r.value());
      const EntryReader::Value text = r.value();
      if (text.tag != EntryReader::Tag::text) throw CatalogError("a catalogue text without its text");
      s.bind(at + 4, text.text);
      s.bind(at + 5, string_id(std::string(text.text)));
      for (int c = 2; c < kTextColumns; ++c) bind_value(s, at + c + 4, r.value());
      if (!grouped || row % kTextsAtOnce == kTextsAtOnce - 1) s.run();
    }
    return loaded;
  } catch (const std::runtime_error& e) {
    if (dynamic_cast<const CatalogError*>(&e) != nullptr) throw;
    throw CatalogError(e.what());
  }
}

}  // namespace trv::catalog
