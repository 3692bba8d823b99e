#!/usr/bin/env bash
# Builds the Intel HEX fuzz target with clang and runs it from the fixtures' seed corpus.
# Usage: run-fuzz.sh CMAKE BUILD_DIR RUNS [libFuzzer options...]
# Exits 77, which CTest counts as skipped, only when clang++ is not installed.
set -euo pipefail

cmake_command="$1"
build="$2"
runs="$3"
shift 3
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

clang="$(command -v clang++ || true)"
if [ -z "$clang" ]; then
    echo "SKIPPED: clang++ not found; apt-get install clang libclang-rt-14-dev to fuzz"
    exit 77
fi

mkdir -p "$build"
"$cmake_command" -S "$here" -B "$build" -DCMAKE_CXX_COMPILER="$clang" \
    -DCMAKE_BUILD_TYPE= >"$build/configure.log" 2>&1 || {
    cat "$build/configure.log"
    exit 1
}
"$cmake_command" --build "$build"

# The corpus lives in the build, seeded from the toolchain fixtures and a few files with the
# record types those lack; new inputs land there, never in the source tree.
mkdir -p "$build/corpus"
cp "$here"/../fixtures/intelhex/*.hex "$here"/../fixtures/intelhex/*.ihx "$here"/seeds/* \
    "$build/corpus/"
"$build/intelhex_fuzz" -runs="$runs" -seed=1 -dict="$here/intelhex.dict" \
    -artifact_prefix="$build/" "$@" "$build/corpus"
