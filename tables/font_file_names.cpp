#include "tables/font_file_names.h"

#include <cstring>

FileNameParts split_file_name(std::string_view name) {
  FileNameParts p;
  if (name.size() >= 2 && name[1] == ':') {
    p.drive = name.substr(0, 2);
    name.remove_prefix(2);
  }
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) {
    p.folder = name.substr(0, slash + 1);
    name.remove_prefix(slash + 1);
  }
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) {
    p.extension = name.substr(dot);
    name = name.substr(0, dot);
  }
  p.base = name;
  return p;
}

void lower_ascii(char* name) {
  for (char* c = name; *c; ++c)
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c + 0x20);
}

void normalize_font_file(char* name, std::size_t cap) {
  if (cap == 0) return;
  lower_ascii(name);
  const FileNameParts parts = split_file_name(name);
  const bool truetype = parts.extension == ".ttf" || parts.extension == ".ttc";
  const char* ext = truetype ? ".ttf" : ".shx";
  const std::size_t ext_len = std::strlen(ext);
  if (cap <= ext_len) {
    name[0] = '\0';
    return;
  }
  // The base name lies inside name; memmove moves it to the front.
  const std::size_t base_len = parts.base.size() < cap - 1 - ext_len ? parts.base.size() : cap - 1 - ext_len;
  std::memmove(name, parts.base.data(), base_len);
  std::memcpy(name + base_len, ext, ext_len + 1);
}
