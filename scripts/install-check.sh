#!/usr/bin/env bash
# The installed package as another project uses it: installs a build into a
# temporary prefix, builds examples/host and the counting kernel against it
# with find_package and with pkg-config, moves the prefix, then runs the
# installed trv and the hosts from the new place.
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

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(cd "$prefix" && dirname "$(find . -name libKtTrv.so | head -1)")
readelf -d "$prefix/$libdir/libKtTrv.so" | grep -q 'SONAME.*libKtTrv\.so\.0' || { echo "libKtTrv: no versioned SONAME"; exit 1; }

echo "== find_package"
for example in host counting_kernel; do
  cmake -S examples/$example -B "$tmp/$example" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$tmp/$example" >/dev/null
done

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

echo "== moved prefix"
mkdir -p "$(dirname "$moved")"
mv "$prefix" "$moved"
"$moved/bin/trv" --version
# Each finds the list file beside the installed binary that holds the code.
list=$moved/share/kttrv/torv_sys.txt
strace -f -e trace=openat -o "$tmp/trv.strace" "$moved/bin/trv" save --allow-loss "$sample" "$tmp/by_trv.trv"
grep -Eq "\"$list\", O_RDONLY\) = [0-9]" "$tmp/trv.strace" || { echo "installed trv did not read $list"; exit 1; }
for host in "$tmp/host/kttrv_host" "$tmp/pc/kttrv_host"; do
  LD_LIBRARY_PATH=$moved/$libdir strace -f -e trace=openat -o "$tmp/host.strace" "$host" "$sample" "$tmp/by_host.trv"
  grep -Eq "\"$list\", O_RDONLY\) = [0-9]" "$tmp/host.strace" || { echo "$host: libKtTrv did not read $list"; exit 1; }
  cmp "$tmp/by_trv.trv" "$tmp/by_host.trv"
done
# The counting libZiRida comes first, so it serves the installed libKtTrv.
for kernel in "$tmp/counting_kernel" "$tmp/pc"; do
  LD_LIBRARY_PATH=$kernel:$moved/$libdir "$kernel/count_host" "$sample" "$tmp/counted.trv"
done
echo "install check: passed"
