#include <gtest/gtest.h>

#include <cstring>

#include "format/torv_header.h"

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

}  // namespace
