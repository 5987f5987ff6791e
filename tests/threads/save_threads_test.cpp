// Saves that name their drawing run beside anything: four threads each load
// and save a drawing of their own through the C++ API, beside a thread that
// loads through the exported entry point, 100 times each; every saved file
// must equal the serial save's. Built with ThreadSanitizer by the tsan preset.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "kernel/afx.h"
#include "load/load.h"
#include "load/load_document.h"
#include "save/save_file.h"
#include "tests/support/sample_drawing.h"

namespace {

std::vector<unsigned char> load_and_save(const std::vector<unsigned char>& file) {
  KT_Drawing drawing;
  if (!kttrv::load_drawing(kttrv::LoadSource::bytes(file), drawing).loaded) return {};
  std::vector<unsigned char> saved;
  if (!kttrv::save_drawing(drawing, saved).saved) return {};
  return saved;
}

TEST(SaveThreads, SavesBesideLoadsGiveTheSerialFiles) {
  std::vector<std::vector<unsigned char>> files, serial;
  for (const char* version : {"SELK 97", "TORV 98", "TORV 2000", "HALD 2002"}) {
    files.push_back(sample::full_drawing(version).build());
    serial.push_back(load_and_save(files.back()));
    ASSERT_FALSE(serial.back().empty()) << version;
  }
  constexpr int kRounds = 100;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < files.size(); ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i)
        if (load_and_save(files[t]) != serial[t]) ++mismatches;
    });
  // The exported load makes its drawing the kernel's current one while it
  // runs; the saves above never look at it.
  threads.emplace_back([&] {
    for (int i = 0; i < kRounds; ++i) {
      KT_Drawing drawing;
      if (!load_torv_buffer(-1, files[0].data(), files[0].size(), drawing)) ++mismatches;
    }
  });
  for (auto& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
