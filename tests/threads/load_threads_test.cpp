// The shared plug-in called as a host with several threads calls it: four
// threads load four different files, 200 times each, into drawings of their
// own, while a fifth sets the diagnostic sink; every result must equal the
// serial load's. Built with ThreadSanitizer by the tsan preset.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kernel/afx.h"
#include "load/load_document.h"
#include "tests/support/sample_drawing.h"
#include "tests/support/temp_path.h"

namespace {

void describe(std::string& out, const KT_Entity_List& list) {
  for (const KT_Drawable* d = list.first; d; d = d->next)
    out += " d" + std::to_string(static_cast<int>(d->kind)) + "/" + std::to_string(d->id) + "/" +
           std::to_string(d->color) + "/" + std::to_string(d->third) + "/" + std::to_string(d->layer);
}

template <class T, class F>
void describe(std::string& out, const KT_Collection& c, F name) {
  for (const KT_Object* o = c.first; o; o = o->next) out += " " + std::to_string(o->id) + ":" + name(static_cast<const T&>(*o));
}

// What a load put into the drawing: every object in order, with its id,
// name and the shared fields of each drawable.
std::string fingerprint(const KT_Drawing& d) {
  std::string out;
  describe<KT_Layer>(out, d.layers, [](const KT_Layer& l) { return std::string(l.name) + "/" + std::to_string(l.color); });
  describe<KT_Text_Style>(out, d.text_styles, [](const KT_Text_Style& s) { return std::string(s.name) + "/" + s.font_file; });
  describe<KT_Dim_Style>(out, d.dim_styles, [](const KT_Dim_Style& s) { return std::string(s.name); });
  describe<KT_Line_Type>(out, d.line_types, [](const KT_Line_Type& t) { return std::string(t.name); });
  for (const KT_Object* o = d.blocks.first; o; o = o->next) {
    const auto& b = static_cast<const KT_Block&>(*o);
    out += " block " + std::to_string(b.id) + ":" + b.name;
    describe(out, b.entities);
  }
  out += " model";
  describe(out, d.model_space);
  return out;
}

struct Result {
  bool loaded = false;
  std::string contents;
  bool operator==(const Result&) const = default;
};

Result load(const std::string& path) {
  KT_Drawing drawing;
  KT_Drawing* target = &drawing;
  CString name(path.c_str());
  Result r;
  r.loaded = LoadTORVDocument(-1, name, target);
  r.contents = fingerprint(drawing);
  return r;
}

TEST(LoadThreads, FourThreadsLoadLikeOneAfterAnother) {
  const auto dir = test_temp_path("kttrv_load_threads");
  std::filesystem::create_directories(dir);
  std::vector<std::string> paths;
  for (const char* version : {"SELK 97", "TORV 98", "TORV 2000", "HALD 2002"}) {
    const auto bytes = sample::full_drawing(version).build();
    paths.push_back((dir / (std::string(version) + ".trv")).string());
    std::ofstream(paths.back(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  std::vector<Result> serial;
  for (const auto& p : paths) {
    serial.push_back(load(p));
    ASSERT_TRUE(serial.back().loaded) << p;
  }

  constexpr int kLoads = 200;
  std::atomic<int> mismatches{0};
  std::atomic<long> messages{0};
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < paths.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kLoads; ++i)
        if (!(load(paths[t]) == serial[t])) ++mismatches;
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < kLoads; ++i) {
      if (i % 2 == 0) {
        KtTrvSetDiagnosticSink([](const char*, void* c) { ++*static_cast<std::atomic<long>*>(c); }, &messages);
      } else {
        KtTrvSetDiagnosticSink(nullptr, nullptr);
      }
      std::this_thread::yield();
    }
  });
  for (auto& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
  std::filesystem::remove_all(dir);
}

}  // namespace
