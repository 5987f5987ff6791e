// trv catalog over a generated archive: every query gives exactly the hits
// the drawings were made with, a second build follows each kind of change
// and nothing else, a build killed half-way and run again ends where an
// uninterrupted one does, and files that do not load are kept with why.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fcntl.h>

#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/hostile/hostile_drawings.h"
#include "tests/support/floor_plan.h"
#include "tests/support/temp_path.h"

namespace fs = std::filesystem;
using nlohmann::json;

extern char** environ;

namespace {

constexpr int kDrawings = 300;

// Layers of drawing i: 0, WALLS, ROOMS, ZONE<i % 10>.
enum { kZero, kWalls, kRooms, kZone };

std::string padded(int i) {
  char s[8];
  std::snprintf(s, sizeof s, "%04d", i);
  return s;
}

// Drawing i: "Room <i>" in every drawing, "Kitchen" in every third, "Living
// room" in every fifth; a TITLE insert whose attributes are the drawing
// number DWG-<iiii> and a revision; DOOR inserted i % 4 + 1 times, and a
// VALVE block (inserted once) in every fourth drawing.
std::vector<unsigned char> drawing(int i, const std::string& extra_text = "") {
  using floor_plan::text;
  Bytes layers = Bytes().u32(4)
                     .append(sample::layer("0", 0, 7, 0))
                     .append(sample::layer("WALLS", 0, 5, 0))
                     .append(sample::layer("ROOMS", 0, 3, 0))
                     .append(sample::layer("ZONE" + std::to_string(i % 10), 0, 2, 0));
  Bytes styles = Bytes().u32(1).append(sample::text_style("STANDARD", 0, 0.0, 1.0, 0.0, "txt", ""));
  const auto line = [](int layer, double x) {
    return entity(2, PropsBlock().layer(layer), Bytes().pt3(x, 0, 0).pt3(x, 1, 0));
  };
  std::vector<Bytes> blocks = {floor_plan::block("DOOR", 0, 0, {line(kWalls, 0)}),
                               floor_plan::block("TITLE", 0, 0, {line(kZero, 0)})};
  if (i % 4 == 0) blocks.push_back(floor_plan::block("VALVE", 1, 2, {line(kZone, 0), line(kZone, 1)}));
  Bytes block_section;
  block_section.u32(static_cast<uint32_t>(blocks.size()));
  for (const Bytes& b : blocks) block_section.append(b);

  std::vector<Bytes> e;
  const auto on = [](int layer) { return static_cast<floor_plan::Layer>(layer); };
  e.push_back(text(on(kRooms), "Room " + std::to_string(i), "STANDARD", i, 1, 0.5));
  if (i % 3 == 0) e.push_back(text(on(kRooms), "Kitchen", "STANDARD", 2, 3, 0.5));
  if (i % 5 == 0) e.push_back(text(on(kRooms), "Living room", "STANDARD", 4, 5, 0.5));
  if (!extra_text.empty()) e.push_back(text(on(kRooms), extra_text, "STANDARD", 6, 7, 0.5));
  for (int k = 0; k <= i % 4; ++k) e.push_back(floor_plan::insert(on(kWalls), "DOOR", k, 0, 1, 1, 0));
  if (i % 4 == 0) e.push_back(floor_plan::insert(on(kZone), "VALVE", 9, 9, 1, 1, 0));
  e.push_back(floor_plan::insert(on(kZero), "TITLE", 0, -5, 1, 1, 0,
                                 {{"NUMBER", "DWG-" + padded(i)}, {"REV", std::string("Rev ") + char('A' + i % 3)}}));
  Bytes records;
  for (const Bytes& b : e) records.append(b);
  return TorvFile("HALD 2002")
      .section(kSlotSysVars, sample::sysvars())
      .section(kSlotLayers, layers)
      .section(kSlotTextStyles, styles)
      .section(kSlotBlocks, block_section)
      .section(kSlotEntities, entity_section(static_cast<uint32_t>(e.size()), records))
      .build();
}

void write_file(const fs::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A drawing whose entity section ends inside its last record: it loads,
// damaged, with the text before the cut.
std::vector<unsigned char> cut_drawing() {
  const Bytes text = floor_plan::text(floor_plan::kLayer0, "Truncated words", "", 1, 1, 0.5);
  const Bytes line = floor_plan::line(floor_plan::kLayer0, 0, 0, 5, 5);
  std::vector<unsigned char> bytes = TorvFile("HALD 2002")
                                         .section(kSlotSysVars, sample::sysvars())
                                         .section(kSlotLayers, Bytes().u32(1).append(sample::layer("0", 0, 7, 0)))
                                         .section(kSlotEntities, entity_section(2, Bytes(text).append(line)))
                                         .build();
  bytes.resize(bytes.size() - 20);
  return bytes;
}

std::string drawing_name(int i) { return "d" + padded(i) + ".trv"; }

// Drawings spread over nested folders, and beside them a drawing cut short,
// a text file named .trv, and a file the walk leaves out (not .trv).
void make_archive(const fs::path& dir) {
  fs::remove_all(dir);
  for (int i = 0; i < kDrawings; ++i) {
    const fs::path folder = dir / ("part" + std::to_string(i % 3)) / ("sub" + std::to_string(i % 2));
    fs::create_directories(folder);
    write_file(folder / drawing_name(i), drawing(i));
  }
  write_file(dir / "cut.trv", cut_drawing());
  std::ofstream(dir / "notes.trv") << "not a drawing\n";
  std::ofstream(dir / "readme.txt") << "Kitchen\n";
}

struct Ran {
  int status = -1;
  std::string out;
};

Ran trv(const std::string& args) {
  Ran r;
  std::FILE* p = popen((std::string(TRV_PATH) + " " + args + " 2>/dev/null").c_str(), "r");
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) r.out.append(buffer, n);
  const int status = pclose(p);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  for (std::size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1) out.push_back(text.substr(at, nl - at));
  return out;
}

// Rows of one query, each as its columns joined by '|'.
std::vector<std::string> rows(const fs::path& db, const std::string& sql) {
  sqlite3* h = nullptr;
  std::vector<std::string> out;
  if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(h);
    return out;
  }
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(h, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
    while (sqlite3_step(s) == SQLITE_ROW) {
      std::string row;
      for (int c = 0; c < sqlite3_column_count(s); ++c) {
        const auto* t = sqlite3_column_text(s, c);
        row += (c ? "|" : "") + (t ? std::string(reinterpret_cast<const char*>(t)) : std::string("NULL"));
      }
      out.push_back(row);
    }
  }
  sqlite3_finalize(s);
  sqlite3_close(h);
  return out;
}

