#!/bin/bash
# "a && b || fail" below means: fail when either step fails.
# shellcheck disable=SC2015

# Real set-ups against the real program, in private network, mount and process
# namespaces (fake pppds holding TUN interfaces, as in dialup_link_e2e.sh):
#
#   1. Debian's dial on demand (/etc/ppp/peers 2750 root:dip, the peer 0640):
#      root's pppd idles with stand-in addresses, makes one call, idles again.
#      Metered by root, and by a user outside dip who cannot read the peer:
#      one record each, the call's.
#   2. Links that are no telephone line of ours: a pppd carrying a VPN (the
#      PPTP plugin), another user's call (pppd setuid root, its real user
#      another), a stale pid file naming a live pppd and a VPN's tun0. Nothing
#      is recorded.
#   3. A call whose address goes for 1.5 s (IP negotiated anew): one record.
#   4. A NetworkManager modem connection (python3-dbusmock's template on a
#      private bus standing in for the system bus) while NetworkManager stops
#      answering for 11 s, longer than its periodic refresh: one record for
#      the whole call. Skipped without python3-dbusmock.
#
# It takes about a minute: each set-up must idle and call for real seconds
# to show that the idle seconds are not metered.
#
# Usage: link_setups_e2e.sh <velmora executable> <fake pppd executable>
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or no namespaces or TUN).
set -u

readonly IFNAME=ppp7
readonly USER_ID=1000
readonly DATABASE=/run/pppd2.tdb
# shellcheck source=tests/e2e/e2e_machine.sh
source "$(dirname "$0")/e2e_machine.sh"

# ---- the machine ------------------------------------------------------------------------------------

# /etc/ppp of our own, on an overlay of /etc, so the host's /etc is untouched.
debian_ppp_layout() {
    mkdir -p "$work/etc" && mount -t tmpfs tmpfs "$work/etc" &&
        mkdir "$work/etc/upper" "$work/etc/work" &&
        mount -t overlay overlay -o "lowerdir=/etc,upperdir=$work/etc/upper,workdir=$work/etc/work" /etc ||
        skip "cannot lay an overlay over /etc"
    mkdir -p /etc/ppp/peers /run/lock || fail "cannot make /etc/ppp"
    printf 'asyncmap 0\nauth\ncrtscts\nlock\nhide-password\nmodem\nnoipx\n' >/etc/ppp/options &&
        printf '%s\n' 'connect "/usr/sbin/chat -v -f /etc/chatscripts/provider"' /dev/ttyS0 115200 noipdefault \
            defaultroute demand 'idle 600' >/etc/ppp/peers/provider &&
        chown root:dip /etc/ppp/peers /etc/ppp/peers/provider && chmod 2750 /etc/ppp/peers &&
        chmod 0640 /etc/ppp/peers/provider || fail "cannot lay out /etc/ppp as Debian does"
}

# Starts a fake pppd holding interface $1, with pppd options $2...; its pid in $fake_pid.
start_fake() {
    local ifname=$1
    shift
    "$pppd" "$ifname" "$@" &
    fake_pid=$!
    wait_for 30 is_ppp "$ifname" || fail "the fake pppd did not create $ifname"
}

stop() {
    kill "$@" 2>/dev/null
    wait "$@" 2>/dev/null
}

# Interface $1 up with address $2 and the peer $3.
address() {
    ip link set "$1" up && ip -4 addr flush dev "$1" && ip -4 addr replace "$2/32" peer "$3" dev "$1" ||
        fail "cannot address $1"
}

db() { "$pppd" --db "$DATABASE" "$@" || fail "cannot change pppd's database"; }

records() { log_lines | grep -c '^\['; }

# The last record lasted $1..$2 seconds.
check_last_record() {
    read_record "$(records)"
    ((end - start >= $1 && end - start <= $2)) || fail "the record lasted $((end - start)) s, expected $1..$2"
}

