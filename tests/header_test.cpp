#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "format/torv_header.h"
#include "load/load.h"

namespace {

int generation_of(const char* text, std::size_t n) {
  char field[14] = {};
  std::memcpy(field, text, n);
  return torv_generation(field);
}

TEST(GenerationTable, RecognisesEveryVersionWithoutLetterCase) {
  struct Case {
    const char* text;
    int generation;
  } cases[] = {
      {"SELK 24.05.95", 2}, {"SELK 97", 3},   {"TORV 98", 3},   {"TORV 99", 6},
      {"TORV 2000", 9},     {"torv 2000", 9}, {"HALD 2002", 11}, {"hAlD 2002", 11},
      {"TORV 2000 ", -1},   {"TORV 200", -1}, {"", -1},          {"TORV 2001", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(generation_of(c.text, std::strlen(c.text)), c.generation) << c.text;
}

TEST(GenerationTable, FieldWithoutTerminatorMatchesNothing) {
  EXPECT_EQ(generation_of("TORV 2000XXXXX", 14), -1);
  EXPECT_EQ(generation_of("SELK 24.05.95X", 14), -1);
}

// The version field of a current file (from byte 2, 14 bytes) or a legacy
// one (from byte 0, 20 bytes), and whether a zero ends it there.
kttrv::FileIdentity identity_of(const std::string& bytes) {
  return kttrv::identify_file({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()}, bytes.size());
}

TEST(FileIdentity, SaysWhetherAZeroEndsTheVersionInItsField) {
  const std::string zeros(88, '\0');
  const auto current = [&](const std::string& field) { return "\x01\x0b" + field + zeros.substr(2 + field.size()); };
  EXPECT_TRUE(identity_of(current("HALD 2002")).version_terminated);
  const kttrv::FileIdentity full = identity_of(current("TORV 2000XXXXX") + "YY");
  EXPECT_EQ(full.version, "TORV 2000XXXXX");
  EXPECT_FALSE(full.version_terminated);
  EXPECT_FALSE(identity_of("\x01\x0bHALD").version_terminated);  // the file ends in the field
  const kttrv::FileIdentity legacy = identity_of("Torv 1.0XXXXXXXXXXXX" + zeros);
  EXPECT_TRUE(legacy.legacy);
  EXPECT_EQ(legacy.version, "Torv 1.0XXXXXXXXXXXX");
  EXPECT_FALSE(legacy.version_terminated);
  EXPECT_TRUE(identity_of("Torv 1.5" + zeros).version_terminated);
}

}  // namespace
