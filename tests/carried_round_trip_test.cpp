// What a file holds beyond the kernel's calls comes back from a save: over
// the examples, a drawing of every record kind in every generation, random
// drawings and synthetic ones. The observer changes no kernel call; the
// records of save(F) are those of F; load(save(F)) makes the same calls and
// carries the same records; save(save(F)) is save(F) byte for byte. A
// drawable changed after the load keeps the stored fields the kernel does
// not hold.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/synthetic_drawing.h"
#include "host/zirida_host.h"
#include "kernel/afx.h"
#include "kttrv/kttrv.h"
#include "kernel/kt_drawables.h"
#include "load/load.h"
#include "load/sysvar_list_cache.h"
#include "save/save_file.h"
#include "format/color_palette.h"
#include "format/stored_props.h"
#include "legacy/legacy_tables.h"
#include "tests/support/legacy_builder.h"
#include "tests/support/random_drawing.h"
#include "tests/support/sample_drawing.h"
#include "tests/support/temp_path.h"

namespace {

namespace fs = std::filesystem;
using Bytes8 = std::vector<unsigned char>;

struct Heard {
  kttrv::StoredKind kind;
  int slot;
  int16_t entity_kind;
  int block;
  Bytes8 bytes;
  bool complete;
  bool operator==(const Heard&) const = default;
};

// Hears every stored record and hands it on to the kernel's keeper.
class Recorder final : public kttrv::LoadObserver {
 public:
  explicit Recorder(kttrv::LoadObserver* keeper) : keeper_(keeper) {}
  void file(int g) override {
    generation = g;
    if (keeper_ != nullptr) keeper_->file(g);
  }
  void stored(const kttrv::StoredRecord& r) override {
    // The colour number the reader hands over is the one the record stores.
    if (r.kind == kttrv::StoredKind::entity && r.color_number != kttrv::StoredRecord::kNoColorNumber) {
      EXPECT_EQ(r.color_number, stored_color_number(r.bytes)) << "entity record at byte " << r.offset;
    }
    heard.push_back({r.kind, r.slot, r.entity_kind, r.block_index, Bytes8(r.bytes.begin(), r.bytes.end()), r.complete});
    if (keeper_ != nullptr) keeper_->stored(r);
  }
  bool carries() const override { return keeper_ != nullptr; }
  std::vector<Heard> heard;
  int generation = -1;

