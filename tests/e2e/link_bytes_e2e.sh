#!/bin/bash
# "a && b || fail" below means: fail when either step fails.
# shellcheck disable=SC2015

# What a connection carried, with the real program over a real link: a TUN
# interface ppp7 held by a fake pppd that plays the far end (it answers every
# UDP datagram with one of twice its payload), in private network, mount and
# process namespaces. UDP datagrams of known sizes go through the link; the
# record must hold them as "Empfangen" and "Gesendet".
#
#   1. A call with 20 datagrams of 500 bytes, ended by the link going down:
#      sent 20 x 528 bytes (IP and UDP headers included), received 20 x 1028.
#   2. A second call on the same interface, whose counters go on from the
#      first, with 10 datagrams of 300 bytes, ended by the pppd going away with
#      its interface: only this call's 10 x 328 and 10 x 628 bytes, as the
#      link source last saw them.
#   3. --csv and --report read the same counts back from that log.
#
# Usage: link_bytes_e2e.sh <velmora executable> <fake pppd executable>
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or no namespaces or TUN).
set -u

readonly IFNAME=ppp7
readonly PEER=10.64.0.1
# Packets the kernel may send on its own on a new link; the figures may exceed the datagrams by this.
readonly SLACK=2000
# shellcheck source=tests/e2e/e2e_machine.sh
source "$(dirname "$0")/e2e_machine.sh"

journal="" # set inside

journal_sum() { md5sum "$journal" 2>/dev/null | cut -d' ' -f1; }

# The journal changed since it summed to $1 and holds an open connection: the
# connection is metered, its start figure taken.
metered_since() { [[ $(journal_sum) != "$1" ]] && grep -aq '"open"' "$journal"; }

# Brings the link up and waits until the program meters it.
call() {
    local before
    before=$(journal_sum)
    link_up
    wait_for 50 metered_since "$before" || fail "the call was not metered within 5 s"
}

# Sends $1 datagrams of $2 bytes to the far end, over one socket that stays
# open for the answers (so no "port unreachable" goes back).
send_datagrams() {
    local socket i
    exec {socket}<>"/dev/udp/$PEER/9" || fail "cannot open a UDP socket to $PEER"
    for ((i = 0; i < $1; i++)); do
        printf '%*s' "$2" '' >&"$socket" || fail "cannot send datagram $i"
    done
    sleep 1.5 # the answers arrive, and a poll reads the counters
    exec {socket}>&-
}

# Key $2 of record $1 (1-based); empty when the record has none.
record_value() {
    log_lines | awk -v want="$1" -v key="$2" '
        /^\[/ { n++; next }
        n == want && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }'
}

# Record $1 holds $2 bytes received and $3 sent, up to SLACK more.
check_bytes() {
    local received sent
    received=$(record_value "$1" Empfangen)
    sent=$(record_value "$1" Gesendet)
    [[ $received =~ ^[0-9]+$ && $sent =~ ^[0-9]+$ ]] ||
        fail "record $1 has no byte counts: Empfangen '$received', Gesendet '$sent'"
    ((received >= $2 && received <= $2 + SLACK)) || fail "record $1: Empfangen=$received, expected $2 (+$SLACK)"
    ((sent >= $3 && sent <= $3 + SLACK)) || fail "record $1: Gesendet=$sent, expected $3 (+$SLACK)"
    echo "record $1: Empfangen=$received (datagrams: $2), Gesendet=$sent (datagrams: $3)"
}

# The command line shows what the log holds: the CSV's received and sent of
# each record, and a "Daten" figure (not "-") in the report.
check_commands() {
    local csv report i row
    csv=$(XDG_DATA_HOME="$data" "$velmora" --csv -) || fail "--csv failed"
    csv=${csv//$'\r'/}
    [[ $(head -1 <<<"$csv") == start,end,seconds,cost,total,received,sent ]] || fail "CSV header: $(head -1 <<<"$csv")"
    for i in 1 2; do
        row=$(sed -n "$((i + 1))p" <<<"$csv")
        [[ ${row#*,*,*,*,*,} == "$(record_value "$i" Empfangen),$(record_value "$i" Gesendet)" ]] ||
            fail "CSV row $i '$row' does not hold record $i's bytes"
    done
    report=$(XDG_DATA_HOME="$data" "$velmora" --report) || fail "--report failed"
    grep -Eq '[0-9]+\.[0-9] MB$' <<<"$(sed -n 2p <<<"$report")" || fail "no Daten figure in the report: $report"
    echo "--csv and --report show the logged bytes"
}

inside() {
    private_machine
    journal=$data/velmora/zelvar.journal
    FAKE_PPPD_ANSWER=1 start_pppd
    start_velmora
    wait_for 50 test -s "$journal" || fail "no journal within 5 s of the start"

    call
    send_datagrams 20 500
    link_down
    wait_for 30 bash -c "[[ \$(grep -c '^\[' '$data/velmora/zelvar.log' 2>/dev/null) -ge 1 ]]" ||
        fail "the first call was not logged when its link went down"

    call
    send_datagrams 10 300
    kill -TERM "$pppd_pid" && wait "$pppd_pid" 2>/dev/null
    wait_for 30 bash -c "! [[ -e /sys/class/net/$IFNAME ]]" || fail "$IFNAME outlived its pppd"
    wait_for 30 bash -c "[[ \$(grep -c '^\[' '$data/velmora/zelvar.log' 2>/dev/null) -ge 2 ]]" ||
        fail "the second call was not logged when its pppd went away"
    end_velmora

    check_record_count 2
    check_bytes 1 $((20 * 1028)) $((20 * 528))
    check_bytes 2 $((10 * 628)) $((10 * 328))
    check_commands
    echo "PASS"
}

if [[ ${1:-} == --inside ]]; then
    velmora=$2 pppd=$3 work=$4 data=$4/data
    inside
else
    [[ $# -eq 2 && -x $1 && -x $2 ]] || { echo "usage: $0 <velmora> <fake pppd>"; exit 2; }
    run_inside "$(realpath "$1")" "$(realpath "$2")"
fi
