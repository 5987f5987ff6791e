// The names of a save's own files, on every platform.
#include "save/replacing_file.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>

namespace kttrv::saving {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kPrefixMax = 200;  // + 1 + 16 + 12 stays below 255

bool all_hex(std::string_view s) {
  for (const char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return !s.empty();
}

bool all_digits(std::string_view s) {
  for (const char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

// Cut at a character's start: the name stays UTF-8.
std::string prefix_of(const std::string& destination_name) {
  std::size_t n = destination_name.size();
  if (n > kPrefixMax) {
    n = kPrefixMax;
    while (n > 0 && (static_cast<unsigned char>(destination_name[n]) & 0xC0) == 0x80) --n;
  }
  return destination_name.substr(0, n);
}

// "<prefix>.<16 hex>.trv-partial": the prefix, or empty when name is not of this form.
std::string_view partial_prefix(std::string_view name) {
  if (name.size() < kPartialSuffix.size() + 18 || !name.ends_with(kPartialSuffix)) return {};
  name.remove_suffix(kPartialSuffix.size());
  if (!all_hex(name.substr(name.size() - 16)) || name[name.size() - 17] != '.') return {};
  return name.substr(0, name.size() - 17);
}

// "<prefix>.<1 to 10 hex>-<digits>.tmp", as earlier versions named them.
std::string_view older_prefix(std::string_view name) {
  if (!name.ends_with(".tmp")) return {};
  name.remove_suffix(4);
  const std::size_t dash = name.rfind('-');
  if (dash == std::string_view::npos || !all_digits(name.substr(dash + 1)) || name.size() - dash > 11) return {};
  const std::size_t dot = name.rfind('.', dash);
  if (dot == std::string_view::npos || dot == 0 || dash - dot - 1 > 10 || !all_hex(name.substr(dot + 1, dash - dot - 1)))
    return {};
  return name.substr(0, dot);
}

std::uint64_t random_bits() {
  static std::atomic<std::uint64_t> counter = 0;
  std::uint64_t bits = 0;
  try {
    std::random_device device;
    bits = (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (...) {
    // No source of randomness: the name is still new (opened exclusively),
    // only less hard to guess.
  }
  const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return bits ^ (now * 0x9E3779B97F4A7C15ull) ^ (counter.fetch_add(1) << 48);
}

}  // namespace

Leftover leftover_kind(std::string_view name, const std::string* destination_name) {
  const std::string_view partial = partial_prefix(name);
  if (!partial.empty() && (destination_name == nullptr || partial == prefix_of(*destination_name)))
    return Leftover::partial;
  const std::string_view older = older_prefix(name);
  if (!older.empty() &&
      (destination_name == nullptr ? older.ends_with(".trv") && older.size() > 4 : older == *destination_name))
    return Leftover::older;
  return Leftover::none;
}

std::string partial_name(const std::string& destination_name) {
  char hex[17];
  std::uint64_t bits = random_bits();
  for (int i = 15; i >= 0; --i, bits >>= 4) hex[i] = "0123456789abcdef"[bits & 15];
  hex[16] = '\0';
  return prefix_of(destination_name) + "." + hex + std::string(kPartialSuffix);
}

std::string name_of(const fs::path& p) {
  const std::u8string s = p.u8string();
  return {reinterpret_cast<const char*>(s.data()), s.size()};
}

bool follow_links(const fs::path& given, fs::path& target, std::vector<fs::path>& links, std::string& problem) {
  target = given;
  links.clear();
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(target, ec))) return true;
    const fs::path to = fs::read_symlink(target, ec);
    if (ec) {
      problem = "cannot read its symbolic link (" + ec.message() + ")";
      return false;
    }
    links.push_back(target);
    target = to.is_absolute() ? to : target.parent_path() / to;
  }
  problem = "its symbolic links lead round in a loop";
  return false;
}

fs::path path_of(const std::string& utf8) { return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size())); }

}  // namespace kttrv::saving
