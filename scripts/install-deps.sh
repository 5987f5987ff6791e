#!/usr/bin/env bash
# Installs the Debian packages the build, tests, benchmarks and fuzzers need,
# only those that are missing.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
          libbenchmark-dev libcli11-dev nlohmann-json3-dev libsqlite3-dev
          libcairo2-dev libpng-dev zlib1g-dev pkg-config libxml2-utils poppler-utils librsvg2-bin strace
          parallel  # the README's recipe for archives
          eatmydata  # bench/batch_save: the conversion without syncs
          pybind11-dev python3-dev python3-numpy python3-pytest python3-pandas  # the Python package
          python3-dask python3-distributed python3-venv python3-pip
          g++-mingw-w64-x86-64 googletest wine wine64)  # the last four: the windows preset
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi
