#include "load/font_file_names.h"

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

void lower_ascii(std::string& name) {
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
}

void normalize_font_file(std::string& name) {
  lower_ascii(name);
  const FileNameParts parts = split_file_name(name);
  const bool truetype = parts.extension == ".ttf" || parts.extension == ".ttc";
  // The base name lies inside name; erase what surrounds it.
  const auto base_at = static_cast<std::size_t>(parts.base.data() - name.data());
  name.resize(base_at + parts.base.size());
  name.erase(0, base_at);
  name += truetype ? ".ttf" : ".shx";
}
