// trv catalog: a searchable catalogue of drawing files in SQLite
// (docs/CATALOG.md). build walks the paths and keeps the catalogue up to
// date (catalog_build.cpp); search, stats and merge read and join
// catalogues (catalog_query.cpp). Each returns the exit status after
// printing its own errors.
#pragma once

#include <string>
#include <vector>

namespace trv::catalog {

struct BuildOptions {
  std::string archive;
  std::vector<std::string> paths;
  int jobs = 1;
  int batch = 500;  // files a transaction commits at most
};
int run_build(const BuildOptions& options);

struct SearchOptions {
  std::string archive;
  std::string query;  // FTS5 query syntax
  long limit = 0;     // 0: every hit
  bool json = false;
};
int run_search(const SearchOptions& options);

int run_stats(const std::string& archive, long top, bool json);

int run_merge(const std::string& out, const std::vector<std::string>& parts);

}  // namespace trv::catalog
