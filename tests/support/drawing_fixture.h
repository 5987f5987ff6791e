// Test support: a fresh drawing made current, with the kernel trace captured
// line by line and every refusal cleared.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/zirida_host.h"
#include "kernel/zirida.h"

class DrawingTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Loads bytes through the in-memory entry with the given mode.
  bool load(const std::vector<unsigned char>& bytes, int mode = -1);
  // Writes bytes to a temporary file and returns its path.
  std::string temp_file(const std::vector<unsigned char>& bytes, const std::string& name = "t.trv");

  // The captured trace lines, parsed.
  std::vector<nlohmann::json> ops() const;
  // Only the lines of one operation.
  std::vector<nlohmann::json> ops(const std::string& name) const;

  KT_Drawing drawing;
  std::vector<std::string> trace;
  std::filesystem::path dir;
};

// The number of elements of a collection.
long count_of(const KT_Collection& c);