 private:
  kttrv::LoadObserver* keeper_;
};

void capture(std::string_view line, void* to) { static_cast<std::string*>(to)->append(line).push_back('\n'); }

struct Loaded {
  std::string trace;
  std::vector<Heard> heard;
  int generation = -1;
  bool loaded = false;
  bool damaged = false;
  LossLedger losses;
};

// Loads bytes into drawing, carrying when asked; the trace and what the
// observer heard.
Loaded load(const Bytes8& bytes, KT_Drawing& drawing, bool carry) {
  Loaded out;
  Recorder recorder(carry ? zirida_carry(drawing) : nullptr);
  kttrv::LoadOptions options;
  options.note_losses = true;
  if (carry) options.observer = &recorder;
  zirida_set_trace(capture, &out.trace);
  const kttrv::LoadResult result = kttrv::load_drawing(kttrv::LoadSource::bytes(bytes), drawing, options);
  zirida_set_trace(nullptr, nullptr);
  out.heard = std::move(recorder.heard);
  out.generation = recorder.generation;
  out.loaded = result.loaded;
  out.damaged = result.damaged();
  out.losses = result.losses;
  return out;
}

Bytes8 save(const KT_Drawing& drawing) {
  Bytes8 out;
  SaveOptions options;
  options.carried = zirida_carried(drawing);
  EXPECT_TRUE(kttrv::save_drawing(drawing, out, options).saved);
  return out;
}

// The trace without its last line (the result, which names the generation:
// a save writes "HALD 2002").
std::string calls(const std::string& trace) {
  const std::size_t end = trace.rfind('\n', trace.size() >= 2 ? trace.size() - 2 : 0);
  return end == std::string::npos ? std::string() : trace.substr(0, end);
}

// The header beyond what a save writes itself: the version and directory
// (bytes 0 to 88, but the six words at 16) and the header's length at 88.
Bytes8 header_rest(Bytes8 h) {
  if (h.size() < 88) return h;
  std::fill(h.begin(), h.begin() + 16, 0);
  std::fill(h.begin() + 40, h.begin() + std::min<std::ptrdiff_t>(92, static_cast<std::ptrdiff_t>(h.size())), 0);
  return h;
}

// What a load of another generation does not carry back: its text style
// records and system variables have the writer's layout only in "HALD 2002".
bool carried_back(const Heard& h, int generation) {
  if (generation == 11) return true;
  return h.kind != kttrv::StoredKind::text_style && !(h.kind == kttrv::StoredKind::section_tail && h.slot == 56) &&
         (h.kind != kttrv::StoredKind::system_variables || h.complete);
}

void expect_carried(const Bytes8& file, const std::string& what) {
  SCOPED_TRACE(what);
  KT_Drawing plain;
  const Loaded without = load(file, plain, false);
  KT_Drawing first;
  const Loaded with = load(file, first, true);
  EXPECT_EQ(without.trace, with.trace) << "the observer changed a kernel call";
  if (!with.loaded) return;
  // Legacy files are not carried, and a damaged file carries only the
  // records read whole: their saves still save alike.
  if (with.generation < 0 || with.damaged) {
    const Bytes8 saved = save(first);
    KT_Drawing again;
    load(saved, again, true);
    EXPECT_EQ(save(again), saved);
    return;
  }
  if (with.generation == 11) {
    EXPECT_TRUE(with.losses.empty()) << with.losses.summary();
  }

  const Bytes8 saved = save(first);
  // Nothing is carried twice: the save is the file's records, its tags and
  // the writer's few default tables.
  EXPECT_LE(saved.size(), file.size() + 4096);
  KT_Drawing second;
  const Loaded again = load(saved, second, true);
  ASSERT_TRUE(again.loaded);
  EXPECT_EQ(calls(with.trace), calls(again.trace));
  // Every record and run of the file is one of the saved file's, in order;
  // the saved file may add the writer's default tables where F had none.
  std::size_t next = 0;
  for (const Heard& h : with.heard) {
    if (!carried_back(h, with.generation)) continue;
    const auto same = [&](const Heard& g) {
      if (h.kind == kttrv::StoredKind::header) return g.kind == h.kind && header_rest(g.bytes) == header_rest(h.bytes);
      return g == h;
    };
    std::size_t at = next;
    while (at < again.heard.size() && !same(again.heard[at])) ++at;
    ASSERT_LT(at, again.heard.size()) << "record of kind " << static_cast<int>(h.kind) << " (entity kind "
                                      << h.entity_kind << ", slot " << h.slot << ", " << h.bytes.size() << " bytes) not written back";
    next = at + 1;
  }
  EXPECT_EQ(save(second), saved) << "a second save changed bytes";
}

Bytes8 file_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class Carried : public ::testing::Test {
 protected:
  void SetUp() override {
    read_sysvar_list(sysvar_list_path());
    afx_set_message_sink([](const char*, void*) {}, nullptr);  // refused versions say so in a box
  }
  void TearDown() override { afx_set_message_sink(nullptr, nullptr); }
};

TEST_F(Carried, ExamplesComeBackRecordForRecord) {
  for (const auto& e : fs::directory_iterator(fs::path(KTTRV_SOURCE_DIR) / "examples"))
    if (e.path().extension() == ".trv") expect_carried(file_bytes(e.path()), e.path().filename().string());
}

// Cut copies of the examples and the fuzzers' seeds: damaged files carry
// what was read whole, and the same properties hold.
TEST_F(Carried, CutCopiesAndSeedsComeBack) {
  std::vector<std::pair<std::string, Bytes8>> files;
  for (const auto& e : fs::directory_iterator(fs::path(KTTRV_SOURCE_DIR) / "examples"))
    if (e.path().extension() == ".trv") files.emplace_back(e.path().filename().string(), file_bytes(e.path()));
  for (const auto& e : fs::recursive_directory_iterator(fs::path(KTTRV_SOURCE_DIR) / "fuzz" / "corpus"))
    if (e.is_regular_file()) expect_carried(file_bytes(e.path()), e.path().filename().string());
  for (const auto& [name, bytes] : files)
    for (std::size_t n = 1; n < bytes.size(); n += 1 + n / 8)
      expect_carried(Bytes8(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)), name + " cut at " + std::to_string(n));
}