// Runs statements on the catalogue, as a user with sqlite3 might.
void exec(const fs::path& db, const std::string& sql) {
  sqlite3* h = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(h, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(h);
  sqlite3_close(h);
}

// Everything the catalogue holds, with files named by path instead of by id.
std::vector<std::string> content(const fs::path& db) {
  std::vector<std::string> all;
  const char* queries[] = {
      "SELECT path, size, mtime_ns, hash, version, generation, legacy, loaded, complete, failure, damage, "
      "not_kept, min_x, min_y, min_z, max_x, max_y, max_z, extents_complete, layer_count, text_style_count, "
      "block_count, drawable_count, block_drawable_count, text_count, insert_count, attribute_count FROM files",
      "SELECT f.path, l.number, l.name, l.color, l.line_type, l.is_on, l.drawables FROM layers l JOIN files f "
      "ON f.id = l.file_id",
      "SELECT f.path, s.number, s.name, s.font_file, s.big_font_file, s.height FROM text_styles s JOIN files f "
      "ON f.id = s.file_id",
      "SELECT f.path, b.number, b.name, b.description, b.base_x, b.base_y, b.drawables, b.inserts FROM blocks b "
      "JOIN files f ON f.id = b.file_id",
      "SELECT f.path, t.kind, t.text, t.layer, t.block, t.tag, t.style, t.x, t.y, t.z, t.height FROM texts t "
      "JOIN files f ON f.id = t.file_id",
      "SELECT count(*) FROM texts WHERE file_id NOT IN (SELECT id FROM files)",
  };
  for (const char* q : queries) {
    std::vector<std::string> r = rows(db, q);
    std::sort(r.begin(), r.end());
    all.push_back(std::string("-- ") + q);
    all.insert(all.end(), r.begin(), r.end());
  }
  return all;
}

// The index agrees with the strings it indexes, every text has its string
// and every string a text.
bool index_sound(const fs::path& db) {
  sqlite3* h = nullptr;
  sqlite3_open(db.c_str(), &h);
  const int rc = sqlite3_exec(h, "INSERT INTO search(search) VALUES ('integrity-check')", nullptr, nullptr, nullptr);
  sqlite3_close(h);
  return rc == SQLITE_OK &&
         rows(db, "SELECT count(*) FROM texts t LEFT JOIN strings s ON s.id = t.string_id "
                  "WHERE s.text IS NOT t.text") == std::vector<std::string>{"0"} &&
         rows(db, "SELECT count(*) FROM strings WHERE id NOT IN (SELECT string_id FROM texts)") ==
             std::vector<std::string>{"0"};
}

class CatalogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = test_temp_path("trv_catalog");
    make_archive(dir_ / "archive");
    ASSERT_EQ(trv("catalog build " + (dir_ / "full.sqlite").string() + " " + (dir_ / "archive").string() +
                  " --jobs 2").status, 0);
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }
  static fs::path archive() { return dir_ / "archive"; }
  static fs::path full() { return dir_ / "full.sqlite"; }
  static inline fs::path dir_;
};

