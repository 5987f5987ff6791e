#include "format/torv_header.h"

#include <string_view>

#include "format/names.h"
#include "format/record_reader.h"

int g_trv_ver = -1;

namespace {

struct VersionEntry {
  const char* text;
  int generation;
};

constexpr VersionEntry kVersions[] = {
    {"SELK 24.05.95", 2}, {"SELK 97", 3}, {"TORV 98", 3},
    {"TORV 99", 6},       {"TORV 2000", 9}, {"HALD 2002", 11},
};

}  // namespace

bool read_torv_header(tagFile* f, TorvHeader& header) {
  RecordReader r(f);
  r.seek(0);
  return r.bytes(&header, kTorvHeaderSize);
}

int torv_generation(const char (&version)[14]) {
  for (const VersionEntry& v : kVersions)
    if (field_names(version, sizeof version, v.text)) return v.generation;
  return -1;
}