TEST_F(Carried, EveryKindInEveryGenerationComesBack) {
  for (const char* version : {"HALD 2002", "TORV 2000", "TORV 99", "TORV 98", "SELK 97"})
    expect_carried(sample::full_drawing(version).tail(Bytes().raw("trailing")).build(), version);
}

TEST_F(Carried, RandomDrawingsComeBack) {
  for (uint64_t seed = 1; seed <= 300; ++seed)
    expect_carried(RandomDrawing(seed).file(), "seed " + std::to_string(seed));
}

TEST_F(Carried, SyntheticDrawingsComeBack) {
  synth::Options o;
  o.entities = 3000;
  o.layers = 20;
  o.text_styles = 10;
  o.blocks = 10;
  o.block_entities = 30;
  for (const char* version : {"HALD 2002", "TORV 2000"}) {
    o.version = version;
    expect_carried(synth::drawing(o), std::string("synthetic ") + version);
  }
}

// The exported entry points carry through the host's registration: a load
// and save of the example give the bytes the C++ calls give.
TEST_F(Carried, EntryPointsCarryWhatTheHostRegistered) {
  const fs::path example = fs::path(KTTRV_SOURCE_DIR) / "examples" / "sample.trv";
  const fs::path out = test_temp_path("carried.trv");
  KtTrvSetCarrying([](KT_Drawing& d, void*) { return zirida_carry(d); },
                   [](const KT_Drawing& d, void*) { return zirida_carried(d); }, nullptr);
  KT_Drawing drawing;
  KT_Drawing* target = &drawing;
  CString path(example.string().c_str());
  ASSERT_TRUE(LoadTORVDocument(-1, path, target));
  KT_Drawing* const before = g_current_drawing;
  g_current_drawing = &drawing;
  std::string name = out.string();
  EXPECT_TRUE(api_kt_save_trv(name.data()));
  g_current_drawing = before;
  KtTrvSetCarrying(nullptr, nullptr, nullptr);
  EXPECT_EQ(file_bytes(out), save(drawing));
  KT_Drawing direct;
  load(file_bytes(example), direct, true);
  EXPECT_EQ(file_bytes(out), save(direct));
  fs::remove(out);
}

// A dimension style record whose creation the kernel refused is kept with
// no style: not with the one the drawing held before.
TEST_F(Carried, ARefusedDimensionStyleTakesNoOtherStylesRecord) {
  KT_Drawing d;
  KT_Drawing* const before = g_current_drawing;
  g_current_drawing = &d;
  const long longs[KT_Dim_Style::kLongs] = {};
  const short shorts[KT_Dim_Style::kShorts] = {};
  const double reals[KT_Dim_Style::kReals] = {};
  api_kt_create_dim_style("OLD", "", longs, shorts, reals);
  g_current_drawing = before;
  zirida_refuse(KT_Op::create_dim_style, true);
  const Loaded loaded = load(TorvFile("HALD 2002").section(kSlotDimStyles, sample::dim_styles()).build(), d, true);
  zirida_refuse_none();
  ASSERT_TRUE(loaded.loaded);
  ASSERT_NE(d.dim_styles.first, nullptr);
  EXPECT_EQ(zirida_carried(d)->stored(*d.dim_styles.first), nullptr);
}

// A file read a small window at a time reports the same records, bytes and
// all, as the same file in memory: a record across windows is read again
// from the file.
TEST_F(Carried, AWindowedFileReportsWhatMemoryDoes) {
  const Bytes8 file = sample::full_drawing("HALD 2002").build();
  const fs::path path = test_temp_path("windowed.trv");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  KT_Drawing in_memory;
  const Loaded expected = load(file, in_memory, true);
  for (std::size_t window : {16, 64, 333, 4096}) {
    KT_Drawing d;
    Recorder recorder(zirida_carry(d));
    kttrv::LoadOptions options;
    options.observer = &recorder;
    options.window_bytes = window;
    ASSERT_TRUE(kttrv::load_drawing(kttrv::LoadSource::file(path.string()), d, options).loaded);
    EXPECT_EQ(recorder.heard, expected.heard) << "window of " << window << " bytes";
    EXPECT_EQ(save(d), save(in_memory));
  }
  fs::remove(path);
}

