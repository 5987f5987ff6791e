#include "format/torv_header.h"

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

char fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c; }

bool same_text(const char (&field)[14], const char* text) {
  for (int i = 0; i < 14; ++i) {
    if (fold(field[i]) != fold(text[i])) return false;
    if (field[i] == '\0') return true;
  }
  return false;  // no zero inside the field
}

}  // namespace

bool read_torv_header(tagFile* f, TorvHeader& header) {
  f->position = 0;
  return file_read(&header, kTorvHeaderSize, 1, f) == 1;
}

int torv_generation(const char (&version)[14]) {
  for (const VersionEntry& v : kVersions)
    if (same_text(version, v.text)) return v.generation;
  return -1;
}