// The drawing number of a hit's file, from its name.
int number_of(const std::string& path) { return std::stoi(fs::path(path).stem().string().substr(1)); }

struct Query {
  const char* query;
  // Whether drawing i gives a hit, and its kind and text.
  std::function<std::vector<std::pair<std::string, std::string>>(int)> expected;
};

TEST_F(CatalogTest, QueriesGiveExactlyTheHitsTheDrawingsHold) {
  using Hits = std::vector<std::pair<std::string, std::string>>;
  const Query queries[] = {
      {"kitchen", [](int i) { return i % 3 ? Hits{} : Hits{{"text", "Kitchen"}}; }},
      {"kitch*", [](int i) { return i % 3 ? Hits{} : Hits{{"text", "Kitchen"}}; }},
      {"\"living room\"", [](int i) { return i % 5 ? Hits{} : Hits{{"text", "Living room"}}; }},
      {"room",  // not the layer ROOMS: words match whole
       [](int i) {
         Hits h{{"text", "Room " + std::to_string(i)}};
         if (i % 5 == 0) h.push_back({"text", "Living room"});
         return h;
       }},
      {"\"DWG-0042\"", [](int i) { return i == 42 ? Hits{{"attribute", "DWG-0042"}} : Hits{}; }},
      {"dwg*", [](int i) { return Hits{{"attribute", "DWG-" + padded(i)}}; }},
      {"\"rev b\"", [](int i) { return i % 3 == 1 ? Hits{{"attribute", "Rev B"}} : Hits{}; }},
      {"VALVE", [](int i) { return i % 4 ? Hits{} : Hits{{"block", "VALVE"}}; }},
      {"zone3", [](int i) { return i % 10 == 3 ? Hits{{"layer", "ZONE3"}} : Hits{}; }},
      {"standard", [](int) { return Hits{{"style", "STANDARD"}}; }},
      {"kitchen OR valve",
       [](int i) {
         Hits h;
         if (i % 3 == 0) h.push_back({"text", "Kitchen"});
         if (i % 4 == 0) h.push_back({"block", "VALVE"});
         return h;
       }},
      {"room NOT living",
       [](int i) { return Hits{{"text", "Room " + std::to_string(i)}}; }},
      {"NEAR(living room)", [](int i) { return i % 5 ? Hits{} : Hits{{"text", "Living room"}}; }},
  };
  for (const Query& q : queries) {
    std::multiset<std::string> want, got;
    for (int i = 0; i < kDrawings; ++i)
      for (const auto& [kind, text] : q.expected(i)) want.insert(padded(i) + " " + kind + " " + text);
    const Ran r = trv("catalog search " + full().string() + " '" + q.query + "' --json");
    for (const std::string& line : lines(r.out)) {
      const json hit = json::parse(line);
      got.insert(padded(number_of(hit["file"])) + " " + hit["kind"].get<std::string>() + " " +
                 hit["text"].get<std::string>());
    }
    EXPECT_EQ(got, want) << q.query;
    EXPECT_EQ(r.status, want.empty() ? 1 : 0) << q.query;
  }
  const std::vector<std::string> cut = lines(trv("catalog search " + full().string() + " truncated").out);
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_NE(cut[0].find("cut.trv\t0\ttext\tTruncated words"), std::string::npos) << cut[0];
}