# The program as a user outside dip, with folders of that user's own.
start_velmora_as_user() {
    local home=/run/velmora-user
    mkdir -p "$home/runtime" "$home/data" && chown -R "$USER_ID:$USER_ID" "$home" && chmod 0700 "$home/runtime" ||
        fail "cannot make the user's folders"
    HOME=$home QT_QPA_PLATFORM=offscreen XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" \
        setpriv --reuid "$USER_ID" --regid "$USER_ID" --clear-groups "$velmora" >>"$work/velmora.out" 2>&1 &
    velmora_pid=$!
    data=$home/data
}

# ---- 1. dial on demand ------------------------------------------------------------------------------

demand_calls_once() {
    local who=$1 before
    FAKE_PPPD_DB=$DATABASE start_fake "$IFNAME" call provider
    printf '%s\n' "$fake_pid" >"/run/$IFNAME.pid"
    address "$IFNAME" 10.64.64.64 10.112.112.112 # pppd's stand-ins until a call
    if [[ $who == user ]]; then start_velmora_as_user; else start_velmora; fi
    before=$(records)
    sleep 3 # idle: traffic waits for nothing
    printf '%10d\n' "$fake_pid" >/run/lock/LCK..ttyS0
    db "$fake_pid" -CONNECT_TIME IPLOCAL=192.0.2.10 IPREMOTE=192.0.2.1
    address "$IFNAME" 192.0.2.10 192.0.2.1
    sleep 3 # the call
    db "$fake_pid" CONNECT_TIME=3
    rm /run/lock/LCK..ttyS0
    sleep 3 # idle again, interface and addresses as they were
    end_velmora
    stop "$fake_pid"
    check_record_count $((before + 1))
    check_last_record 2 6
    echo "demand as $who: one record, the call's"
}

# ---- 2. no line of ours -----------------------------------------------------------------------------

nothing_of_ours() {
    local before vpn theirs dialling holder
    start_velmora
    sleep 1.5
    before=$(records)
    start_fake ppp3 plugin pptp.so pptp_server vpn.example.org call firma
    vpn=$fake_pid
    printf '%s\n' "$vpn" >/run/ppp3.pid
    address ppp3 10.0.3.2 10.0.3.1
    setpriv --ruid 1234 "$pppd" ppp4 call theirs & # setuid root, run by user 1234
    theirs=$!
    wait_for 30 is_ppp ppp4 || fail "the other user's pppd did not create ppp4"
    printf '%s\n' "$theirs" >/run/ppp4.pid
    address ppp4 10.0.4.2 10.0.4.1
    start_fake ppp5 call old # a live pppd still dialling ...
    dialling=$fake_pid
    ln -sf "$pppd" "$work/openvpn" # ... and a VPN client's tun0 that a stale pid file names
    FAKE_PPPD_KIND=none "$work/openvpn" tun0 &
    holder=$!
    wait_for 30 test -e /sys/class/net/tun0 || fail "no tun0"
    printf '%s\ntun0\n' "$dialling" >/run/ppp-old.pid
    address tun0 10.8.0.6 10.8.0.5
    sleep 4
    end_velmora
    stop "$vpn" "$theirs" "$dialling" "$holder"
    rm -f /run/ppp3.pid /run/ppp4.pid /run/ppp-old.pid
    check_record_count "$before"
    echo "a VPN, another user's call and a stale pid file: nothing metered"
}

# ---- 3. IP negotiated anew --------------------------------------------------------------------------

address_gap() {
    local before
    start_fake "$IFNAME" call isp
    printf '%s\n' "$fake_pid" >"/run/$IFNAME.pid"
    start_velmora
    sleep 1.5
    before=$(records)
    address "$IFNAME" 192.0.2.20 192.0.2.1
    sleep 2
    ip -4 addr flush dev "$IFNAME" || fail "cannot take the address away"
    sleep 1.5
    address "$IFNAME" 192.0.2.20 192.0.2.1
    sleep 2
    ip link set "$IFNAME" down || fail "cannot take $IFNAME down"
    sleep 1.5
    end_velmora
    stop "$fake_pid"
    check_record_count $((before + 1))
    check_last_record 4 9 # 5.5 s; whole seconds and a loaded machine add some
    echo "an address gone for 1.5 s: one record"
}

