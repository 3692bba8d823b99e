#!/usr/bin/env bash
# Replays a golden transcript. Each line of it that starts with "$ " is run by bash in a
# scratch directory that holds the Intel HEX fixtures and a programmer.ini that asks for the
# simulated board, with `trilo-cli` standing for the program under test and TRILO_NO_WAIT set; the lines after it are what it printed: standard
# output as it is, each line of standard error after "stderr: ", and "exit N" when the exit
# status is not 0. The test fails on any difference.
#
# `signalled SIG WHEN ARGS...` runs `trilo-cli -v -v ARGS --log=sig.csv` with standard input open
# and silent, and sends it SIG at the prompt (WHEN=prompt: once it has asked) or in mid-chip
# (WHEN=chip: once 16 KiB of its trace are read; it then fills the pipe that nobody reads and
# waits there, so a chip whose trace is far longer is still being written). It prints on one
# line the run's last line of output, the log's result, step and message, what `at_rest` says
# and the run's last message, and ends with the run's status. `at_rest FILE` says "v klidu" when the trace in FILE ends as a
# signature read's does: with the board's rest writes.
#
# `holds HEX RAW SIZE` compares an Intel HEX file read back from a chip with a raw image that
# the chip's blank bytes (0xFF) fill up to SIZE, through binutils' objcopy, so that the
# comparison does not rest on the program's own HEX reader.
#
#   golden.sh TRILO_CLI TRANSCRIPT FIXTURES_DIR [LANGUAGE EXPECTED]
# With LANGUAGE (en), programmer.ini says Language=LANGUAGE, also where a line writes one of its
# own ("[SETUP_PRG]\n" gets that key), and what TRANSCRIPT's lines print is compared with
# EXPECTED, the same lines in that language.
# With GOLDEN_UPDATE=1 the transcript (or EXPECTED) is rewritten with what the lines print now:
# review the difference before committing it.
set -uo pipefail
cli=$(realpath "$1")
transcript=$(realpath "$2")
fixtures=$(realpath "$3")
language=${4:-}
expected=$(realpath -m "${5:-$2}")

scratch=$(mktemp -d)
bin=$(mktemp -d)
actual=$(mktemp)
trap 'rm -rf "$scratch" "$bin" "$actual"' EXIT
cp "$fixtures"/* "$scratch"/
cd "$scratch" || exit 1
printf '[SETUP_PRG]\nBoard=sim\n%s' "${language:+Language=$language$'\n'}" >programmer.ini
export TRILO_NO_WAIT=1
# On the path rather than a function, so that `trilo-cli ... &` leaves its own process in $!.
ln -s "$cli" "$bin/trilo-cli"
export PATH="$bin:$PATH"
holds() {
    objcopy -I ihex -O binary "$1" holds-got.bin &&
        objcopy -I binary -O binary --pad-to "$3" --gap-fill 0xff "$2" holds-want.bin &&
        cmp holds-got.bin holds-want.bin
}
at_rest() {
    local rest
    rest=$(trilo-cli -v -v -p 90s2313 -s 2>&1 | grep '^[WRS] ' | sed '/^W 0378 00/q')
    [ "$(grep '^[WRS] ' "$1" | tail -n "$(wc -l <<<"$rest")")" = "$rest" ] && echo "v klidu"
}
signalled() {
    local sig=$1 when=$2 pid status
    shift 2
    rm -f sig.in sig.err sig.csv && mkfifo sig.in sig.err
    env --default-signal=HUP trilo-cli -v -v "$@" --log=sig.csv <>sig.in >sig.out 2>sig.err &
    pid=$!
    exec 8<sig.err
    if [ "$when" = prompt ]; then sed -E '/^(Vložte|Insert)/q' <&8; else head -c 16384 <&8; fi >sig.log
    kill -"$sig" "$pid"
    cat <&8 >>sig.log
    exec 8<&-
    wait "$pid"
    status=$?
    echo "$(tail -n 1 sig.out) | $(tail -n +2 sig.csv | cut -d, -f5-7) | $(at_rest sig.log)" \
        "| $(grep -v '^[WRS] ' sig.log | tail -n 1)"
    return "$status"
}

while IFS= read -r line; do
    [[ $line == '$ '* ]] || continue
    printf '%s\n' "$line"
    run=${line#\$ }
    [ -z "$language" ] || run=${run//'[SETUP_PRG]\n'/"[SETUP_PRG]\nLanguage=$language\n"}
    eval "$run" >"$scratch/.out" 2>"$scratch/.err" </dev/null
    status=$?
    cat "$scratch/.out"
    sed 's/^/stderr: /' "$scratch/.err"
    [ "$status" -eq 0 ] || echo "exit $status"
done <"$transcript" >"$actual"

if [ "${GOLDEN_UPDATE:-0}" = 1 ]; then
    cp "$actual" "$expected"
fi
diff -u "$expected" "$actual"
