#include "tests/support/drawing_fixture.h"

#include <fstream>

#include "kernel/collections.h"
#include "load/load_document.h"
#include "load/sysvar_list_cache.h"
#include "tests/support/temp_path.h"

namespace {
void capture(std::string_view line, void* context) {
  static_cast<std::vector<std::string>*>(context)->emplace_back(line);
}
}  // namespace

void DrawingTest::SetUp() {
  g_current_drawing = &drawing;
  zirida_refuse_none();
  zirida_set_trace(capture, &trace);
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir = test_temp_path(std::string("kttrv_") + info->test_suite_name() + "_" + info->name());
  std::filesystem::create_directories(dir);
}

void DrawingTest::TearDown() {
  zirida_set_trace(nullptr, nullptr);
  zirida_refuse_none();
  g_current_drawing = nullptr;
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

bool DrawingTest::load(const std::vector<unsigned char>& bytes, int mode) {
  read_sysvar_list(sysvar_list_path());
  return load_torv_buffer(mode, bytes.data(), bytes.size(), drawing);
}

std::string DrawingTest::temp_file(const std::vector<unsigned char>& bytes, const std::string& name) {
  const auto path = dir / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

std::vector<nlohmann::json> DrawingTest::ops() const {
  std::vector<nlohmann::json> out;
  for (const auto& line : trace) out.push_back(nlohmann::json::parse(line));
  return out;
}

std::vector<nlohmann::json> DrawingTest::ops(const std::string& name) const {
  std::vector<nlohmann::json> out;
  for (const auto& line : trace) {
    auto j = nlohmann::json::parse(line);
    if (j["op"] == name) out.push_back(std::move(j));
  }
  return out;
}

long count_of(const KT_Collection& c) { return count_collection(c); }
