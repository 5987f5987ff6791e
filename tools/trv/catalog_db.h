// The catalogue's SQLite database: opening it (creating or checking its
// schema, docs/CATALOG.md), the statements the build writes with, and a thin
// statement wrapper for the queries. Every failure throws CatalogError with
// the database's own words.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

namespace trv::catalog {

// The schema this trv writes and reads (PRAGMA user_version).
inline constexpr int kSchemaVersion = 1;

struct CatalogError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One prepared statement; parameters are bound from 1.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int i, std::int64_t v);
  Statement& bind(int i, double v);
  Statement& bind(int i, std::string_view v);
  Statement& bind_null(int i);
  // A JSON number, string, boolean or null as the matching SQLite value.
  Statement& bind_json(int i, const nlohmann::json& v);
  // True while a row is there; false when done (then reset for the next run).
  bool step();
  // Runs to the end and resets.
  void run();

  std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
  double real(int column) const { return sqlite3_column_double(stmt_, column); }
  bool is_null(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  std::string text(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// An open catalogue.
class Database {
 public:
  enum class Mode { read, write };
  // write creates the file and the schema when there is none; both refuse
  // a file that is no catalogue or one of another schema version.
  Database(const std::string& path, Mode mode);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3* handle() const { return db_; }
  const std::string& path() const { return path_; }
  void exec(const char* sql);

 private:
  void check_or_create_schema(Mode mode);

  sqlite3* db_ = nullptr;
  std::string path_;
};

// What the catalogue knows of a file, to tell whether it changed.
struct KnownFile {
  std::int64_t id = 0;
  std::int64_t size = 0;
  std::int64_t mtime_ns = 0;
  std::string hash;
};
std::map<std::string, KnownFile> known_files(Database& db);

// The build's writes, each a few prepared statements; the caller groups
// them in transactions (begin / commit).
class Writer {
 public:
  // A text row's values in an entry, and its parameters in the insert
  // (the file and the row's number, its string's id beside them).
  static constexpr int kTextColumns = 10;
  static constexpr int kTextParameters = 13;
  static constexpr std::uint32_t kTextsAtOnce = 8;

  explicit Writer(Database& db);
  void begin();
  // Indexes the strings the transaction added, then commits.
  void commit();
  bool in_transaction() const { return open_; }

  // Removes the file and every row that belongs to it.
  void remove(std::int64_t file_id);
  // The file's size and time changed, its content did not.
  void touch(std::int64_t file_id, std::int64_t size, std::int64_t mtime_ns);
  // Puts the file as its encoded entry gives it (catalog_entry.h), in place
  // of what the catalogue held under its path; whether the file loaded.
  bool put(std::span<const unsigned char> encoded_entry, std::optional<std::int64_t> replaces);
  // Drops the strings no text refers to any more (after removals), and
  // their index entries.
  void forget_unused_strings();

 private:
  Database& db_;
  bool open_ = false;
  Statement begin_, commit_;
  Statement del_texts_, del_layers_, del_styles_, del_blocks_, del_file_;
  Statement touch_;
  // The id of a string, added when the catalogue does not hold it yet.
  std::int64_t string_id(const std::string& text);

  Statement file_, layer_, style_, block_, text_, texts_at_once_;
  Statement find_string_, add_string_, index_strings_, forget_strings_;
  static constexpr std::size_t kRememberedStrings = 1'000'000;
  std::unordered_map<std::string, std::int64_t> strings_;  // ids this run has looked up
  std::int64_t first_new_ = 0;  // the first string this transaction added
};

}  // namespace trv::catalog
