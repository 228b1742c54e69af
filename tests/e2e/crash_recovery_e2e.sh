#!/bin/bash
# "a && b || fail" below means: fail when either step fails.
# shellcheck disable=SC2015

# A crash in the middle of a connection, with the real program over a real
# link: a TUN interface ppp7 held by a fake pppd, in private network, mount and
# process namespaces. Each run brings the link up, lets velmora meter it for a
# random while, SIGKILLs velmora, takes the link down and starts velmora again,
# which must log the killed connection from its last checkpoint and add its
# cost to the total. The tariff is an own one with one unit length all day.
# In the first run a second start of velmora must end at once with status 0
# and meter nothing.
#
# Measured per run: charges lost (units charged by the moment of the kill that
# the recovered record lacks; the moment of the first poll is known only to the
# second, so the count is a range) and time lost (the kill to the record's end).
# Passes when no unit is provably lost, none is counted twice, no record lacks
# more than a minute, and the totals add up.
#
# Usage: crash_recovery_e2e.sh [--runs N] [--unit SECONDS] [--longest SECONDS] <velmora> <fake pppd>
#   defaults: 2 runs, a unit every 2 s, killed 2..5 s after the link came up
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or no namespaces or TUN).
set -u

readonly IFNAME=ppp7
readonly FEE=0.12
# shellcheck source=tests/e2e/e2e_machine.sh
source "$(dirname "$0")/e2e_machine.sh"

runs=2 unit=2 longest=5

# An own tariff: one band over the whole day, the same on holidays.
write_profile() {
    mkdir -p "$data/velmora" && cat >"$data/velmora/velmora.INI" <<INI || fail "cannot write the profile"
[Standard]
Kosten=10.00
Tarifzone=4
Warnung=0
[Cost-Editor]
AnzahlWochentag=1
AnzahlFeiertag=1
Gebuehr=$FEE
[W-0]
Anfang=0
Ende=24
Takt=$unit
[F-0]
Anfang=0
Ende=24
Takt=$unit
INI
}

# The journal is made at start; a checkpoint of the open connection is what counts.
journal_written() { grep -aq '"open"' "$data/velmora/zelvar.journal" 2>/dev/null; }

# A second start while the first meters: it must end at once, with status 0.
check_second_start() {
    local first=$velmora_pid status
    start_velmora
    local second=$velmora_pid
    wait_for 50 bash -c "! kill -0 $second 2>/dev/null" || fail "a second start did not end within 5 s"
    wait "$second"
    status=$?
    [[ $status -eq 0 ]] || fail "a second start ended with status $status"
    velmora_pid=$first
    kill -0 "$first" 2>/dev/null || fail "the first copy ended when the second started"
}

calc() { awk "BEGIN { $1 }"; }

inside() {
    private_machine
    start_pppd
    write_profile
    local run kosten=10.00 killed_at lost_units lost_seconds
    local most_units=0 most_seconds=0 all_seconds=0
    for ((run = 1; run <= runs; run++)); do
        link_up
        start_velmora
        wait_for 50 journal_written || fail "run $run: no checkpoint within 5 s of the link coming up"
        ((run == 1)) && check_second_start
        sleep "$(calc "srand($RANDOM); printf \"%.2f\", 2 + rand() * ($longest - 2)")"
        killed_at=$(date +%s.%N)
        kill -KILL "$velmora_pid"
        wait "$velmora_pid" 2>/dev/null
        link_down

        start_velmora
        wait_for 50 bash -c "[[ \$(grep -c '^\[' '$data/velmora/zelvar.log' 2>/dev/null) -ge $run ]]" ||
            fail "run $run: the killed connection was not logged at the next start"
        end_velmora
        check_record_count "$run"
        read_record "$run"
        # Units charged by the kill: one at the first poll (in [start, start + 1)), one every unit after.
        local recorded most least
        recorded=$(calc "printf \"%d\", $cost / $FEE + 0.5")
        most=$(calc "printf \"%d\", 1 + int(($killed_at - $start) / $unit)")
        least=$(calc "e = $killed_at - $start - 1; printf \"%d\", 1 + (e > 0 ? int(e / $unit) : 0)")
        ((recorded >= least)) || fail "run $run: $((least - recorded)) charged units lost ($recorded logged, $least..$most charged)"
        ((recorded <= most)) || fail "run $run: $((recorded - most)) units counted twice ($recorded logged, $least..$most charged)"
        lost_units=$((most - recorded))
        lost_seconds=$(calc "printf \"%.1f\", $killed_at - $end")
        calc "exit !($lost_seconds <= 61)" || fail "run $run: the record ends $lost_seconds s before the kill"
        [[ $total == "$(sum "$kosten" "$cost")" ]] || fail "run $run: total $total is not $kosten + $cost"
        check_profile_total "$total"
        kosten=$total
        echo "run $run: $recorded units logged ($least..$most charged), record ends $lost_seconds s before the kill"
        ((lost_units > most_units)) && most_units=$lost_units
        most_seconds=$(calc "printf \"%.1f\", ($lost_seconds > $most_seconds) ? $lost_seconds : $most_seconds")
        all_seconds=$(calc "printf \"%.1f\", $all_seconds + $lost_seconds")
    done
    echo "runs: $runs, unit: $unit s; charges lost: at most $most_units unit(s) of $FEE (bound of the first poll's" \
        "second); time lost: at most $most_seconds s, mean $(calc "printf \"%.1f\", $all_seconds / $runs") s"
    echo "PASS"
}

if [[ ${1:-} == --inside ]]; then
    velmora=$2 pppd=$3 runs=$4 unit=$5 longest=$6 work=$7 data=$7/data
    inside
else
    while [[ ${1:-} == --* ]]; do
        case $1 in
            --runs) runs=$2 ;;
            --unit) unit=$2 ;;
            --longest) longest=$2 ;;
            *) echo "unknown option $1"; exit 2 ;;
        esac
        shift 2
    done
    [[ $# -eq 2 && -x $1 && -x $2 ]] || { echo "usage: $0 [--runs N] [--unit S] [--longest S] <velmora> <fake pppd>"; exit 2; }
    run_inside "$(realpath "$1")" "$(realpath "$2")" "$runs" "$unit" "$longest"
fi
