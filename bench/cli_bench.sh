#!/usr/bin/env bash
# Whole-process timings and peak memory of quorvel against xmlstarlet and xmllint, on
# freedesktop.org.xml (2.4 MB) and on a 115 MB document made of its records repeated (written to
# /tmp at run time and removed afterwards).
#
#   bench/cli_bench.sh [path/to/quorvel] [runs]
#
# Each pair runs alternately, `runs` times after one warm-up; the script prints the median wall
# time of each, their ratio, and the peak resident memory of one run of each (/usr/bin/time -v).
# Output goes to /dev/null, so the figures include writing but not a terminal.
set -euo pipefail
quorvel=${1:-build/cli/quorvel}
runs=${2:-5}
mime=/usr/share/mime/packages/freedesktop.org.xml
ns=http://www.freedesktop.org/standards/shared-mime-info
big=$(mktemp /tmp/quorvel-bench-XXXXXX.xml)
trap 'rm -f "$big"' EXIT

# The records of the file repeated inside its root, to about 115 MB.
python3 - "$mime" "$big" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
start = text.index("<mime-type ")
end = text.rindex("</mime-info>")
head, body, tail = text[:start], text[start:end], text[end:]
times = max(1, round(115e6 / len(body.encode())))
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write(head)
    for _ in range(times):
        out.write(body)
    out.write(tail)
PY

seconds() {  # the wall time of one run of the command, output discarded
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

peak_mib() {  # the peak resident memory of one run, in MiB
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk '/Maximum resident/ { printf "%.0f", $6 / 1024 }'
}

compare() {  # name, then "ours" and "theirs" as two strings of words
    local name=$1 ours=$2 theirs=$3 a=() b=()
    # shellcheck disable=SC2086 # the commands are words
    seconds $ours >/dev/null
    # shellcheck disable=SC2086
    seconds $theirs >/dev/null
    for ((i = 0; i < runs; i++)); do
        # shellcheck disable=SC2086
        a+=("$(seconds $ours)")
        # shellcheck disable=SC2086
        b+=("$(seconds $theirs)")
    done
    local ta tb pa pb
    ta=$(printf '%s\n' "${a[@]}" | median)
    tb=$(printf '%s\n' "${b[@]}" | median)
    # shellcheck disable=SC2086
    pa=$(peak_mib $ours)
    # shellcheck disable=SC2086
    pb=$(peak_mib $theirs)
    printf '%-24s quorvel %7.3f s %6s MiB | reference %7.3f s %6s MiB | ratio: time %.2f memory %.2f\n' \
        "$name" "$ta" "$pa" "$tb" "$pb" "$(echo "$ta / $tb" | bc -l)" "$(echo "$pa / $pb" | bc -l)"
}

for doc in "$mime" "$big"; do
    echo "== $(basename "$doc") ($(( $(stat -c %s "$doc") / 1000000 )) MB)"
    compare "sel count" "$quorvel sel -N m=$ns count(//m:mime-type) $doc" \
        "xmlstarlet sel -N m=$ns -t -v count(//m:mime-type) $doc"
    compare "sel values" "$quorvel sel -N m=$ns //m:mime-type/m:glob/@pattern $doc" \
        "xmlstarlet sel -N m=$ns -t -m //m:mime-type/m:glob/@pattern -v . -n $doc"
    compare "ed update" "$quorvel ed -N m=$ns --update //m:acronym --value X $doc" \
        "xmlstarlet ed -N m=$ns -u //m:acronym -v X $doc"
    compare "fmt / fo" "$quorvel fmt $doc" "xmlstarlet fo $doc"
    compare "check / xmllint --noout" "$quorvel check $doc" "xmllint --noout $doc"
done