// A legacy file's layers (name, colour) and block texts reach the saved
// file's layer table and block definitions; nothing else of them is lost.
TEST_F(Carried, LegacyLayersAndBlockTextsGoIntoTheSavedFile) {
  Bytes8 file = LegacyFile("Torv 1.5").table(kLegacyLayers, 2).table(kLegacyBlocks, 1).build();
  const auto record = [&](LegacyTable t, int i) {
    int32_t offset;
    std::memcpy(&offset, file.data() + kLegacyHeaderSize + 16 + 8 * static_cast<std::size_t>(t) + 4, 4);
    return static_cast<std::size_t>(offset) + static_cast<std::size_t>(i) * (legacy_body_size(t, LegacyGeneration::v1_5) + 1);
  };
  const auto put = [&](std::size_t at, const std::string& text) { std::memcpy(file.data() + at, text.c_str(), text.size() + 1); };
  const struct { const char* name; int16_t color; } layers[] = {{"WALLS", 3}, {"DOORS", 0}};
  for (int i = 0; i < 2; ++i) {
    const std::size_t at = record(kLegacyLayers, i);
    file[at] = 0;  // the flag byte
    put(at + 1, layers[i].name);
    std::memcpy(file.data() + at + 33, &layers[i].color, 2);
  }
  put(record(kLegacyBlocks, 0) + 1, "Title block");
  file[record(kLegacyBlocks, 0)] = 0;

  KT_Drawing d;
  const Loaded first = load(file, d, true);
  ASSERT_TRUE(first.loaded);
  EXPECT_EQ(first.losses.count(Loss::legacy_layer), 0u);
  EXPECT_EQ(first.losses.count(Loss::legacy_block), 0u);
  const Bytes8 saved = save(d);
  KT_Drawing back;
  ASSERT_TRUE(load(saved, back, true).loaded);
  std::vector<std::pair<std::string, long>> got;
  for (const KT_Object* o = back.layers.first; o != nullptr; o = o->next)
    got.emplace_back(static_cast<const KT_Layer*>(o)->name, static_cast<const KT_Layer*>(o)->color);
  const std::vector<std::pair<std::string, long>> want = {{"WALLS", static_cast<long>(color_palette[3])},
                                                          {"DOORS", static_cast<long>(color_palette[7])}};
  EXPECT_EQ(got, want);
  const KT_Stored* head = zirida_carried(back)->stored(*back.blocks.first);
  ASSERT_NE(head, nullptr);
  const std::string bytes(reinterpret_cast<const char*>(head->data), head->size);
  EXPECT_NE(bytes.find("Title block"), std::string::npos);
  EXPECT_EQ(save(back), saved);
}

// A drawable taken out of its list after the load: the record that followed
// it (which made nothing) is still written, behind the list's drawables.
TEST_F(Carried, RecordsThatFollowedARemovedDrawableAreKept) {
  const Bytes records = Bytes()
                            .append(entity(2, PropsBlock(), Bytes().pt3(0, 0, 0).pt3(1, 1, 0)))
                            .append(entity(9, PropsBlock()))
                            .append(entity(2, PropsBlock(), Bytes().pt3(2, 2, 0).pt3(3, 3, 0)))
                            .append(entity(101, PropsBlock()));
  const Bytes8 file = TorvFile("HALD 2002").section(kSlotEntities, entity_section(4, records)).build();
  KT_Drawing d;
  ASSERT_TRUE(load(file, d, true).loaded);
  d.model_space.first = d.model_space.first->next;  // the first line is gone
  KT_Drawing back;
  const Loaded again = load(save(d), back, true);
  ASSERT_TRUE(again.loaded);
  std::vector<int16_t> kinds;
  for (const Heard& h : again.heard)
    if (h.kind == kttrv::StoredKind::entity) kinds.push_back(h.entity_kind);
  EXPECT_EQ(kinds, (std::vector<int16_t>{2, 101, 9}));
}

