#pragma once
// A connection source whose answers a test sets, link by link.

#include <string>
#include <vector>

#include "monitor/ConnectionSource.h"

namespace velmora {

struct ScriptedLink {
    std::string entryName;
    bool connected = false;
    std::string deviceType = "modem";
    std::string deviceName = "/dev/ttyS0";
    std::string address;
};

class ScriptedSource : public ConnectionSource {
public:
    // The listed links, first shown; empty = nothing listed.
    std::vector<ScriptedLink> links;
    bool failList = false;      // the list query fails
    bool failStatus = false;    // the status query fails
    bool failProjection = false;
    int listCalls = 0;

    void up(std::string name, std::string deviceType = "modem", std::string address = "10.0.0.2") {
        links = {ScriptedLink{std::move(name), true, std::move(deviceType), "/dev/ttyS0", std::move(address)}};
    }
    void dialling(std::string name) { links = {ScriptedLink{std::move(name), false, "modem", "/dev/ttyS0", ""}}; }
    void down() { links.clear(); }

    ConnectionList list() override {
        ++listCalls;
        if (failList || links.empty()) return {};
        return {static_cast<std::uint32_t>(links.size()), 1, links.front().entryName};
    }
    ConnectionStatus status(std::uint64_t handle) override {
        if (failStatus || handle != 1 || links.empty()) return {};
        const auto& l = links.front();
        return {l.connected, l.deviceType, l.deviceName};
    }
    std::string projectionAddress(std::uint64_t handle) override {
        if (failProjection || handle != 1 || links.empty()) return {};
        return links.front().address;
    }
};

} // namespace velmora
