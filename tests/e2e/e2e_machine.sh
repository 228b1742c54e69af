# shellcheck shell=bash
# Shared by the end-to-end scripts: a private machine in fresh network, mount
# and process namespaces, a fake pppd holding a TUN interface, the real program
# started and ended, and readers of the files it leaves.
#
# The sourcing script sets: velmora, pppd, work, data (its own folders), and
# IFNAME; it defines fail() where it wants more said on failure.
# shellcheck disable=SC2015

readonly SKIP=77
readonly RECORD='^\[Von ([0-9]{1,2}\.[0-9]{1,2}\.[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}) bis ([0-9]{1,2}\.[0-9]{1,2}\.[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2})\]$'

skip() { echo "SKIP: $*"; exit "$SKIP"; }
declare -F fail >/dev/null || fail() {
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

# Re-runs this script as "$0 --inside <args>" in private namespaces; skips
# where that is not possible.
run_inside() {
    [[ $EUID -eq 0 ]] || skip "needs root for private namespaces"
    command -v unshare >/dev/null && command -v ip >/dev/null || skip "needs unshare and ip"
    [[ -c /dev/net/tun ]] || skip "no /dev/net/tun"
    unshare --net --mount --pid --fork --mount-proc true 2>/dev/null || skip "private namespaces not allowed here"
    local dir status
    dir=$(mktemp -d) || { echo "FAIL: no temporary directory"; exit 1; }
    unshare --net --mount --pid --fork --mount-proc --propagation private bash "$0" --inside "$@" "$dir"
    status=$?
    rm -rf "$dir"
    exit "$status"
}

# Only this test's pid files, only this namespace's interfaces.
private_machine() {
    mount -t tmpfs -o mode=0755 tmpfs /run && mkdir /run/pppd || skip "cannot mount a tmpfs over /run"
    mount -t sysfs sysfs /sys || skip "cannot mount sysfs for the private network"
    mkdir -p "$data" "$work/runtime" && chmod 0700 "$work/runtime"
}

# Interface $1 is there and of the PPP kind (the fake pppd makes it a plain
# TUN device first and then turns it into one, which it must still be down for).
is_ppp() { [[ $(cat "/sys/class/net/$1/type" 2>/dev/null) == 512 ]]; }

start_pppd() {
    "$pppd" "$IFNAME" &
    pppd_pid=$!
    if ! wait_for 30 is_ppp "$IFNAME"; then
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

# Starts the program in the background; its pid is in $velmora_pid.
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

# Reads record $1 (1-based) of the log: sets start and end (epoch seconds),
# cost and total; fails when it is not a whole record.
read_record() {
    local header
    header=$(log_lines | grep '^\[' | sed -n "$1p")
    [[ $header =~ $RECORD ]] || fail "record $1 is not named by its start and end: '$header'"
    start=$(epoch_of "${BASH_REMATCH[1]}") && end=$(epoch_of "${BASH_REMATCH[2]}") || fail "unreadable times in '$header'"
    cost=$(log_lines | grep '^Verbindungskosten=' | sed -n "$1s/^[^=]*=//p")
    total=$(log_lines | grep '^Gesamtkosten bis dato=' | sed -n "$1s/^[^=]*=//p")
    money "$cost" && money "$total" || fail "record $1 holds no amounts: cost '$cost', total '$total'"
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