template <class T>
T* first_of(KT_Drawing& d, KT_Drawable_Kind kind) {
  for (KT_Drawable* e = d.model_space.first; e != nullptr; e = e->next)
    if (e->kind == kind) return static_cast<T*>(e);
  return nullptr;
}

// A line with z values and xdata, a circle that follows its layer: the
// moved line keeps its stored fields, the circle follows the recoloured layer.
TEST_F(Carried, ChangedDrawablesKeepWhatTheKernelDoesNotHold) {
  const Bytes xdata = Bytes().i16(1000).str("keep").i16(1070).i16(7);
  const Bytes records = Bytes()
                            .append(entity(2, PropsBlock().layer(1).color(3).linetype(4).xdata(2, xdata),
                                           Bytes().pt3(1, 2, 5).pt3(3, 4, 6)))
                            .append(entity(3, PropsBlock().layer(1), Bytes().pt3(0, 0, 9).f64(2)));
  const Bytes8 file = TorvFile("HALD 2002")
                          .section(kSlotLayers, Bytes().u32(2).append(sample::layer("0", 0, 7, 1)).append(sample::layer("WALLS", 0, 1, 2)))
                          .section(kSlotEntities, entity_section(2, records))
                          .build();
  KT_Drawing d;
  ASSERT_TRUE(load(file, d, true).loaded);
  auto* line = first_of<KT_Line_Entity>(d, KT_Drawable_Kind::line);
  auto* circle = first_of<KT_Circle_Entity>(d, KT_Drawable_Kind::circle);
  ASSERT_TRUE(line != nullptr && circle != nullptr);
  EXPECT_EQ(line->color_number, 3);
  EXPECT_EQ(circle->color_number, 256);
  const Bytes8 stored_line(zirida_carried(d)->stored(*line)->bytes().begin(), zirida_carried(d)->stored(*line)->bytes().end());
  line->start.x = 10.0;
  line->end.y = 40.0;
  auto* walls = static_cast<KT_Layer*>(d.layers.last);
  walls->color = 0x00FF00;  // green, palette 3

  KT_Drawing back;
  const Loaded again = load(save(d), back, true);
  ASSERT_TRUE(again.loaded);
  auto* line2 = first_of<KT_Line_Entity>(back, KT_Drawable_Kind::line);
  auto* circle2 = first_of<KT_Circle_Entity>(back, KT_Drawable_Kind::circle);
  ASSERT_TRUE(line2 != nullptr && circle2 != nullptr);
  EXPECT_EQ(line2->start.x, 10.0);
  EXPECT_EQ(line2->end.y, 40.0);
  EXPECT_EQ(circle2->color, 0x00FF00) << "the circle no longer follows its layer";
  EXPECT_EQ(circle2->color_number, 256);
  // The moved line's record: the stored property block and z values, the
  // new x and y.
  const Bytes8 written(zirida_carried(back)->stored(*line2)->bytes().begin(), zirida_carried(back)->stored(*line2)->bytes().end());
  ASSERT_EQ(written.size(), stored_line.size());
  const std::size_t payload = zirida_carried(back)->stored(*line2)->payload;
  EXPECT_TRUE(std::equal(stored_line.begin(), stored_line.begin() + static_cast<std::ptrdiff_t>(payload), written.begin()));
  double z[2];
  std::memcpy(&z[0], written.data() + payload + 16, 8);
  std::memcpy(&z[1], written.data() + payload + 40, 8);
  EXPECT_EQ(z[0], 5.0);
  EXPECT_EQ(z[1], 6.0);
}

// An insert moved after the load keeps its attribute records: the writer
// writes its fields afresh and its stored attribute run behind them. The
// stored fields the kernel does not hold (mask bits 0, 4, 6 to 9) are
// counted as lost, never dropped unsaid.
struct MovedInsert {
  const char* name;
  Bytes fields;  // the payload behind the insertion point, the attribute run excluded
  uint32_t mask;
  bool unheld;   // holds fields a fresh record cannot write again
};

