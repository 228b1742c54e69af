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
#
# Usage: dialup_link_e2e.sh <velmora executable> <fake pppd executable>
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or no namespaces or TUN).
set -u

readonly SKIP=77
readonly IFNAME=ppp7
readonly RECORD='^\[Von ([0-9]{1,2}\.[0-9]{1,2}\.[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}) bis ([0-9]{1,2}\.[0-9]{1,2}\.[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2})\]$'

skip() { echo "SKIP: $*"; exit "$SKIP"; }
fail() {
    echo "FAIL: $*"
    for file in "$data/velmora/zelvar.log" "$data/velmora/velmora.INI" "$work/velmora.out"; do
        [[ -e $file ]] && { echo "--- $file"; cat "$file"; }
    done
    exit 1
}

# Polls a command for up to $1 tenths of a second.
wait_for() {
    local tenths=$1
    shift
    until "$@"; do
        ((tenths-- > 0)) || return 1
        sleep 0.1
    done
}

# ---- outside the namespaces ----------------------------------------------------------------

outside() {
    [[ $EUID -eq 0 ]] || skip "needs root for private namespaces"
    command -v unshare >/dev/null && command -v ip >/dev/null || skip "needs unshare and ip"
    [[ -c /dev/net/tun ]] || skip "no /dev/net/tun"
    unshare --net --mount --pid --fork --mount-proc true 2>/dev/null || skip "private namespaces not allowed here"
    local dir status
    dir=$(mktemp -d) || { echo "FAIL: no temporary directory"; exit 1; }
    unshare --net --mount --pid --fork --mount-proc --propagation private \
        bash "$0" --inside "$velmora" "$pppd" "$dir"
    status=$?
    rm -rf "$dir"
    exit "$status"
}

# ---- inside: the machine --------------------------------------------------------------------

# Only this test's pid files, only this namespace's interfaces.
private_machine() {
    mount -t tmpfs -o mode=0755 tmpfs /run && mkdir /run/pppd || skip "cannot mount a tmpfs over /run"
    mount -t sysfs sysfs /sys || skip "cannot mount sysfs for the private network"
    mkdir -p "$data" "$work/runtime" && chmod 0700 "$work/runtime"
}

start_pppd() {
    "$pppd" "$IFNAME" &
    pppd_pid=$!
    if ! wait_for 30 test -e "/sys/class/net/$IFNAME"; then
        wait "$pppd_pid"
        [[ $? -eq $SKIP ]] && skip "no TUN interface allowed here"
        fail "the fake pppd did not create $IFNAME"
    fi
    printf '%s\n' "$pppd_pid" >"/run/$IFNAME.pid"
    printf '%s\n%s\n' "$pppd_pid" "$IFNAME" >/run/ppp-e2etest.pid
}

link_up() {
    ip link set "$IFNAME" up || fail "cannot bring $IFNAME up"
    ip -4 addr replace 10.64.0.2/32 peer 10.64.0.1 dev "$IFNAME" || fail "cannot address $IFNAME"
}

link_down() { ip link set "$IFNAME" down || fail "cannot take $IFNAME down"; }

start_velmora() {
    QT_QPA_PLATFORM=offscreen XDG_DATA_HOME="$data" XDG_RUNTIME_DIR="$work/runtime" \
        "$velmora" >>"$work/velmora.out" 2>&1 &
    velmora_pid=$!
}

# SIGTERM must end the program by itself, with status 0; one that is killed
# by the signal (143) or still runs after five seconds has not ended gracefully.
end_velmora() {
    kill -TERM "$velmora_pid"
    (sleep 5 && kill -KILL "$velmora_pid" 2>/dev/null) &
    local watchdog=$! status
    wait "$velmora_pid"
    status=$?
    kill "$watchdog" 2>/dev/null
    wait "$watchdog" 2>/dev/null
    [[ $status -eq 0 ]] || fail "velmora ended with status $status on SIGTERM"
}

# ---- inside: what the program left ---------------------------------------------------------------

log_lines() { { tr -d '\r' <"$data/velmora/zelvar.log"; } 2>/dev/null; }

# Value of key $2 in section $1 of the profile.
profile_value() {
    tr -d '\r' <"$data/velmora/velmora.INI" |
        awk -v section="[$1]" -v key="$2" '
            /^\[/ { inside = ($0 == section); next }
            inside && index($0, key "=") == 1 { print substr($0, length(key) + 2); exit }'
}

# Seconds of a "d.m.yyyy hh:mm:ss" local time.
epoch_of() {
    local day month year clock
    IFS='. ' read -r day month year clock <<<"$1"
    date -d "$year-$month-$day $clock" +%s
}

money() { [[ $1 =~ ^[0-9]+\.[0-9]{2}$ ]]; }
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 >= b + 0) }'; }
sum() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a + b }'; }

# Checks record $1 (1-based) of the log: its times lie $2..$3 seconds apart,
# it cost at least one unit. Sets cost and total.
check_record() {
    local header start end
    header=$(log_lines | grep '^\[' | sed -n "$1p")
    [[ $header =~ $RECORD ]] || fail "record $1 is not named by its start and end: '$header'"
    start=$(epoch_of "${BASH_REMATCH[1]}") && end=$(epoch_of "${BASH_REMATCH[2]}") || fail "unreadable times in '$header'"
    ((end - start >= $2 && end - start <= $3)) || fail "record $1 lasted $((end - start)) s, expected $2..$3"
    cost=$(log_lines | grep '^Verbindungskosten=' | sed -n "$1s/^[^=]*=//p")
    total=$(log_lines | grep '^Gesamtkosten bis dato=' | sed -n "$1s/^[^=]*=//p")
    money "$cost" && money "$total" || fail "record $1 holds no amounts: cost '$cost', total '$total'"
    at_least "$cost" 0.12 || fail "record $1 cost $cost, less than one unit"
}

check_record_count() {
    local sections
    sections=$(log_lines | grep -c '^\[')
    [[ $sections -eq $1 ]] || fail "the log holds $sections records, expected $1"
}

check_profile_total() {
    local kosten
    kosten=$(profile_value Standard Kosten)
    [[ $kosten == "$1" ]] || fail "the profile's Kosten is '$kosten', the log's total '$1'"
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
    end_velmora
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
    velmora=$(realpath "$1") pppd=$(realpath "$2") work="" data=""
    outside
fi
