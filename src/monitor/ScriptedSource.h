#pragma once
// A connection source whose answers a test sets, link by link.

#include <cstdint>
#include <map>
#include <optional>
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
    std::uint64_t handle = 0; // 0: the source gives the link its own at the next list
    std::optional<ByteCounters> counters = std::nullopt;
};

class ScriptedSource : public ConnectionSource {
public:
    // The listed links, first shown; empty = nothing listed. A link keeps its
    // handle while it stays in this list.
    std::vector<ScriptedLink> links;
    bool failList = false;   // the list query fails
    bool failStatus = false; // the status query fails
    bool failProjection = false;
    bool failCounters = false; // the counters query fails
    int listCalls = 0;
    // Descriptors that tell of news while nothing is listed (a test's pipes):
    // the poll may then sleep on them. Empty: a poll every second.
    std::vector<int> notifiers;

    // Each of these replaces the list with one new link.
    void up(std::string name, std::string deviceType = "modem", std::string address = "10.0.0.2") {
        links = {ScriptedLink{std::move(name), true, std::move(deviceType), "/dev/ttyS0", std::move(address)}};
    }
    void dialling(std::string name) { links = {ScriptedLink{std::move(name), false, "modem", "/dev/ttyS0", ""}}; }
    void down() { links.clear(); }
    // The first link's counters, as the interface would show them now.
    void carried(std::uint64_t received, std::uint64_t sent) {
        if (!links.empty()) links.front().counters = ByteCounters{received, sent};
    }

    ConnectionList list() override {
        ++listCalls;
        for (auto& link : links) {
            if (link.handle == 0) link.handle = nextHandle_++;
            if (link.counters) lastCounters_[link.handle] = *link.counters;
        }
        listed_ = failList ? 0 : links.size();
        if (listed_ == 0) return {};
        return {static_cast<std::uint32_t>(links.size()), links.front().handle, links.front().entryName};
    }
    ConnectionStatus status(std::uint64_t handle) override {
        const ScriptedLink* link = find(handle);
        if (failStatus || !link) return {};
        return {link->connected, link->deviceType, link->deviceName};
    }
    std::string projectionAddress(std::uint64_t handle) override {
        const ScriptedLink* link = find(handle);
        if (failProjection || !link) return {};
        return link->address;
    }
    // As of the last list, also for a link that has gone since.
    std::optional<ByteCounters> counters(std::uint64_t handle) override {
        const auto known = lastCounters_.find(handle);
        if (failCounters || known == lastCounters_.end()) return std::nullopt;
        return known->second;
    }
    PollPace pollPace(bool everySecond) override {
        if (everySecond || listed_ > 0 || notifiers.empty()) return {kPollPeriodMs, {}};
        return {kQuietPollPeriodMs, notifiers};
    }

private:
    const ScriptedLink* find(std::uint64_t handle) const {
        for (const auto& link : links)
            if (link.handle == handle && handle != 0) return &link;
        return nullptr;
    }
    std::uint64_t nextHandle_ = 1;
    std::size_t listed_ = 0;
    std::map<std::uint64_t, ByteCounters> lastCounters_;
};

} // namespace velmora