TEST_F(CatalogTest, HitsNameLayerPositionAndBlock) {
  struct Case {
    const char* query;
    std::string text_line;  // file name, then the tab-separated fields behind it
  };
  const Case cases[] = {
      {"\"room 7\"", "d0007.trv\tROOMS\ttext\tRoom 7\t7,1,0"},
      {"\"DWG-0012\"", "d0012.trv\t0\tattribute\tDWG-0012\t0,0,-"},
      {"zone4 NOT zone5", ""},  // one hit per drawing of that zone: checked by count below
  };
  for (const Case& c : cases) {
    const Ran r = trv("catalog search " + full().string() + " '" + c.query + "'");
    const std::vector<std::string> hits = lines(r.out);
    if (c.text_line.empty()) {
      EXPECT_EQ(hits.size(), static_cast<std::size_t>(kDrawings / 10)) << c.query;
      continue;
    }
    ASSERT_EQ(hits.size(), 1u) << c.query;
    EXPECT_EQ(hits[0].substr(hits[0].rfind('/') + 1), c.text_line) << c.query;
  }
  const json hit = json::parse(lines(trv("catalog search " + full().string() + " '\"DWG-0012\"' --json").out).at(0));
  EXPECT_EQ(hit["block"], "TITLE");
  EXPECT_EQ(hit["tag"], "NUMBER");
  EXPECT_EQ(trv("catalog search " + full().string() + " kitchen --limit 7").out.empty(), false);
  EXPECT_EQ(lines(trv("catalog search " + full().string() + " kitchen --limit 7").out).size(), 7u);
  EXPECT_EQ(trv("catalog search " + full().string() + " '\"open'").status, 2);  // a query FTS5 refuses
}

TEST_F(CatalogTest, BlocksCountTheirInserts) {
  // DOOR is inserted i % 4 + 1 times, VALVE once where it is.
  long doors = 0;
  for (int i = 0; i < kDrawings; ++i) doors += i % 4 + 1;
  const json stats = json::parse(trv("catalog stats " + full().string() + " --json --top 0").out);
  std::map<std::string, long> inserts;
  for (const json& b : stats["blocks"]) inserts[b["name"]] = b["inserts"];
  EXPECT_EQ(inserts["DOOR"], doors);
  EXPECT_EQ(inserts["VALVE"], kDrawings / 4);
  EXPECT_EQ(inserts["TITLE"], kDrawings);
  EXPECT_EQ(stats["files"], kDrawings + 2);
  EXPECT_EQ(stats["damaged"], 1);
  EXPECT_EQ(stats["not_loaded"], 1);
  EXPECT_TRUE(index_sound(full()));
}

TEST_F(CatalogTest, FilesThatDoNotLoadWholeAreKeptWithTheReason) {
  struct Case {
    const char* name;
    const char* loaded;
    const char* complete;
    const char* reason;  // in the failure, or in the first damage line
  };
  const Case cases[] = {
      {"notes.trv", "0", "0", "header"},
      {"cut.trv", "1", "0", "entities"},
      {"d0001.trv", "1", "1", ""},
  };
  for (const Case& c : cases) {
    const auto r = rows(full(), "SELECT loaded, complete, coalesce(failure, '') || damage FROM files WHERE path LIKE '%/" +
                                    std::string(c.name) + "'");
    ASSERT_EQ(r.size(), 1u) << c.name;
    EXPECT_EQ(r[0].substr(0, 4), std::string(c.loaded) + "|" + c.complete + "|") << c.name << ": " << r[0];
    EXPECT_NE(r[0].find(c.reason), std::string::npos) << c.name << ": " << r[0];
  }
  EXPECT_TRUE(rows(full(), "SELECT 1 FROM files WHERE path LIKE '%readme.txt'").empty());
}