TEST_F(Carried, AMovedInsertKeepsItsAttributes) {
  const Bytes attribute = Bytes().append(PropsBlock().bytes())
                              .append(sample::Record(102).at<int32_t>(32, 1).at<int32_t>(68, 1).bytes())
                              .str("TAG").str("VALUE");
  const MovedInsert cases[] = {
      {"scales and rotation", Bytes().str("DOOR").f64(2).f64(3).f64(30), 0x2 | 0x4 | 0x8 | 0x20, false},
      {"name only", Bytes().str("DOOR"), 0x2, false},
      {"every field", Bytes().i16(0).str("DOOR").f64(2).f64(3).f64(4).f64(0).f64(30).i16(1).i16(1).f64(0).f64(0),
       0x3FF, true},
      {"a z scale", Bytes().str("DOOR").f64(2).f64(0), 0x2 | 0x10, true},
  };
  for (const MovedInsert& c : cases) {
    SCOPED_TRACE(c.name);
    for (const int attributes : {0, 1, 3}) {
      SCOPED_TRACE(attributes);
      Bytes payload = Bytes().i32(static_cast<int32_t>(c.mask | (attributes > 0 ? 0x400 : 0))).pt3(5, 6, 0).append(c.fields);
      Bytes run = Bytes().u32(static_cast<uint32_t>(attributes));
      for (int i = 0; i < attributes; ++i) run.append(attribute);
      if (attributes > 0) payload.append(run);
      const Bytes8 file = TorvFile("HALD 2002").section(kSlotEntities, entity_section(1, entity(23, PropsBlock(), payload))).build();
      KT_Drawing d;
      ASSERT_TRUE(load(file, d, true).loaded);
      auto* insert = first_of<KT_Insert_Entity>(d, KT_Drawable_Kind::insert);
      ASSERT_NE(insert, nullptr);
      insert->at.x += 10.0;

      Bytes8 out;
      SaveOptions options;
      options.carried = zirida_carried(d);
      options.allow_loss = true;
      const kttrv::SaveResult saved = kttrv::save_drawing(d, out, options);
      ASSERT_TRUE(saved.saved);
      EXPECT_EQ(saved.lost(Loss::insert_field), c.unheld ? 1 : 0);
      KT_Drawing back;
      ASSERT_TRUE(load(out, back, true).loaded);
      auto* insert2 = first_of<KT_Insert_Entity>(back, KT_Drawable_Kind::insert);
      ASSERT_NE(insert2, nullptr);
      EXPECT_EQ(insert2->at.x, 15.0);
      const KT_Stored* stored = zirida_carried(back)->stored(*insert2);
      ASSERT_NE(stored, nullptr);
      const Bytes8 written(stored->bytes().begin(), stored->bytes().end());
      int32_t mask = 0;
      std::memcpy(&mask, written.data() + stored->payload, 4);
      EXPECT_EQ((mask & 0x400) != 0, attributes > 0);
      if (attributes > 0) {
        const Bytes8 expected(run.data().begin(), run.data().end());
        ASSERT_GE(written.size(), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), written.end() - static_cast<std::ptrdiff_t>(expected.size())))
            << "the attribute run is not the record's tail";
      }
    }
  }
}

// A drawable changed so that its stored record cannot be kept (another kind
// is written, or the record has no field for what changed) is written
// afresh: what the stored record held beyond the fresh one is counted, never
// dropped unsaid; a colour by layer that follows the drawable to another
// layer stays by layer, and one given back to its layer is stored so.
struct Rewritten {
  const char* name;
  Bytes record;
  std::function<void(KT_Drawable&)> edit;
  std::vector<Loss> lost;
  int16_t color_number;  // the drawable's, read back
};