# ---- 4. NetworkManager ------------------------------------------------------------------------------

readonly NM_DRIVER='
import sys, dbus
bus = dbus.SessionBus()
NM = "org.freedesktop.NetworkManager"
MOCK = "org.freedesktop.DBus.Mock"
mock = dbus.Interface(bus.get_object(NM, "/org/freedesktop/NetworkManager"), MOCK)
modem = "/org/freedesktop/NetworkManager/Devices/wwan0"
if sys.argv[1] == "ping":
    dbus.Interface(bus.get_object(NM, "/org/freedesktop/NetworkManager"), "org.freedesktop.DBus.Properties").GetAll(NM)
elif sys.argv[1] == "up":
    mock.AddObject(modem, NM + ".Device", {"DeviceType": dbus.UInt32(8), "IpInterface": "wwan0",
        "Interface": "cdc-wdm0", "Udi": "/org/freedesktop/ModemManager1/Modem/0", "State": dbus.UInt32(100),
        "StateReason": (dbus.UInt32(100), dbus.UInt32(0)), "ActiveConnection": dbus.ObjectPath("/")}, [])
    settings = dbus.Interface(bus.get_object(NM, "/org/freedesktop/NetworkManager/Settings"), NM + ".Settings")
    gsm = settings.AddConnection({"connection": {"id": "Mobilfunk", "type": "gsm"}})
    print(mock.AddActiveConnection([modem], gsm, "/", "gsm0", dbus.UInt32(2)))
else:
    mock.RemoveActiveConnection(modem, sys.argv[2])
'

nm_driver() { DBUS_SESSION_BUS_ADDRESS=$bus_address /usr/bin/python3 -c "$NM_DRIVER" "$@"; }

network_manager_stalls() {
    /usr/bin/python3 -c 'import dbusmock, dbus' 2>/dev/null && command -v dbus-daemon >/dev/null || {
        echo "NetworkManager: skipped, python3-dbusmock or dbus-daemon is missing"
        return
    }
    local bus_pid mock_pid active before
    bus_address=$(dbus-daemon --session --fork --print-address=1 --print-pid=2 2>"$work/bus.pid") ||
        fail "no private bus"
    bus_pid=$(cat "$work/bus.pid")
    DBUS_SESSION_BUS_ADDRESS=$bus_address /usr/bin/python3 -m dbusmock --session --template networkmanager \
        >"$work/mock.out" 2>&1 &
    mock_pid=$!
    wait_for 100 nm_driver ping 2>/dev/null || fail "the NetworkManager mock did not come up"
    export DBUS_SYSTEM_BUS_ADDRESS=$bus_address # the program's system bus
    start_velmora
    unset DBUS_SYSTEM_BUS_ADDRESS
    sleep 1.5
    before=$(records)
    active=$(nm_driver up) || fail "the mock did not take the modem connection"
    sleep 2
    kill -STOP "$mock_pid" # every question times out meanwhile, the periodic refresh's too
    sleep 11
    kill -CONT "$mock_pid"
    sleep 2
    nm_driver down "$active" || fail "the mock did not end the connection"
    sleep 2
    end_velmora
    stop "$mock_pid"
    kill "$bus_pid" 2>/dev/null
    check_record_count $((before + 1))
    check_last_record 13 17
    echo "a NetworkManager modem through a stall of 11 s: one record"
}

inside() {
    private_machine
    debian_ppp_layout
    demand_calls_once root
    local root_data=$data
    demand_calls_once user
    data=$root_data
    nothing_of_ours
    address_gap
    network_manager_stalls
    echo "PASS"
}

if [[ ${1:-} == --inside ]]; then
    velmora=$2 pppd=$3 work=$4 data=$4/data
    inside
else
    [[ $# -eq 2 && -x $1 && -x $2 ]] || { echo "usage: $0 <velmora> <fake pppd>"; exit 2; }
    run_inside "$(realpath "$1")" "$(realpath "$2")"
fi
