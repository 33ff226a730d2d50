#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses the installed tree the way hosts do: a C++
# host through find_package (one with its own standard, one with none), a C host through
# pkg-config, a C++ compile through pkg-config, and the Python module.
# Arguments: build-dir hosts-source-dir c-compiler c++-compiler host-flags python sanitizer-runtime python-dir
set -euo pipefail
build=$1 hosts=$2 cc=$3 cxx=$4 flags=$5 python=$6 runtime=$7 pythondir=$8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null

export PKG_CONFIG_PATH=$(find "$prefix" -name quorvelxml.pc -printf '%h')
libdir=$(pkg-config --variable=libdir quorvelxml)
library=$(readlink -f "$libdir/libquorvelxml.so")
[[ $(pkg-config --modversion quorvelxml) == 4.0.2 ]] || { echo "pkg-config version"; exit 1; }
[[ $library == */libquorvelxml.so.4.0.2 && -L $libdir/libquorvelxml.so.4 ]] || { echo "library links"; exit 1; }
# grep reads to the end: with -q it would leave objdump writing into a closed pipe, which pipefail counts.
objdump -p "$library" | grep 'SONAME *libquorvelxml.so.4$' >/dev/null || { echo "SONAME"; exit 1; }
# Only the module's entry points and the automation functions are exported.
extra=$(nm -D --defined-only "$library" | awk '{print $3}' | grep -Ev '^(Dll(GetClassObject|CanUnloadNow|RegisterServer|UnregisterServer)|qv_.*)$' || true)
[[ -z $extra ]] || { echo "unexpected exports: $extra"; exit 1; }

# The command-line host runs from the prefix, and its manual page and completion are in place.
[[ $("$prefix/bin/quorvel" stats - <<<'<a><b/></a>' | grep '^elements:') == 'elements: 2' ]] || { echo "quorvel"; exit 1; }
[[ -f $prefix/share/man/man1/quorvel.1 && -f $prefix/share/bash-completion/completions/quorvel ]] || { echo "quorvel files"; exit 1; }

# The hosts share the library's sanitizer settings; its C++ checks need a C++ link.
cmake -S "$hosts/cxx_host" -B "$work/cxx" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
      -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/cxx" >/dev/null
"$work/cxx/cxx_host"
"$work/cxx/layer_host"

# A project that asks for no standard and passes no flags of its own: the package's target must
# bring C++20, which g++ 12 does not default to.
cmake -S "$hosts/default_std_host" -B "$work/default_std" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/default_std" >/dev/null
"$work/default_std/quick_start"

# Below C++20 the layer stops at its first line with one message that says what to do, and
# pkg-config's cxxstd variable is what a C++ host adds to reach it.
if "$cxx" -std=c++17 $(pkg-config --cflags quorvelxml) -fsyntax-only -x c++ "$hosts/default_std_host/main.cpp" \
     >"$work/cxx17.log" 2>&1; then
  echo "xml.hpp compiled below C++20"; exit 1
fi
[[ $(grep -cE ': (fatal )?error:' "$work/cxx17.log") -le 2 ]] && grep -q 'needs C++20' "$work/cxx17.log" ||
  { echo "below C++20:"; cat "$work/cxx17.log"; exit 1; }
# shellcheck disable=SC2046 # the flags are words
"$cxx" $(pkg-config --variable=cxxstd quorvelxml) $(pkg-config --cflags quorvelxml) -fsyntax-only -x c++ \
  "$hosts/default_std_host/main.cpp"

# shellcheck disable=SC2086 # the flags are words
"$cc" -std=c11 -pedantic -Wall -Wextra -Werror $flags $(pkg-config --cflags quorvelxml) -c "$hosts/c_host.c" -o "$work/c_host.o"
linker=$cc
[[ -z $flags ]] || linker=$cxx
# shellcheck disable=SC2086
"$linker" $flags "$work/c_host.o" -o "$work/c_host" $(pkg-config --libs quorvelxml) -Wl,-rpath,"$libdir"
"$work/c_host"

if [[ -n $python ]]; then
  preload=()
  [[ -z $runtime ]] || preload=(LD_PRELOAD="$runtime" ASAN_OPTIONS=detect_leaks=0:halt_on_error=1)
  env -u PYTHONPATH "${preload[@]}" PYTHONPATH="$prefix/$pythondir" "$python" -c '
import sys, quorvelxml
assert quorvelxml.__file__.startswith(sys.argv[1]), quorvelxml.__file__
x = quorvelxml.Dispatch("QuorvelXml.QuorvelXml")
x.Tag = "installed"
assert (x.Version, x.Tag) == ("4.0.2", "installed")
del x
assert quorvelxml._can_unload_now()
print("python host: ok")
' "$prefix"
fi
