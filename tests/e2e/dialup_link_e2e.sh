#!/bin/bash
# "a && b || fail" below means: fail when either step fails.
# shellcheck disable=SC2015

# The real program against a real interface: a TUN interface ppp7 that a fake
# pppd holds, inside private network, mount and process namespaces, so that
# nothing of the host's links, pid files or processes is seen or touched.
#
#   1. velmora runs; ppp7 comes up with an address for ~4 s and goes down; then
#      SIGTERM. The log holds exactly that one connection, the profile its total.
#   2. velmora starts again while ppp7 is up and gets SIGTERM while connected:
#      the running connection is logged on the way out, on top of the total.
#      Meanwhile `velmora --status --json` has the meter's live figures, and
#      after it the files' (nothing connected).
#
# Usage: dialup_link_e2e.sh <velmora executable> <fake pppd executable>
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or no namespaces or TUN).
set -u

readonly IFNAME=ppp7
# shellcheck source=tests/e2e/e2e_machine.sh
source "$(dirname "$0")/e2e_machine.sh"

# Checks record $1 (1-based) of the log: its times lie $2..$3 seconds apart,
# it cost at least one unit. Sets cost and total.
check_record() {
    read_record "$1"
    ((end - start >= $2 && end - start <= $3)) || fail "record $1 lasted $((end - start)) s, expected $2..$3"
    at_least "$cost" 0.12 || fail "record $1 cost $cost, less than one unit"
}

# `velmora --status --json` says "connected":$1; while connected, with seconds online.
check_status() {
    local answer
    answer=$(XDG_DATA_HOME="$data" XDG_RUNTIME_DIR="$work/runtime" "$velmora" --status --json) ||
        fail "velmora --status --json failed: $answer"
    [[ $answer == "{\"connected\":$1,"* ]] || fail "--status while connected=$1: $answer"
    [[ $1 == false || $answer =~ \"seconds\":[1-9] ]] || fail "--status has no time online: $answer"
}

# ---- inside: the two runs -----------------------------------------------------------------------------

inside() {
    private_machine
    start_pppd

    start_velmora
    sleep 1.5
    link_up
    sleep 4
    link_down
    sleep 2
    end_velmora
    check_record_count 1
    check_record 1 2 6
    [[ $cost == "$total" ]] || fail "a first connection's total $total differs from its cost $cost"
    check_profile_total "$total"
    local first_total=$total

    link_up
    start_velmora
    sleep 3
    check_status true
    end_velmora
    check_status false
    check_record_count 2
    check_record 2 1 5
    [[ $total == "$(sum "$first_total" "$cost")" ]] ||
        fail "the second total $total is not $first_total + $cost"
    check_profile_total "$total"
    echo "PASS"
}

if [[ ${1:-} == --inside ]]; then
    velmora=$2 pppd=$3 work=$4 data=$4/data
    inside
else
    [[ $# -eq 2 && -x $1 && -x $2 ]] || { echo "usage: $0 <velmora> <fake pppd>"; exit 2; }
    run_inside "$(realpath "$1")" "$(realpath "$2")"
fi
