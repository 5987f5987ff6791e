#include "tools/trv/batch_inputs.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <utility>

namespace trv {

namespace fs = std::filesystem;

namespace {

bool has_drawing_extension(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".trv";
}

// The drawings under a folder, sorted; folders that cannot be read are
// passed over (their drawings cannot be converted either way).
std::vector<std::string> drawings_under(const std::string& dir) {
  std::vector<std::string> found;
  std::error_code ec;
  fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (it->is_regular_file(type_ec) && has_drawing_extension(it->path())) found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

bool read_list(const std::string& from, std::string& text, std::string& problem) {
  if (from == "-") {
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);  // a NUL-separated list is bytes
#endif
    char chunk[1 << 16];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) text.append(chunk, n);
    if (std::ferror(stdin) == 0) return true;
    problem = "-: cannot read the list from standard input";
    return false;
  }
  std::ifstream in(from, std::ios::binary);
  if (!in) {
    problem = from + ": cannot be read";
    return false;
  }
  text.assign(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) {
    problem = from + ": cannot be read";
    return false;
  }
  return true;
}

// What makes two paths one file: the device and file numbers where the
// system has them, else the path made absolute and normal.
using FileKey = std::pair<std::uint64_t, std::uint64_t>;
bool file_key(const std::string& path, FileKey& key, std::string& name) {
#if !defined(_WIN32)
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  key = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  (void)name;
  return true;
#else
  std::error_code ec;
  if (!fs::exists(path, ec)) return false;
  name = fs::weakly_canonical(path, ec).string();
  key = {0, 0};
  return true;
#endif
}

}  // namespace

std::vector<std::string> split_path_list(const std::string& text, bool nul_separated) {
  std::vector<std::string> paths;
  const char end = nul_separated ? '\0' : '\n';
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t stop = text.find(end, at);
    if (stop == std::string::npos) stop = text.size();
    std::string path = text.substr(at, stop - at);
    if (!nul_separated && !path.empty() && path.back() == '\r') path.pop_back();
    if (!path.empty()) paths.push_back(std::move(path));
    at = stop + 1;
  }
  return paths;
}

std::string batch_output_for(const std::string& input, const std::string& dir, bool mirrored,
                             const std::string& extension) {
  if (input == "-") return (fs::path(dir) / ("stdin" + extension)).string();
  fs::path in(input);
  if (!mirrored) return (fs::path(dir) / in.stem()).string() + extension;
  fs::path relative;
  for (const fs::path& part : in.relative_path().lexically_normal()) {
    if (relative.empty() && (part == ".." || part == ".")) continue;  // never above dir
    relative /= part;
  }
  if (relative.empty() || relative.filename().empty()) relative /= "stdin";
  relative.replace_extension(extension);
  return (fs::path(dir) / relative).string();
}

bool gather_batch_inputs(const BatchSources& sources, std::vector<BatchInput>& inputs, std::string& problem) {
  const bool mirrored = sources.recursive || !sources.from.empty();
  std::vector<std::pair<std::string, std::string>> named;  // path, refusal
  for (const std::string& arg : sources.args) {
    std::error_code ec;
    if (arg != "-" && fs::is_directory(arg, ec)) {
      if (!sources.recursive) {
        named.emplace_back(arg, "is a folder (-r converts the drawings in it)");
        continue;
      }
      for (std::string& path : drawings_under(arg)) named.emplace_back(std::move(path), "");
    } else {
      named.emplace_back(arg, "");
    }
  }
  if (!sources.from.empty()) {
    std::string text;
    if (!read_list(sources.from, text, problem)) return false;
    for (std::string& path : split_path_list(text, sources.nul_separated)) named.emplace_back(std::move(path), "");
  }

  // Each file once, however often it is named.
  std::set<FileKey> seen_keys;
  std::set<std::string> seen_names;
  std::set<FileKey> input_keys;
  std::set<std::string> input_names;
  inputs.clear();
  for (auto& [path, refusal] : named) {
    FileKey key;
    std::string name;
    if (path != "-" && file_key(path, key, name)) {
      const bool again = name.empty() ? !seen_keys.insert(key).second : !seen_names.insert(name).second;
      if (again) continue;
      if (name.empty()) input_keys.insert(key);
      else input_names.insert(name);
    }
    inputs.push_back({path, refusal.empty() ? batch_output_for(path, sources.out_dir, mirrored, sources.extension) : "", refusal});
  }

  // Outputs that would be one file: none of those inputs is converted.
  std::map<std::string, std::vector<std::size_t>> by_output;
  for (std::size_t i = 0; i < inputs.size(); ++i)
    if (inputs[i].refusal.empty()) by_output[fs::path(inputs[i].output).lexically_normal().string()].push_back(i);
  for (const auto& [output, users] : by_output) {
    if (users.size() < 2) continue;
    for (const std::size_t i : users) {
      std::string others;
      for (const std::size_t j : users)
        if (j != i) others += (others.empty() ? "" : ", ") + inputs[j].path;
      inputs[i].refusal = "would be written to " + output + ", as " + others + " would; none of them is converted";
    }
  }

  // An output that is an input (the same file by any path).
  if (!sources.in_place) {
    for (BatchInput& input : inputs) {
      FileKey key;
      std::string name;
      if (!input.refusal.empty() || !file_key(input.output, key, name)) continue;
      if (name.empty() ? input_keys.count(key) != 0 : input_names.count(name) != 0)
        input.refusal = "its output " + input.output + " is an input" +
                        (sources.offers_in_place ? " (--in-place replaces inputs)" : "");
    }
  }
  return true;
}

bool gather_batch_inputs_into_folder(const BatchSources& sources, std::vector<BatchInput>& inputs,
                                     std::string& problem) {
  if (!gather_batch_inputs(sources, inputs, problem)) return false;
  std::error_code ec;
  fs::create_directories(sources.out_dir, ec);
  if (ec) problem = sources.out_dir + ": " + ec.message();
  return !ec;
}

}  // namespace trv
