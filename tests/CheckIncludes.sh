#!/bin/sh
# The layers' include rules, which no link sees: each folder may include its own headers and
# those of the layers named after it, nothing else. Prints every include that breaks a rule.
# Usage: CheckIncludes.sh <source dir>
cd "$1" || exit 2
status=0
check() {
    folder=$1
    shift
    allowed=" $folder $* "
    for file in $(find "$folder" -name '*.cpp' -o -name '*.h'); do
        grep -n '^#include "[a-z]*/' "$file" | while IFS= read -r line; do
            used=$(printf '%s\n' "$line" | sed 's/^[0-9]*:#include "\([a-z]*\)\/.*/\1/')
            case "$allowed" in
                *" $used "*) ;;
                *) echo "$file:${line%%:*}: $folder/ may not include $used/" ;;
            esac
        done
    done
}
out=$(
    check base
    check devices base
    check files base
    check formats base
    check settings files base
    check link base
    check sim devices link base
    check ops devices files link base
    check commands ops devices formats files base
    check board ops sim devices settings files link base
    check engine board commands ops devices settings formats files link base
    check production engine commands ops devices settings formats files base
    check presenter production engine board commands ops devices settings formats files link base
    check cli production engine commands board devices settings formats files base
    check app presenter production engine board devices settings formats files base
)
if [ -n "$out" ]; then
    printf '%s\n' "$out"
    status=1
fi
exit $status
