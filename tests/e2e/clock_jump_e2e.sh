#!/bin/bash
# "a && b || fail" below means: fail when either step fails.
# shellcheck disable=SC2015

# The wall clock set during a connection under the real program (a time
# server correcting it right after dialling, a user setting it): the record
# keeps the real end and the time online the boot clock counted. The program
# runs with a preloaded shim that moves only its own wall clock (the system's
# is never touched), over a TUN interface ppp7 held by a fake pppd in private
# network, mount and process namespaces. One connection has the clock set back
# two hours, the next one set forward a day.
#
# Usage: clock_jump_e2e.sh <velmora> <fake pppd> <wall clock shim>
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or no namespaces or TUN).
set -u

readonly IFNAME=ppp7
# shellcheck source=tests/e2e/e2e_machine.sh
source "$(dirname "$0")/e2e_machine.sh"

records() { log_lines | grep -c '^\['; }
journal_open() { grep -aq '"open"' "$data/velmora/zelvar.journal" 2>/dev/null; }

# One connection of about five seconds with the wall clock moved by $1 s after
# two; the record must end at the moved clock's now and span the time online.
connection_with_jump() {
    local offset=$1 number=$2 wall
    link_up
    wait_for 50 journal_open || fail "connection $number: no checkpoint within 5 s"
    sleep 2
    printf '%s\n' "$offset" >"$work/offset"
    sleep 3
    link_down
    wait_for 50 bash -c "[[ \$(grep -c '^\[' '$data/velmora/zelvar.log' 2>/dev/null) -ge $number ]]" ||
        fail "connection $number was not logged when the link went down"
    wall=$(($(date +%s) + offset))
    read_record "$number"
    echo "connection $number, the clock moved by $offset s: $((end - start)) s online, ending $((wall - end)) s ago"
    ((end - start >= 3 && end - start <= 7)) || fail "connection $number spans $((end - start)) s, not about 5"
    ((wall - end >= 0 && wall - end <= 3)) || fail "connection $number ends $((wall - end)) s before the moved clock's now"
    # The journal of the open connection goes once the record is written.
    wait_for 30 bash -c "! grep -aq '\"open\"' '$data/velmora/zelvar.journal' 2>/dev/null" || true
}

inside() {
    private_machine
    start_pppd
    printf '0\n' >"$work/offset"
    # A program built with AddressSanitizer wants its runtime first of all.
    local preload=$shim asan
    asan=$(ldd "$velmora" | awk '/libasan/ { print $3 }')
    [[ -n $asan ]] && preload="$asan $shim"
    LD_PRELOAD=$preload VELMORA_E2E_CLOCK_OFFSET=$work/offset start_velmora
    connection_with_jump -7200 1
    connection_with_jump $((-7200 + 86400)) 2
    end_velmora
    check_record_count 2
    echo "PASS"
}

if [[ ${1:-} == --inside ]]; then
    velmora=$2 pppd=$3 shim=$4 work=$5 data=$5/data
    inside
else
    [[ $# -eq 3 && -x $1 && -x $2 && -f $3 ]] || { echo "usage: $0 <velmora> <fake pppd> <wall clock shim>"; exit 2; }
    run_inside "$(realpath "$1")" "$(realpath "$2")" "$(realpath "$3")"
fi
