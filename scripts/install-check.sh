#!/usr/bin/env bash
# The installed package as another project uses it: installs a build into a
# temporary prefix, builds examples/host and the counting kernel against it
# with find_package and with pkg-config, compiles every installed header
# alone and all together both ways, moves the prefix, then runs the
# installed trv and the hosts from the new place, and the Python package from
# there and through pip. Last, a project that adds the source tree as a
# subdirectory builds the same headers and the host.
#   scripts/install-check.sh [BUILD_DIR]   (default build/debug)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/debug}
src=$PWD
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/first/prefix
moved=$tmp/second/place
sample=$src/examples/sample.trv
# Runs a command silently; shows its output when it fails.
quiet() { "$@" >"$tmp/output" 2>&1 || { cat "$tmp/output"; return 1; }; }

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(cd "$prefix" && dirname "$(find . -name libKtTrv.so | head -1)")
readelf -d "$prefix/$libdir/libKtTrv.so" | grep -q 'SONAME.*libKtTrv\.so\.0' || { echo "libKtTrv: no versioned SONAME"; exit 1; }

# Every header the package installs, as its users include it.
headers=$tmp/headers.txt
(cd "$prefix/include" && find . -type f -name '*.h' | sed 's|^\./||' | sort) > "$headers"
grep -qx 'kttrv/kttrv.h' "$headers" || { echo "kttrv/kttrv.h is not installed"; exit 1; }

echo "== find_package"
for example in host counting_kernel; do
  quiet cmake -S examples/$example -B "$tmp/$example" -G Ninja -DCMAKE_PREFIX_PATH="$prefix"
  quiet cmake --build "$tmp/$example"
done
consumer=(-S tests/package -G Ninja -DKTTRV_HEADERS="$headers")
quiet cmake "${consumer[@]}" -B "$tmp/consumer" -DCMAKE_PREFIX_PATH="$prefix"
quiet cmake --build "$tmp/consumer"

echo "== pkg-config"
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
mkdir -p "$tmp/pc"
read -r -a flags <<< "$(pkg-config --cflags --libs kttrv)"
c++ -std=c++20 examples/host/host.cpp "${flags[@]}" -o "$tmp/pc/kttrv_host"
read -r -a cflags <<< "$(pkg-config --cflags kttrv)"
c++ -std=c++20 -shared -fPIC "${cflags[@]}" examples/counting_kernel/counting_kernel.cpp \
  -Wl,-soname,libZiRida.so.0 -o "$tmp/pc/libZiRida.so.0"
c++ -std=c++20 "${cflags[@]}" examples/counting_kernel/count_host.cpp "$tmp/pc/libZiRida.so.0" \
  "$(pkg-config --variable=libdir kttrv)/libKtTrv.so" -Wl,-rpath,"$tmp/pc" -o "$tmp/pc/count_host"
