#!/usr/bin/env bash
# Cross-builds the Windows DLL and checks what can be checked on Linux:
#  - the 32-bit DLL's export table (names, ordinals, nothing else exported),
#    the callee-cleans argument size of every export, and that it imports
#    only system DLLs;
#  - the same export table on a 64-bit build, which a host program loads
#    under wine64 and prices an example note with; its results must agree
#    with the Linux build's to 1e-12 relative;
#  - that a broken export table (a missing ordinal, a wrong decoration) fails
#    the export check.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
OUT="$ROOT/build/windows"
JOBS="$(nproc)"

source scripts/install-packages.sh
install_packages g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64
WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE="$(command -v wine64)"

mkdir -p "$OUT"

build_dll() {  # $1 = arch (i686 | x86_64)
  local dir="$OUT/$1"
  cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$1.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DMORVIK_TESTS=OFF -DMORVIK_BENCH=OFF -DMORVIK_TOOLS=OFF >/dev/null
  cmake --build "$dir" -j "$JOBS" --target morvik >/dev/null
}

# Prints "ordinal name" for every named export of a DLL.
export_table() {  # $1 = objdump, $2 = dll
  "$1" -p "$2" | awk '
    /^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
    on && NF == 0 { on = 0 }
    on { gsub(/[\[\]]/, ""); print $1 + base, $2 }
    /Ordinal Base/ { base = $NF }'
}

# Checks names and ordinals; with $3 = i686 also the stdcall argument sizes.
check_exports() {  # $1 = objdump, $2 = dll, $3 = arch
  local objdump="$1" dll="$2" arch="$3" ok=1
  local table
  table="$(export_table "$objdump" "$dll" | sort -n)"
  echo "export table of $(basename "$(dirname "$dll")")/$(basename "$dll"):"
  echo "$table" | sed 's/^/  /'
  local expected=$'1 ZUNP_CalcMorvikMC\n2 _MorvikMC@276\n10 CdrD2ExcD\n11 ExcD2CdrD'
  if [ "$table" != "$expected" ]; then
    echo "  FAIL: expected exactly:"; echo "$expected" | sed 's/^/    /'
    ok=0
  fi
  # Every export must take an ordinal from the table above, none other.
  local count
  count="$("$objdump" -p "$dll" | awk '/^Export Address Table --/ { on = 1; next } on && NF == 0 { on = 0 } on' | grep -c 'Export RVA' || true)"
  if [ "$count" != 4 ]; then echo "  FAIL: $count export address entries, expected 4"; ok=0; fi
  if [ "$arch" = i686 ]; then
    # The decorated symbol of each export states the bytes its callee
    # removes; every ret in the function must pop exactly that many.
    local sym bytes disasm="$dll.disasm"
    "$objdump" -d "$dll" >"$disasm"
    for pair in ZUNP_CalcMorvikMC:204 MorvikMC:276 CdrD2ExcD:4 ExcD2CdrD:4; do
      sym="_${pair%%:*}@${pair##*:}"
      bytes="$(printf '0x%x' "${pair##*:}")"
      local rets
      rets="$(awk -v s="<$sym>:" '$0 ~ s { on = 1; next } on && NF == 0 { exit } on && /\tret/' "$disasm")"
      if [ -z "$rets" ]; then
        echo "  FAIL: no code for $sym"; ok=0
      elif echo "$rets" | grep -vq "ret *\\\$$bytes\$"; then
        echo "  FAIL: $sym does not return with ret \$$bytes:"; echo "$rets"; ok=0
      else
        echo "  $sym removes ${pair##*:} bytes of arguments"
      fi
    done
    # The exported addresses must be those functions.
    local base
    base="$("$objdump" -p "$dll" | awk '/^ImageBase/ { print $2 }')"
    for pair in "ZUNP_CalcMorvikMC:_ZUNP_CalcMorvikMC@204" "_MorvikMC@276:_MorvikMC@276" \
                "CdrD2ExcD:_CdrD2ExcD@4" "ExcD2CdrD:_ExcD2CdrD@4"; do
      local name="${pair%%:*}" sym="${pair##*:}" rva symaddr ord
      ord="$(echo "$table" | awk -v n="$name" '$2 == n { print $1 }')"
      [ -n "$ord" ] || continue
      rva="$("$objdump" -p "$dll" | awk -v o="$ord" '/^Export Address Table --/ { on = 1; next } on && NF == 0 { on = 0 } on { gsub(/[\[\]]/, " "); if ($3 == o) print $4 }')"
      symaddr="$(awk -v s="<$sym>:" '$2 == s && !found { print "0x" $1; found = 1 }' "$disasm")"
      if [ -z "$rva" ] || [ -z "$symaddr" ] || [ $((0x$base + 0x$rva)) -ne $((symaddr)) ]; then
        echo "  FAIL: export $name does not point at $sym"; ok=0
      fi
    done
  fi
  # Only system DLLs may be imported: the runtimes are linked statically.
  local imports
  imports="$("$objdump" -p "$dll" | awk '/DLL Name:/ { print $3 }' | sort -u | tr '\n' ' ')"
  echo "  imports: $imports"
  for lib in $imports; do
    case "$(echo "$lib" | tr 'A-Z' 'a-z')" in
      kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll|ntdll.dll|api-ms-win-*) ;;
      *) echo "  FAIL: imports $lib"; ok=0 ;;
    esac
  done
  [ "$ok" = 1 ]
}

