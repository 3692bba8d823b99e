#!/usr/bin/env bash
# The warnings' record ./test fails on: kept beside the object while its compile warns, gone
# once it compiles cleanly, none for a compile that failed (its error stops the build itself).
# Usage: RecordWarningsCheck.sh LAUNCHER COMPILER SCRATCH_DIR
set -u
launcher="$1"
compiler="$2"
work="$3"
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

failures=0
# source; compiler's exit status; whether a.o.warnings must exist afterwards
while IFS='|' read -r source status recorded; do
    printf '%s\n' "$source" >a.cpp
    "$launcher" "$compiler" -Wall -c a.cpp -o a.o 2>/dev/null
    rc=$?
    has=no
    [ -s a.o.warnings ] && has=yes
    if [ "$rc" != "$status" ] || [ "$has" != "$recorded" ]; then
        echo "FAIL: '$source': status $rc (want $status), record $has (want $recorded)"
        failures=$((failures + 1))
    fi
done <<'CASES'
int f() { int unused; return 0; }|0|yes
int f() { return 0; }|0|no
int f() { int unused; return 0; }|0|yes
int f() { return missing; }|1|no
CASES
[ -z "$(ls a.o.warnings.new 2>/dev/null)" ] || { echo "FAIL: a temporary record is left"; failures=$((failures + 1)); }
exit "$failures"
