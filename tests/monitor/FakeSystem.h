#pragma once
// Stand-ins for the files and the kernel state the Linux source reads: a
// temporary directory tree for sysfs, /proc and pppd's run directories, and
// an interface-state reader that answers from a table.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "monitor/InterfaceState.h"
#include "monitor/PppdLinkScanner.h"

namespace velmora::test {

class TempTree {
public:
    TempTree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-monitor-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
    }
    ~TempTree() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    void write(const std::string& relative, const std::string& content) const {
        const std::filesystem::path file = path(relative);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
    }
    void makeDir(const std::string& relative) const { std::filesystem::create_directories(path(relative)); }
    void symlink(const std::string& target, const std::string& relative) const {
        std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
        std::filesystem::create_symlink(target, path(relative));
    }
    void remove(const std::string& relative) const { std::filesystem::remove_all(path(relative)); }

private:
    std::string root_;
};

class FakeInterfaces : public InterfaceStateReader {
public:
    std::map<std::string, InterfaceState> states;
    std::map<std::string, ByteCounters> carried; // what each interface's counters show
    std::optional<InterfaceState> query(const std::string& ifname) override {
        const auto it = states.find(ifname);
        if (it == states.end()) return std::nullopt;
        return it->second;
    }
    std::optional<ByteCounters> counters(const std::string& ifname) override {
        const auto it = carried.find(ifname);
        if (it == carried.end() || !states.count(ifname)) return std::nullopt;
        return it->second;
    }
};

// A fake machine: pppd processes, PPP interfaces and pid files in a temp tree.
class FakeMachine {
public:
    TempTree tree;

    // Users' homes are home/<uid> in the tree.
    PppdPaths paths() const {
        const std::string home = tree.path("home");
        return {tree.path("sys/class/net"),
                tree.path("sys/class/tty"),
                tree.path("proc"),
                {tree.path("run"), tree.path("run/pppd")},
                tree.path("etc/ppp"),
                {tree.path("run/lock")},
                [home](unsigned uid) { return std::optional<std::string>(home + "/" + std::to_string(uid)); }};
    }
    FakeMachine() {
        for (const char* dir : {"sys/class/net", "sys/class/tty", "proc", "run/pppd", "run/lock", "etc/ppp/peers"})
            tree.makeDir(dir);
    }

    // A process in /proc with the given name, start time, arguments, real
    // user (and effective user; the same unless given) and state.
    void process(int pid, const std::vector<std::string>& args, std::uint64_t start = 1000, int ppid = 1,
                 const std::string& comm = "pppd", unsigned uid = 0, std::optional<unsigned> euid = std::nullopt,
                 char state = 'S') const {
        const std::string dir = "proc/" + std::to_string(pid);
        tree.write(dir + "/stat", std::to_string(pid) + " (" + comm + ") " + state + " " + std::to_string(ppid) +
                                      " 1 1 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 1 0 " + std::to_string(start) +
                                      " 2000000 100\n");
        const std::string id = std::to_string(uid);
        const std::string eid = std::to_string(euid.value_or(uid));
        tree.write(dir + "/status", "Name:\t" + comm + "\nUmask:\t0022\nState:\t" + state + " (sleeping)\nPid:\t" +
                                        std::to_string(pid) + "\nUid:\t" + id + "\t" + eid + "\t" + eid + "\t" + eid +
                                        "\nGid:\t0\t0\t0\t0\n");
        std::string cmdline;
        for (const auto& arg : args) cmdline += arg + '\0';
        tree.write(dir + "/cmdline", cmdline);
    }
    void pppInterface(const std::string& ifname) const { tree.write("sys/class/net/" + ifname + "/type", "512\n"); }
    // An interface of another kind (1 Ethernet, 65534 a TUN device).
    void otherInterface(const std::string& ifname, int kind = 65534) const {
        tree.write("sys/class/net/" + ifname + "/type", std::to_string(kind) + "\n");
    }
};

} // namespace velmora::test