TEST_F(CatalogTest, SecondBuildFollowsEachChangeAndNothingElse) {
  const fs::path copy = dir_ / "changing";
  fs::remove_all(copy);
  fs::copy(archive(), copy, fs::copy_options::recursive);
  const fs::path db = dir_ / "changing.sqlite";
  ASSERT_EQ(trv("catalog build " + db.string() + " " + copy.string()).status, 0);
  const auto ids = [&db] {
    std::map<std::string, std::string> by_name;
    for (const std::string& r : rows(db, "SELECT path, id, mtime_ns FROM files"))
      by_name[fs::path(r.substr(0, r.find('|'))).filename().string()] = r.substr(r.find('|') + 1);
    return by_name;
  };
  const auto before = ids();
  const auto path_of = [&copy](int i) {
    return copy / ("part" + std::to_string(i % 3)) / ("sub" + std::to_string(i % 2)) / drawing_name(i);
  };
  // What each edit does to the file's row: kept (same id, same time), its
  // time moved (same id), read again (new id), removed, or added.
  enum class Expect { kept, retimed, reread, removed, added };
  fs::last_write_time(path_of(10), fs::last_write_time(path_of(10)) + std::chrono::seconds(5));
  write_file(path_of(11), drawing(11, "Changed"));
  fs::last_write_time(path_of(11), fs::last_write_time(path_of(11)) + std::chrono::seconds(5));
  fs::remove(path_of(12));
  write_file(copy / "part0" / "new.trv", drawing(900, "Added"));
  // A read that failed (no hash recorded) is tried again, though the file
  // kept its size and time.
  exec(db, "UPDATE files SET hash = '', loaded = 0, failure = 'cannot read' WHERE path LIKE '%/" +
               drawing_name(13) + "'");
  const std::map<std::string, Expect> edits = {{drawing_name(10), Expect::retimed},
                                               {drawing_name(13), Expect::reread},
                                               {drawing_name(11), Expect::reread},
                                               {drawing_name(12), Expect::removed},
                                               {"new.trv", Expect::added}};
  ASSERT_EQ(trv("catalog build " + db.string() + " " + copy.string() + " --jobs 2").status, 0);
  const auto after = ids();
  std::set<std::string> names;
  for (const auto& [n, _] : before) names.insert(n);
  for (const auto& [n, _] : after) names.insert(n);
  for (const std::string& name : names) {
    const auto edit = edits.find(name);
    const Expect expect = edit == edits.end() ? Expect::kept : edit->second;
    const bool was = before.count(name) > 0, is = after.count(name) > 0;
    const auto id = [](const std::string& v) { return v.substr(0, v.find('|')); };
    switch (expect) {
      case Expect::kept: EXPECT_TRUE(was && is && before.at(name) == after.at(name)) << name; break;
      case Expect::retimed:
        ASSERT_TRUE(was && is) << name;
        EXPECT_EQ(id(before.at(name)), id(after.at(name))) << name;
        EXPECT_NE(before.at(name), after.at(name)) << name;
        break;
      case Expect::reread:
        ASSERT_TRUE(was && is) << name;
        EXPECT_NE(id(before.at(name)), id(after.at(name))) << name;
        break;
      case Expect::removed: EXPECT_TRUE(was && !is) << name; break;
      case Expect::added: EXPECT_TRUE(!was && is) << name; break;
    }
  }
  struct Search {
    std::string query;
    std::size_t hits;
  };
  const Search searches[] = {{"changed", 1}, {"added", 1}, {"\"DWG-0012\"", 0}, {"\"room 12\"", 0}, {"\"DWG-0013\"", 1},
                             {"\"DWG-0011\"", 1}, {"\"DWG-0010\"", 1}};
  for (const Search& s : searches)
    EXPECT_EQ(lines(trv("catalog search " + db.string() + " '" + s.query + "'").out).size(), s.hits) << s.query;
  EXPECT_TRUE(index_sound(db));
  EXPECT_EQ(rows(db, "SELECT count(*) FROM texts WHERE file_id NOT IN (SELECT id FROM files)"),
            std::vector<std::string>{"0"});
  // An unchanged third run reads nothing and changes nothing.
  const auto settled = content(db);
  ASSERT_EQ(trv("catalog build " + db.string() + " " + copy.string()).status, 0);
  EXPECT_EQ(content(db), settled);
}

