// Profile files of arbitrary bytes: reading never fails, the parsed index
// answers as the line scan does, and a write changes exactly the written key:
// it reads back as written, every other key as before.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>

#include "store/IniText.h"
#include "store/SettingsProfile.h"

namespace {

struct Name {
    const char* section;
    const char* key;
};

constexpr Name kNames[] = {{"Standard", "Kosten"},
                           {"Standard", "Tarifzone"},
                           {"Cost-Editor", "Montag"},
                           {"W-0", "Takt"},
                           {"a", "b"},
                           {"", "x"}};

std::vector<std::string> readAllNames(const velmora::SettingsProfile& profile) {
    std::vector<std::string> values;
    for (const Name& name : kNames) {
        values.push_back(profile.readString(name.section, name.key, "\x01missing"));
        const int number = profile.readInt(name.section, name.key, -7);
        values.back() += '\x02' + std::to_string(number);
    }
    return values;
}

// Writes into tmpfs where there is one: a flush to disk per run would slow the fuzzer.
const std::string& profilePath() {
    static QTemporaryDir dir(access("/dev/shm", W_OK) == 0 ? QStringLiteral("/dev/shm/velmora-fuzz-XXXXXX")
                                                           : QDir::tempPath() + "/velmora-fuzz-XXXXXX");
    static const std::string path = dir.path().toStdString() + "/fuzz.INI";
    return path;
}

// What the reader must give back for a written value: control characters as
// blanks, at most 4095 bytes (the value is kept short enough here).
// Control characters become blanks; the reader trims blanks and drops one
// pair of matching outer quotes.
std::string expectedReadBack(std::string value) {
    for (char& c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    const std::size_t first = value.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    value = value.substr(first, value.find_last_not_of(' ') - first + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The last few bytes double as the value to write, the first ones pick the key.
    const std::string value = bytes.substr(bytes.size() > 48 ? bytes.size() - 48 : 0);
    const Name& target = kNames[size == 0 ? 0 : data[0] % 4];

    FILE* file = std::fopen(profilePath().c_str(), "wb");
    if (!file) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);

    const velmora::ini::Index index(bytes);
    for (const Name& name : kNames) {
        if (index.findValue(name.section, name.key) != velmora::ini::findValue(bytes, name.section, name.key))
            std::abort();
    }
    if (size >= 3) { // one-letter names picked by the input, which it can easily contain
        const std::string section(1, static_cast<char>(data[1]));
        const std::string key(1, static_cast<char>(data[2]));
        if (index.findValue(section, key) != velmora::ini::findValue(bytes, section, key)) std::abort();
    }

    velmora::SettingsProfile profile(profilePath());
    std::vector<std::string> before = readAllNames(profile);
    if (!profile.writeString(target.section, target.key, value)) std::abort();
    if (profile.readString(target.section, target.key, "") != expectedReadBack(value)) std::abort();

    std::vector<std::string> after = readAllNames(profile);
    const std::size_t written = static_cast<std::size_t>(&target - kNames);
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (i != written && before[i] != after[i]) std::abort();
    }
    return 0;
}
