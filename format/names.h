// Names (tables, versions, file extensions) are compared without letter case:
// A to Z and a to z fold together, every other byte stands as it is.
#pragma once

#include <string>
#include <string_view>

inline char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

inline bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

// The text of a fixed field up to its zero; nothing when the field has none.
inline bool field_text(const char* field, std::size_t width, std::string_view& text) {
  const std::string_view whole(field, width);
  const std::size_t zero = whole.find('\0');
  if (zero == std::string_view::npos) return false;
  text = whole.substr(0, zero);
  return true;
}

// The text of a fixed field (up to its zero) is `name`, letter case aside; a
// field without a zero names nothing.
inline bool field_names(const char* field, std::size_t width, std::string_view name) {
  std::string_view text;
  return field_text(field, width, text) && same_name(text, name);
}

// Lower-cases A to Z in place; other bytes stay.
inline void lower_ascii(std::string& name) {
  for (char& c : name) c = ascii_lower(c);
}