// Starts trv catalog build DB ARCHIVE --jobs 2 --batch 4 and waits until a
// tenth of the files is committed; its process id.
pid_t start_build(const fs::path& db, const fs::path& archive) {
  std::vector<std::string> args = {TRV_PATH, "catalog", "build", db.string(), archive.string(),
                                   "--jobs", "2", "--batch", "4"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, TRV_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    const auto n = rows(db, "SELECT count(*) FROM files");
    if (!n.empty() && std::stoi(n[0]) >= kDrawings / 10) return pid;
    if (std::chrono::steady_clock::now() > deadline) return pid;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

TEST_F(CatalogTest, BuildKilledHalfWayThenRunAgainEndsAsAnUninterruptedOne) {
  const fs::path db = dir_ / "killed.sqlite";
  fs::remove(db);
  const std::string db_arg = db.string(), archive_arg = archive().string();
  const pid_t pid = start_build(db, archive());
  ASSERT_GT(pid, 0);
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the build ended before it was killed";
  const auto part = rows(db, "SELECT count(*) FROM files");
  ASSERT_FALSE(part.empty());
  EXPECT_LT(std::stoi(part[0]), kDrawings + 2) << "the build had committed everything";
  EXPECT_TRUE(index_sound(db));
  ASSERT_EQ(trv("catalog build " + db_arg + " " + archive_arg + " --jobs 2").status, 0);
  EXPECT_EQ(content(db), content(full()));
  EXPECT_TRUE(index_sound(db));
}

// A worker that stops (here: killed) is replaced and its file read again:
// the build ends as one where nothing stopped.
TEST_F(CatalogTest, WorkerThatStopsIsReplaced) {
  const fs::path db = dir_ / "worker.sqlite";
  fs::remove(db);
  const pid_t pid = start_build(db, archive());
  ASSERT_GT(pid, 0);
  const std::string listed = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children";
  if (!fs::exists(listed)) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    GTEST_SKIP() << "this kernel does not list a process's children";
  }
  std::ifstream children(listed);
  pid_t worker = 0;
  children >> worker;
  ASSERT_GT(worker, 0) << "no worker found";
  kill(worker, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(content(db), content(full()));
}

TEST_F(CatalogTest, MergedPartsHoldWhatOneBuildHolds) {
  std::vector<std::string> parts;
  for (int p = 0; p < 3; ++p) {
    const fs::path part = dir_ / ("part" + std::to_string(p) + ".sqlite");
    ASSERT_EQ(trv("catalog build " + part.string() + " " + (archive() / ("part" + std::to_string(p))).string())
                  .status, 0);
    parts.push_back(part.string());
  }
  const fs::path rest = dir_ / "rest.sqlite";
  ASSERT_EQ(trv("catalog build " + rest.string() + " " + (archive() / "cut.trv").string() + " " +
                (archive() / "notes.trv").string()).status, 0);
  parts.push_back(rest.string());
  const fs::path merged = dir_ / "merged.sqlite";
  fs::remove(merged);
  std::string list;
  for (const std::string& p : parts) list += " " + p;
  ASSERT_EQ(trv("catalog merge " + merged.string() + list).status, 0);
  EXPECT_EQ(content(merged), content(full()));
  // Merging a part again replaces its files: nothing doubles.
  ASSERT_EQ(trv("catalog merge " + merged.string() + " " + parts[1]).status, 0);
  EXPECT_EQ(content(merged), content(full()));
  EXPECT_TRUE(index_sound(merged));
}

TEST_F(CatalogTest, RefusesWhatIsNoCatalogue) {
  struct Case {
    std::string args;
    int status;
  };
  const Case cases[] = {
      {"catalog search " + (archive() / "notes.trv").string() + " kitchen", 1},
      {"catalog stats " + (dir_ / "missing.sqlite").string(), 1},
      {"catalog build " + (dir_ / "x.sqlite").string() + " " + (dir_ / "no-such-folder").string(), 1},
      {"catalog merge " + (dir_ / "y.sqlite").string() + " " + (archive() / "notes.trv").string(), 1},
      {"catalog merge " + full().string() + " " + full().string(), 1},  // a catalogue into itself
  };
  const auto before = content(full());
  for (const Case& c : cases) EXPECT_EQ(trv(c.args).status, c.status) << c.args;
  EXPECT_FALSE(fs::exists(dir_ / "x.sqlite"));
  EXPECT_EQ(content(full()), before);
}

// Drawings whose inserts ask for far more work than their size: the build
// walks them under trv info's budget, and keeps the extents and whether the
// walk was whole exactly as trv info gives them.
TEST(CatalogBudget, ExtentsAndTheirCompletenessAreTrvInfos) {
  const fs::path dir = test_temp_path("trv_catalog_budget");
  fs::remove_all(dir);
  fs::create_directories(dir / "in");
  std::map<std::string, bool> expected_complete = {
      {"nested_inserts", false}, {"long_polyline", false}, {"large_arcs", true}, {"many_texts", true}};
  for (const hostile::Case& c : hostile::all())
    if (expected_complete.count(c.name)) write_file(dir / "in" / (std::string(c.name) + ".trv"), c.make());
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(trv("catalog build " + (dir / "c.sqlite").string() + " " + (dir / "in").string()).status, 0);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 120);
  const std::vector<std::string> got = rows(dir / "c.sqlite",
      "SELECT path, min_x, min_y, max_x, max_y, extents_complete FROM files ORDER BY path");
  ASSERT_EQ(got.size(), expected_complete.size());
  for (const std::string& row : got) {
    const std::string path = row.substr(0, row.find('|'));
    const std::string name = fs::path(path).stem().string();
    const json info = json::parse(trv("info --json " + path).out);
    const auto number = [](const json& v) {
      char text[64];
      std::snprintf(text, sizeof text, "%.17g", v.get<double>());
      return std::string(text);
    };
    const json& e = info["extents"];
    const std::string want = path + "|" + number(e["min"][0]) + "|" + number(e["min"][1]) + "|" + number(e["max"][0]) +
                             "|" + number(e["max"][1]) + "|" + (info["extents_complete"].get<bool>() ? "1" : "0");
    const auto reals = [](const std::string& r) {
      std::vector<std::string> parts;
      std::size_t at = 0;
      for (std::size_t bar; (bar = r.find('|', at)) != std::string::npos; at = bar + 1) parts.push_back(r.substr(at, bar - at));
      parts.push_back(r.substr(at));
      std::vector<double> values;
      for (std::size_t k = 1; k < parts.size(); ++k) values.push_back(std::stod(parts[k]));
      return std::make_pair(parts[0], values);
    };
    // SQLite gives reals as text to 15 digits.
    const auto [got_path, got_values] = reals(row);
    const auto [want_path, want_values] = reals(want);
    EXPECT_EQ(got_path, want_path);
    ASSERT_EQ(got_values.size(), want_values.size()) << name;
    for (std::size_t k = 0; k < got_values.size(); ++k)
      EXPECT_NEAR(got_values[k], want_values[k], 1e-12 * (1 + std::fabs(want_values[k]))) << name << " value " << k;
    EXPECT_EQ(info["extents_complete"].get<bool>(), expected_complete[name]) << name;
  }
  fs::remove_all(dir);
}

}  // namespace
