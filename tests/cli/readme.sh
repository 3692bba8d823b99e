#!/usr/bin/env bash
# Runs the README's examples as a newcomer types them: every line of a ```sh block that starts
# with "$ ", in the README's order, from a scratch directory that holds a copy of examples/,
# with `trilo-cli` on the path and TRILO_NO_WAIT set. Each must exit with the status its
# comment names ("exit status N"), else 0. The scratch programmer.ini names a port that does
# not exist, so an example that forgot `-c sim` fails rather than reaching a real board. The
# README's job file must also be examples/blink.trilo as shipped.
#   readme.sh TRILO_CLI README EXAMPLES_DIR
set -uo pipefail
cli=$(realpath "$1")
readme=$(realpath "$2")
examples=$(realpath "$3")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/bin" "$scratch/root"
ln -s "$cli" "$scratch/bin/trilo-cli"
cp -r "$examples" "$scratch/root/examples"
cd "$scratch/root" || exit 1
printf '[SETUP_PRG]\nBoard=ppdev\nLPT1Node=/nonexistent/parport0\n' >programmer.ini
export PATH="$scratch/bin:$PATH" TRILO_NO_WAIT=1

failed=0
count=0
while IFS= read -r entry; do
    line=${entry%%:*}
    command=${entry#*:}
    expected=0
    if [[ $command =~ exit\ status\ ([0-9]+) ]]; then
        expected=${BASH_REMATCH[1]}
    fi
    count=$((count + 1))
    printf 'README.md:%s: %s\n' "$line" "$command"
    (eval "$command") </dev/null >"$scratch/out" 2>"$scratch/err"
    status=$?
    if [ "$status" -ne "$expected" ]; then
        echo "  exit status $status, the README shows $expected; it printed:"
        sed 's/^/  /' "$scratch/out" "$scratch/err"
        failed=1
    fi
done < <(awk '/^```/ { if (block) { block = 0; sh = 0 } else { block = 1; sh = ($0 == "```sh") }; next }
              sh && /^\$ / { print NR ":" substr($0, 3) }' "$readme")

if [ "$count" -lt 5 ]; then
    echo "only $count examples found (lines starting with \"\$ \" in \`\`\`sh blocks)"
    failed=1
fi

# The first fenced block that starts with [JOB] is the example job.
if ! diff -u <(awk '/^```/ { if (block) { if (job) exit; block = 0 } else { block = 1; first = 1 }; next }
                    block && first { job = ($0 == "[JOB]"); first = 0 }
                    block && job { print }' "$readme") "$examples/blink.trilo"; then
    echo "the README's job file is not examples/blink.trilo"
    failed=1
fi
exit "$failed"