echo "== 32-bit DLL"
build_dll i686
DLL32="$OUT/i686/morvik.dll"
check_exports i686-w64-mingw32-objdump "$DLL32" i686

echo "== a broken export table must fail the check"
OBJS32="$(find "$OUT/i686/CMakeFiles" -path '*/morvik_*.dir/*' -name '*.obj' | sort)"
mutant() {  # $1 = name, $2 = def text
  local dir="$OUT/mutant-$1"
  mkdir -p "$dir"
  printf '%s\n' "$2" > "$dir/morvik.def"
  # shellcheck disable=SC2086
  i686-w64-mingw32-g++ -shared -o "$dir/morvik.dll" $OBJS32 "$dir/morvik.def" \
    -static -static-libgcc -static-libstdc++
  if check_exports i686-w64-mingw32-objdump "$dir/morvik.dll" i686 >"$dir/check.log" 2>&1; then
    echo "  FAIL: the check accepted a table with $1"; cat "$dir/check.log"; exit 1
  fi
  echo "  rejected: $1"
}
mutant "a missing ordinal" $'LIBRARY morvik.dll\nEXPORTS\n  ZUNP_CalcMorvikMC = ZUNP_CalcMorvikMC@204 @1\n  _MorvikMC@276 = MorvikMC@276 @2\n  CdrD2ExcD = CdrD2ExcD@4 @10'
mutant "a wrong decoration" $'LIBRARY morvik.dll\nEXPORTS\n  ZUNP_CalcMorvikMC = ZUNP_CalcMorvikMC@204 @1\n  MorvikMC = MorvikMC@276 @2\n  CdrD2ExcD = CdrD2ExcD@4 @10\n  ExcD2CdrD = ExcD2CdrD@4 @11'
mutant "a shifted ordinal" $'LIBRARY morvik.dll\nEXPORTS\n  ZUNP_CalcMorvikMC = ZUNP_CalcMorvikMC@204 @1\n  _MorvikMC@276 = MorvikMC@276 @3\n  CdrD2ExcD = CdrD2ExcD@4 @10\n  ExcD2CdrD = ExcD2CdrD@4 @11'

echo "== 64-bit DLL under wine64"
build_dll x86_64
DLL64="$OUT/x86_64/morvik.dll"
check_exports x86_64-w64-mingw32-objdump "$DLL64" x86_64
x86_64-w64-mingw32-g++ -std=c++20 -O2 -Wall -Wextra -Werror -static -I"$ROOT" -o "$OUT/host.exe" \
  "$ROOT/tools/wine-host/host.cpp"
export WINEPREFIX="$OUT/wineprefix" WINEDEBUG=-all
cp "$DLL64" "$OUT/morvik.dll"
( cd "$OUT" && timeout 600 "$WINE" host.exe morvik.dll ) >"$OUT/wine.txt" 2>"$OUT/wine.err" || {
  echo "FAIL: host program under wine64"; cat "$OUT/wine.err" "$OUT/wine.txt"; exit 1; }

echo "== the same calls on Linux"
# MORVIK_LINUX_LIB: a Release libmorvik.so built already (the test command
# passes its own); else one is built here.
LINUX_LIB="${MORVIK_LINUX_LIB:-}"
if [ -z "$LINUX_LIB" ]; then
  cmake -S "$ROOT" -B "$OUT/linux" -DCMAKE_BUILD_TYPE=Release -DMORVIK_TESTS=OFF \
    -DMORVIK_BENCH=OFF -DMORVIK_TOOLS=OFF >/dev/null
  cmake --build "$OUT/linux" -j "$JOBS" --target morvik >/dev/null
  LINUX_LIB="$OUT/linux/libmorvik.so"
fi
g++ -std=c++20 -O2 -Wall -Wextra -Werror -I"$ROOT" -o "$OUT/host" "$ROOT/tools/wine-host/host.cpp" -ldl
"$OUT/host" "$(realpath "$LINUX_LIB")" >"$OUT/linux.txt"

echo "== comparing $(wc -l <"$OUT/linux.txt") results"
awk '
  NR == FNR { key[FNR] = $1 " " $2; val[FNR] = $3; n = FNR; next }
  {
    m = FNR
    if (key[m] != $1 " " $2) { printf "  FAIL: line %d is %s %s on Windows, %s on Linux\n", m, $1, $2, key[m]; bad = 1; next }
    a = val[m] + 0; b = $3 + 0; d = a - b; if (d < 0) d = -d
    s = (a < 0 ? -a : a); t = (b < 0 ? -b : b); if (t > s) s = t
    if (d > 1e-12 * s) { printf "  FAIL: %s %s: Linux %s, Windows %s\n", $1, $2, val[m], $3; bad = 1 }
    if (d > worst * s && s > 0) worst = d / s
  }
  END {
    if (m != n) { printf "  FAIL: %d results on Linux, %d on Windows\n", n, m; bad = 1 }
    printf "  largest relative difference: %.3g\n", worst
    exit bad
  }' "$OUT/linux.txt" "$OUT/wine.txt"
grep -E '^(extended|core)\.(return|ResultPrice)' "$OUT/wine.txt" | sed 's/^/  wine64: /'
echo "== Windows checks passed"
