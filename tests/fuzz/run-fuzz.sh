#!/usr/bin/env bash
# Builds one data-file reader's fuzz target with clang and runs it from its seed corpus: the
# toolchain fixtures of its format and a few files with the record types those lack.
# Usage: run-fuzz.sh CMAKE BUILD_DIR intelhex|srecord|elf RUNS [libFuzzer options...]
# Exits 77, which CTest counts as skipped, only when clang++ is not installed.
set -euo pipefail

cmake_command="$1"
build="$2"
target="$3"
runs="$4"
shift 4
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
fixtures="$here/../fixtures/intelhex"

clang="$(command -v clang++ || true)"
if [ -z "$clang" ]; then
    echo "SKIPPED: clang++ not found; apt-get install clang libclang-rt-dev to fuzz"
    exit 77
fi

mkdir -p "$build"
"$cmake_command" -S "$here" -B "$build" -DCMAKE_CXX_COMPILER="$clang" \
    -DCMAKE_BUILD_TYPE= >"$build/configure.log" 2>&1 || {
    cat "$build/configure.log"
    exit 1
}
"$cmake_command" --build "$build" --target "${target}_fuzz"

# The corpus lives in the build; new inputs land there, never in the source tree.
corpus="$build/corpus-$target"
mkdir -p "$corpus"
case "$target" in
    intelhex) cp "$fixtures"/*.hex "$fixtures"/*.ihx "$here"/seeds/intelhex/* "$corpus/" ;;
    srecord) cp "$fixtures"/*.srec "$fixtures"/*.s37 "$here"/seeds/srecord/* "$corpus/" ;;
    elf) cp "$fixtures"/*.elf "$here"/seeds/elf/* "$corpus/" ;;
esac
dict="$here/$target.dict"
"$build/${target}_fuzz" -runs="$runs" -seed=1 -dict="$dict" \
    -artifact_prefix="$build/$target-" "$@" "$corpus"