# The consumer's translation units: one per header, and all of them with main.
# The entry points' header asks for C++17 only; the C++ API's for C++20.
echo '#include <kttrv/kttrv.h>' | c++ -x c++ -std=c++17 -Wall -Wextra -Wpedantic -Werror "${cflags[@]}" -c - -o /dev/null
read -r -a api_flags <<< "$(pkg-config --cflags --libs kttrv-api)"
read -r -a api_cflags <<< "$(pkg-config --cflags kttrv-api)"
objects=()
for unit in "$tmp"/consumer/headers/*.cpp; do
  c++ -std=c++20 -Wall -Wextra -Wpedantic -Werror "${api_cflags[@]}" -c "$unit" -o "$tmp/pc/$(basename "$unit" .cpp).o"
  objects+=("$tmp/pc/$(basename "$unit" .cpp).o")
done
c++ "${objects[@]}" "${api_flags[@]}" -o "$tmp/pc/kttrv_headers"
c++ -std=c++20 examples/cpp_api/cpp_api.cpp "${api_flags[@]}" -o "$tmp/pc/kttrv_cpp_api"

echo "== moved prefix"
mkdir -p "$(dirname "$moved")"
mv "$prefix" "$moved"
"$moved/bin/trv" --version
# Each finds the list file beside the installed binary that holds the code.
list=$moved/share/kttrv/torv_sys.txt
strace -f -e trace=openat -o "$tmp/trv.strace" "$moved/bin/trv" save --allow-loss "$sample" "$tmp/by_trv.trv"
grep -Eq "\"$list\", O_RDONLY\) = [0-9]" "$tmp/trv.strace" || { echo "installed trv did not read $list"; exit 1; }
# trv carries what the file holds: its save saves again to the same bytes.
"$moved/bin/trv" -q save "$tmp/by_trv.trv" "$tmp/by_trv_again.trv"
cmp "$tmp/by_trv.trv" "$tmp/by_trv_again.trv"
# The hosts carry nothing: each writes the kernel's drawing, all alike.
reference=
for host in "$tmp/host/kttrv_host" "$tmp/pc/kttrv_host"; do
  LD_LIBRARY_PATH=$moved/$libdir strace -f -e trace=openat -o "$tmp/host.strace" "$host" "$sample" "$tmp/by_host.trv"
  grep -Eq "\"$list\", O_RDONLY\) = [0-9]" "$tmp/host.strace" || { echo "$host: libKtTrv did not read $list"; exit 1; }
  if [[ -z $reference ]]; then reference=$tmp/by_host_first.trv; cp "$tmp/by_host.trv" "$reference"; fi
  cmp "$reference" "$tmp/by_host.trv"
done
# The counting libZiRida comes first, so it serves the installed libKtTrv.
for kernel in "$tmp/counting_kernel" "$tmp/pc"; do
  LD_LIBRARY_PATH=$kernel:$moved/$libdir "$kernel/count_host" "$sample" "$tmp/counted.trv"
done
for program in "$tmp/consumer/kttrv_headers" "$tmp/pc/kttrv_headers"; do
  LD_LIBRARY_PATH=$moved/$libdir "$program"
done
# The C++ API loads, walks and saves as the entry points do.
for program in "$tmp/consumer/kttrv_cpp_api" "$tmp/pc/kttrv_cpp_api"; do
  LD_LIBRARY_PATH=$moved/$libdir "$program" "$sample" "$tmp/by_api.trv" >/dev/null
  cmp "$reference" "$tmp/by_api.trv"
done

# The Python package, where the build has it: the copy cmake --install put
# in the moved prefix, then pip's in a fresh virtual environment (with the
# system's numpy, pandas and dask; no package index).
python_dir=$(sed -n 's/^KTTRV_PYTHON_INSTALL_DIR:[A-Z]*=//p' "$build/CMakeCache.txt")
if grep -q '^KTTRV_BUILD_PYTHON:BOOL=ON' "$build/CMakeCache.txt"; then
  echo "== python"
  python=$(sed -n 's/^Python_EXECUTABLE:[A-Z]*=//p' "$build/CMakeCache.txt")
  PYTHONPATH=$moved/$python_dir strace -f -e trace=openat -o "$tmp/python.strace" \
    "$python" -c "import kttrv, sys; d = kttrv.read(sys.argv[1]); assert d.extents() is not None; assert kttrv.__file__.startswith(sys.argv[2])" \
    "$sample" "$moved"
  grep -Eq "\"$list\", O_RDONLY[^)]*\) = [0-9]" "$tmp/python.strace" || { echo "the installed kttrv did not read $list"; exit 1; }
  "$python" -m venv --system-site-packages "$tmp/venv"
  # The build tree given is the one pip's backend builds in: no second build.
  KTTRV_BUILD_DIR=$PWD/$build quiet "$tmp/venv/bin/pip" install --no-index --no-cache-dir .
  (cd "$src" && "$tmp/venv/bin/python" -c "import kttrv; print(kttrv.read('examples/floor-plan.trv').extents())")
  (cd "$tmp" && "$tmp/venv/bin/python" -c "import kttrv; assert kttrv.__file__.startswith('$tmp/venv/')")
fi

echo "== add_subdirectory"
# The same consumer with this source tree as its subdirectory: the libraries
# only (tests/package/CMakeLists.txt refuses more), under the same names.
quiet cmake "${consumer[@]}" -B "$tmp/subdir" -DKTTRV_SOURCE_DIR="$src"
quiet cmake --build "$tmp/subdir" -j2
"$tmp/subdir/kttrv_headers"
"$tmp/subdir/kttrv_host" "$sample" "$tmp/by_subdir.trv"
cmp "$reference" "$tmp/by_subdir.trv"
echo "install check: passed"