TEST_F(Carried, ARewrittenRecordCountsWhatItHeld) {
  const Bytes xdata = Bytes().i16(1000).str("keep");
  sample::Record four(106);
  four.pt3(0, 1, 2, 0).at(24, 1.0).at<int32_t>(32, 1).at<int32_t>(36, 1).at<int32_t>(40, 1).at(48, 45.0).at(56, 1.0).at<int32_t>(72, 1);
  const auto move = [](KT_Drawable& d) { static_cast<KT_Text_Entity&>(d).at.x += 1.0; };
  const Rewritten cases[] = {
      {"a four-string text moved", entity(11, PropsBlock(), Bytes(four.bytes()).str("one").str("shown").str("three").str("STANDARD")),
       move, {Loss::text_field}, 256},
      {"a line recoloured, its record without a colour",
       entity(2, PropsBlock().layer(1).linetype(4).xdata(1, xdata), Bytes().pt3(1, 2, 0).pt3(3, 4, 0)),
       [](KT_Drawable& d) {
         d.color = 0x00FF00;  // palette 3
         d.color_number = 3;
       },
       {Loss::line_type_number, Loss::xdata_list}, 3},
      {"a line by block moved to a layer its record has no field for",
       entity(2, PropsBlock().color(0), Bytes().pt3(1, 2, 0).pt3(3, 4, 0)),
       [](KT_Drawable& d) { d.layer = 1; }, {Loss::by_block_colour}, 7},
      {"a line given back to its layer's colour",
       entity(2, PropsBlock().layer(1).color(3), Bytes().pt3(1, 2, 0).pt3(3, 4, 0)),
       [](KT_Drawable& d) {
         d.color = 0x0000FF;  // the layer's colour, red
         d.color_number = 256;
       },
       {}, 256},
      {"a chain polyline with extras that lost a point",
       entity(28, PropsBlock(), Bytes().i32(2).u16(0).f64(1.5).i32(0).i32(1).pt2(0, 0).pt2(1, 1).f64(1).f64(2).f64(3).f64(4).f64(5).f64(6)),
       [](KT_Drawable& d) { static_cast<KT_Vertex_Entity&>(d).count = 1; }, {Loss::polyline_field}, 256},
      {"a circle by layer moved to another layer",
       entity(3, PropsBlock().layer(0), Bytes().pt3(0, 0, 0).f64(2)),
       [](KT_Drawable& d) {
         d.layer = 1;
         d.color = 0x0000FF;  // the layer's colour, red
       },
       {}, 256},
  };
  for (const Rewritten& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes8 file = TorvFile("HALD 2002")
                            .section(kSlotLayers, Bytes().u32(2).append(sample::layer("0", 0, 7, 1)).append(sample::layer("WALLS", 0, 1, 2)))
                            .section(kSlotEntities, entity_section(1, c.record))
                            .build();
    KT_Drawing d;
    ASSERT_TRUE(load(file, d, true).loaded);
    ASSERT_NE(d.model_space.first, nullptr);
    c.edit(*d.model_space.first);
    Bytes8 out;
    SaveOptions options;
    options.carried = zirida_carried(d);
    options.allow_loss = true;
    const kttrv::SaveResult saved = kttrv::save_drawing(d, out, options);
    ASSERT_TRUE(saved.saved);
    for (std::size_t i = 0; i < kLossKinds; ++i) {
      const bool expected = std::find(c.lost.begin(), c.lost.end(), static_cast<Loss>(i)) != c.lost.end();
      EXPECT_EQ(saved.losses.count(static_cast<Loss>(i)) != 0, expected) << loss_name(static_cast<Loss>(i));
    }
    KT_Drawing back;
    ASSERT_TRUE(load(out, back, true).loaded);
    ASSERT_NE(back.model_space.first, nullptr);
    EXPECT_EQ(back.model_space.first->color_number, c.color_number);
    EXPECT_EQ(back.model_space.first->layer, d.model_space.first->layer);
    EXPECT_EQ(back.model_space.first->color, d.model_space.first->color);
  }
}

// A text or dimension changed (moved, retyped) keeps the stored fields of
// its fixed part the kernel does not receive, whatever its strings' lengths:
// a text's insertion z (at 16) and second point (at 70), a dimension's point
// at 12.
struct KeptField {
  const char* name;
  Bytes record;
  std::function<void(KT_Drawable&)> edit;
  std::size_t at;      // in the payload
  double values[3];    // what it holds
  int count;           // of values
};

TEST_F(Carried, AChangedRecordKeepsItsStoredFixedFields) {
  sample::Record text(94);
  text.pt3(0, 10, 20, 5).at(24, 2.5).at<int32_t>(32, 1).at(36, 30.0).at(44, 1.0).at<int32_t>(60, 1).pt3(70, 7, 8, 9);
  const Bytes text_record = entity(7, PropsBlock().layer(0).color(1), Bytes(text.bytes()).str("Hello").str("TITLE"));
  sample::Record dim(230);
  dim.at<int32_t>(0, 1).pt3(12, 9, 9, 9).pt3(36, 1, 0, 0).pt3(60, 2, 0, 0).pt3(84, 3, 0, 0).at(180, 1.0);
  const Bytes dim_record = entity(18, PropsBlock().layer(0).color(1), Bytes(dim.bytes()).str("label"));
  const auto retype = [](const char* to) {
    return [to](KT_Drawable& d) {
      auto& t = static_cast<KT_Text_Entity&>(d);
      t.at.x += 1.0;
      t.text = to;
    };
  };
  const KeptField cases[] = {
      {"a text retyped shorter", text_record, retype("Hi"), 16, {5}, 1},
      {"a text retyped longer", text_record, retype("A longer text than before"), 70, {7, 8, 9}, 3},
      {"a text moved", text_record, retype("Hello"), 70, {7, 8, 9}, 3},
      {"a dimension moved",
       dim_record,
       [](KT_Drawable& d) {
         for (Ge_Pt& p : static_cast<KT_Dimension_Entity&>(d).points) p.x += 1.0;
       },
       12, {9, 9, 9}, 3},
      {"a dimension relabelled", dim_record,
       [](KT_Drawable& d) { static_cast<KT_Dimension_Entity&>(d).strings[0] = "a new, longer label"; }, 12, {9, 9, 9}, 3},
  };
  std::vector<KeptField> all(std::begin(cases), std::end(cases));
  // Chains: count, flags, a real, a 32-bit value, the extras field, the
  // points, then (extras field above 0) three reals a point.
  const auto chain = [](int32_t extras_field, bool extras) {
    Bytes b;
    b.i32(3).u16(0).f64(1.5).i32(77).i32(extras_field);
    for (int i = 0; i < 3; ++i) b.pt2(i, 2 * i);
    if (extras)
      for (int i = 0; i < 3; ++i) b.f64(4.0 + i).f64(5).f64(6);
    return entity(28, PropsBlock().layer(0).color(1), b);
  };
  const auto move_points = [](KT_Drawable& d) {
    auto& v = static_cast<KT_Vertex_Entity&>(d);
    for (long i = 0; i < v.count; ++i) v.vertices[i].y += 1.0;
  };
  all.push_back({"a chain polyline moved keeps its real", chain(2, true), move_points, 6, {1.5}, 1});
  all.push_back({"a chain polyline moved keeps its extras", chain(2, true), move_points, 22 + 48 + 24, {5, 5, 6}, 3});
  all.push_back({"a chain point set moved keeps its real", chain(0, false), move_points, 6, {1.5}, 1});
  for (const KeptField& c : all) {
    SCOPED_TRACE(c.name);
    const Bytes8 file = TorvFile("HALD 2002").section(kSlotEntities, entity_section(1, c.record)).build();
    KT_Drawing d;
    ASSERT_TRUE(load(file, d, true).loaded);
    ASSERT_NE(d.model_space.first, nullptr);
    c.edit(*d.model_space.first);
    const uint64_t digest = zirida_carried(d)->digest(*d.model_space.first);
    ASSERT_NE(digest, zirida_carried(d)->stored(*d.model_space.first)->digest) << "the edit changed nothing";
    const Bytes8 once = save(d);
    KT_Drawing back;
    ASSERT_TRUE(load(once, back, true).loaded);
    ASSERT_NE(back.model_space.first, nullptr);
    // The kernel's values are the edited ones...
    EXPECT_EQ(zirida_carried(back)->digest(*back.model_space.first), digest);
    // ... and the stored field is still there.
    const KT_Stored* stored = zirida_carried(back)->stored(*back.model_space.first);
    ASSERT_NE(stored, nullptr);
    ASSERT_GE(stored->size, stored->payload + c.at + 8 * static_cast<std::size_t>(c.count));
    for (int i = 0; i < c.count; ++i) {
      double v = 0;
      std::memcpy(&v, stored->data + stored->payload + c.at + 8 * static_cast<std::size_t>(i), 8);
      EXPECT_EQ(v, c.values[i]) << "value " << i;
    }
  }
}

}  // namespace
