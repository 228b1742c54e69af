#pragma once
// A pppd on a fake machine, leaving behind what the real one leaves at each
// step: its pid file, its entry in pppd2.tdb (the environment it gives its
// scripts, under its start pid, with the keys pppd adds), the lock file of
// its serial line, its connect script as a child process, and the state of
// its interface.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <tdb.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "monitor/FakeSystem.h"

namespace velmora::test {

// One record of pppd's database, as pppd stores it (tdb).
inline void storeInDatabase(const std::string& database, const std::string& key, const std::string& value) {
    tdb_context* db = ::tdb_open(database.c_str(), 0, TDB_DEFAULT, O_RDWR | O_CREAT, 0644);
    ASSERT_NE(db, nullptr);
    TDB_DATA k{reinterpret_cast<unsigned char*>(const_cast<char*>(key.data())), key.size()};
    TDB_DATA v{reinterpret_cast<unsigned char*>(const_cast<char*>(value.data())), value.size()};
    EXPECT_EQ(::tdb_store(db, k, v, TDB_REPLACE), 0);
    ::tdb_close(db);
}

// The entry of a pppd that started as startPid and runs as pid now, holding
// the environment ("NAME=value;" pairs) it gives its scripts.
inline void storeScriptEnvironment(const std::string& database, int startPid, int pid, const std::string& environment) {
    const std::string entry = "pppd" + std::to_string(startPid);
    storeInDatabase(database, "PPPD_PID=" + std::to_string(pid), entry);
    storeInDatabase(database, entry, environment);
}

class FakePppd {
public:
    bool childrenList = false; // the kernel keeps /proc/<pid>/task/<pid>/children
    FakePppd(FakeMachine& machine, FakeInterfaces& interfaces, int pid, std::string ifname, std::string tty)
        : machine_(machine), interfaces_(interfaces), pid_(pid), ifname_(std::move(ifname)), tty_(std::move(tty)) {}

    // pppd has detached (its start pid is one less) and, in demand mode, set
    // up its interface with the stand-in addresses it makes up.
    void startDemand(const std::vector<std::string>& args) {
        machine_.process(pid_, args);
        set("ORIG_UID", "0");
        set("PPPLOGNAME", "root");
        set("DEVICE", tty_, true);
        set("PPPD_PID", std::to_string(pid_), true);
        set("IFNAME", ifname_, true);
        set("UNIT", ifname_.substr(3), true);
        machine_.tree.write("run/" + ifname_ + ".pid", std::to_string(pid_) + "\n");
        machine_.pppInterface(ifname_);
        interfaces_.states[ifname_] = {true, true, "10.64.64.64", ""};
    }
    // Traffic wants out: a new call starts, the line is locked, chat dials.
    void dial() {
        unset("CONNECT_TIME");
        unset("BYTES_SENT");
        unset("BYTES_RCVD");
        char lock[16];
        std::snprintf(lock, sizeof lock, "%10d\n", pid_);
        machine_.tree.write("run/lock/LCK.." + tty_.substr(5), lock);
        // Where the kernel lists children, only that list tells who chat's parent is.
        machine_.process(pid_ + 50, {"/usr/sbin/chat", "-v", "-f", "/etc/chatscripts/provider"}, 2000,
                         childrenList ? 1 : pid_, "chat");
        if (childrenList) children(std::to_string(pid_ + 50) + " ");
    }
    // The modem answered: chat is done, LCP and authentication run.
    void connected() {
        machine_.tree.remove("proc/" + std::to_string(pid_ + 50));
        if (childrenList) children("");
    }
    // IPCP is up: the peer's addresses replace the stand-ins.
    void ipUp(const std::string& local) {
        set("IPLOCAL", local);
        set("IPREMOTE", "192.0.2.1", true);
        interfaces_.states[ifname_] = {true, true, local, ""};
    }
    // The idle timer hung up: the link's statistics go into the environment,
    // the line is unlocked; the interface stays up with its addresses.
    void idleHangUp() {
        set("CONNECT_TIME", "600");
        set("BYTES_SENT", "81920");
        set("BYTES_RCVD", "524288");
        machine_.tree.remove("run/lock/LCK.." + tty_.substr(5));
    }

private:
    std::string database() const { return machine_.tree.path("run/pppd2.tdb"); }
    std::string entryKey() const { return "pppd" + std::to_string(pid_ - 1); }

    void set(const std::string& name, const std::string& value, bool key = false) {
        bool replaced = false;
        for (auto& [n, v] : env_)
            if (n == name) {
                v = value;
                replaced = true;
            }
        if (!replaced) env_.push_back({name, value});
        if (key) store(name + "=" + value, entryKey());
        storeEntry();
    }
    void unset(const std::string& name) {
        std::erase_if(env_, [&](const auto& pair) { return pair.first == name; });
        storeEntry();
    }
    void storeEntry() {
        std::string text;
        for (const auto& [n, v] : env_) text += n + "=" + v + ";";
        store(entryKey(), text);
    }
    void store(const std::string& key, const std::string& value) { storeInDatabase(database(), key, value); }
    void children(const std::string& list) {
        const std::string self = std::to_string(pid_);
        machine_.tree.write("proc/" + self + "/task/" + self + "/children", list);
    }

    FakeMachine& machine_;
    FakeInterfaces& interfaces_;
    int pid_;
    std::string ifname_;
    std::string tty_;
    std::vector<std::pair<std::string, std::string>> env_;
};

} // namespace velmora::test
