#pragma once
// A record keeper on a private folder, and what it left in the files.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QTemporaryDir>

#include "journal/RecordKeeper.h"

namespace velmora::testing {

inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline LocalTime at(int day, int hour, int minute, int second) { return {2026, 12, 3, day, hour, minute, second, 0}; }

inline LogRecord record(int day, int hour, const std::string& cost, const std::string& total) {
    return {at(day, hour, 0, 0), at(day, hour, 30, 0), cost, total};
}

inline SettingsValues settings(const std::string& total) {
    return {{"Kosten", total}, {"Tarifzone", "0"}, {"Warnung", "0"}};
}

inline OpenConnection openSince(int day, int hour, int minutes, const std::string& cost, const std::string& total) {
    return {"Provider",
            at(day, hour, 0, 0),
            1000,
            at(day, hour, minutes, 0),
            1000 + static_cast<std::uint64_t>(minutes) * 60,
            parseMoneyText(cost).value().amount,
            parseMoneyText(total).value().amount};
}

struct KeeperFiles {
    explicit KeeperFiles(const QString& folder)
        : log(folder.toStdString() + "/zelvar.log"), profile(folder.toStdString() + "/velmora.INI") {}
    std::string journalPath() const { return journalPathBeside(log.path()); }
    std::string logText() const { return fileText(log.path()); }
    std::string profileText() const { return fileText(profile.path()); }
    ConnectionLog log;
    SettingsProfile profile;
};

struct Notice {
    std::string title;
    std::string text;
};

} // namespace velmora::testing
