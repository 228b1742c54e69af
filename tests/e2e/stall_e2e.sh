#!/bin/bash
# "a && b || fail" below means: fail when either step fails.
# shellcheck disable=SC2015

# The real program stopped in the middle of a connection (SIGSTOP, as a swap
# storm or a debugger holds it) and let go again (SIGCONT): what it charges for
# the time it stood still must follow the time that passed, not the timer
# events that came. A TUN interface ppp7 held by a fake pppd, in private
# network, mount and process namespaces; an own tariff of one unit length all
# day.
#
# Measured: the units charged for the stall (the journal's cost of the open
# connection while stopped and just after it went on; one unit each time a
# unit begins) against the units begun meanwhile, and the whole record's units
# against its time online. Passes when the stall was charged its units within
# one, and the record holds about one unit for its start and one per unit
# length.
#
# Usage: stall_e2e.sh [--stall SECONDS] [--unit SECONDS] <velmora> <fake pppd>
#   defaults: a 3 s stall, a unit every second
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or no namespaces or TUN).
set -u

readonly IFNAME=ppp7
readonly FEE=0.12
# shellcheck source=tests/e2e/e2e_machine.sh
source "$(dirname "$0")/e2e_machine.sh"

stall=3 unit=1

write_profile() {
    mkdir -p "$data/velmora" && cat >"$data/velmora/velmora.INI" <<INI || fail "cannot write the profile"
[Standard]
Kosten=0.00
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

# The open connection's cost in the journal's newer slot (it only grows).
open_cost() {
    grep -ao '"open":{[^}]*}' "$data/velmora/zelvar.journal" 2>/dev/null |
        grep -o '"cost":"[0-9.]*"' | tr -dc '0-9.\n' | sort -g | tail -1
}
journal_open() { [[ -n $(open_cost) ]]; }

calc() { awk "BEGIN { $1 }"; }
units_of() { calc "printf \"%d\", ($1) / $FEE + 0.5"; }
now() { date +%s.%N; }

inside() {
    private_machine
    start_pppd
    write_profile
    link_up
    start_velmora
    wait_for 50 journal_open || fail "no checkpoint within 5 s of the link coming up"
    sleep 2.2
    kill -STOP "$velmora_pid" || fail "cannot stop velmora"
    local stopped_at resumed_at before after
    stopped_at=$(now)
    sleep 0.2 # a checkpoint under way lands in its slot
    before=$(open_cost)
    sleep "$(calc "print $stall - 0.2")"
    resumed_at=$(now)
    kill -CONT "$velmora_pid" || fail "cannot let velmora go on"
    sleep 0.3 # the overdue timers fire; the next unit begins later
    after=$(open_cost)
    sleep 2
    link_down
    wait_for 50 bash -c "grep -q '^\[' '$data/velmora/zelvar.log' 2>/dev/null" ||
        fail "the connection was not logged when the link went down"
    end_velmora
    check_record_count 1
    read_record 1

    local stood charged begun recorded online
    stood=$(calc "printf \"%.1f\", $resumed_at - $stopped_at")
    charged=$(units_of "$after - $before")
    begun=$(calc "printf \"%d\", $stood / $unit + 0.5")
    recorded=$(units_of "$cost")
    online=$((end - start))
    echo "stood still $stood s with units of $unit s: $charged units charged on going on ($begun begun meanwhile);" \
        "the record: $recorded units for $online s online (cost $cost)"
    ((charged >= begun - 1 && charged <= begun + 1)) ||
        fail "the stall of $stood s was charged $charged units, not $begun"
    # One unit for the start and one per unit length, give or take the second
    # the record's times are cut to, and the unit a poll that finds the link
    # gone takes from a unit timer due at the same moment.
    local expected=$((1 + online / unit))
    ((recorded >= expected - 2 && recorded <= expected)) ||
        fail "the record holds $recorded units for $online s online, not $((expected - 1))..$expected"
    check_profile_total "$total"
    echo "PASS"
}

if [[ ${1:-} == --inside ]]; then
    velmora=$2 pppd=$3 stall=$4 unit=$5 work=$6 data=$6/data
    inside
else
    while [[ ${1:-} == --* ]]; do
        case $1 in
            --stall) stall=$2 ;;
            --unit) unit=$2 ;;
            *) echo "unknown option $1"; exit 2 ;;
        esac
        shift 2
    done
    [[ $# -eq 2 && -x $1 && -x $2 ]] || { echo "usage: $0 [--stall S] [--unit S] <velmora> <fake pppd>"; exit 2; }
    run_inside "$(realpath "$1")" "$(realpath "$2")" "$stall" "$unit"
fi
