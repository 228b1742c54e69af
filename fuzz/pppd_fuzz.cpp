// pppd's options as the link source reads them: a command line and option
// files of arbitrary bytes, naming each other with "call" and "file" (loops
// included). The input is a small bundle:
//
//   <command line, arguments separated by NUL bytes>
//   ==> options
//   <text of etc/ppp/options>
//   ==> peers/provider
//   <text>
//
// "@/" anywhere stands for the bundle's own etc/ppp folder, so a "file"
// option can name one of its files by an absolute path.
//
// Whatever the bytes: reading ends; every text kept is clean UTF-8 of bounded
// length; the device type is one of the known ones; an options file's words,
// quoted again, read back as the same words; and without any file to read the
// options are exactly those of the command line alone.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "monitor/PppdCommandLine.h"
#include "monitor/SafeText.h"

namespace {

namespace fs = std::filesystem;
using velmora::PppdOptions;

constexpr std::string_view kHeader = "\n==> ";

// The bundle's folder, private to the process and removed at its end.
struct Folder {
    fs::path root;
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

const fs::path& etcPpp() {
    static const Folder folder{(access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path()) /
                               ("velmora-pppd-fuzz-" + std::to_string(getpid()))};
    static const fs::path path = folder.root / "etc-ppp";
    return path;
}

std::string withFolder(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, 2) == "@/") {
            out += etcPpp().string() + "/";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A file name of the bundle: plain names, at most one folder deep.
bool isBundleName(std::string_view name) {
    if (name.empty() || name.size() > 40 || name.front() == '/' || name.back() == '/') return false;
    std::size_t slashes = 0;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        if (c == '/')
            ++slashes;
        else if (!plain)
            return false;
    }
    return slashes <= 1 && name.find("..") == std::string_view::npos;
}

struct Bundle {
    std::string cmdline;
    std::vector<std::string> texts;
};

// Writes the bundle's files afresh; returns the command line and the texts.
Bundle unpack(std::string_view input) {
    std::error_code ignored;
    fs::remove_all(etcPpp(), ignored);
    fs::create_directories(etcPpp() / "peers");
    Bundle bundle;
    std::size_t header = input.find(kHeader);
    bundle.cmdline = withFolder(input.substr(0, header));
    while (header != std::string_view::npos) {
        const std::size_t nameAt = header + kHeader.size();
        const std::size_t nameEnd = std::min(input.find('\n', nameAt), input.size());
        header = input.find(kHeader, nameEnd);
        const std::string_view name = input.substr(nameAt, nameEnd - nameAt);
        const std::string_view text = nameEnd < input.size() ? input.substr(nameEnd + 1, header - nameEnd - 1) : "";
        bundle.texts.push_back(withFolder(text));
        if (!isBundleName(name)) continue;
        fs::create_directories((etcPpp() / name).parent_path(), ignored);
        FILE* file = std::fopen((etcPpp() / name).c_str(), "wb");
        if (!file) continue; // a name that is a folder already
        std::fwrite(bundle.texts.back().data(), 1, bundle.texts.back().size(), file);
        std::fclose(file);
    }
    return bundle;
}

bool isClean(const std::string& text, std::size_t maxBytes) {
    return text.size() <= maxBytes && velmora::cleanText(text, maxBytes) == text;
}

void checkOptions(const PppdOptions& o) {
    const std::vector<const std::string*> texts{&o.linkName, &o.callPeer, &o.ifname, &o.tty,
                                                &o.nic,      &o.pty,      &o.connect};
    for (const std::string* text : texts)
        if (!isClean(*text, 600)) std::abort();
    if (!isClean(o.plugin, std::size_t{64} * 1024)) std::abort();
    const std::string base = velmora::ttyBaseName(o.tty);
    if (base.find('/') != std::string::npos || base == "." || base == "..") std::abort();
    const std::string type = velmora::pppDeviceType(o, o.ifname);
    for (const char* known : {"", "modem", "isdn", "null", "pppoe", "adsl", "vpn"})
        if (type == known) return;
    std::abort();
}

bool same(const PppdOptions& a, const PppdOptions& b) {
    return a.linkName == b.linkName && a.callPeer == b.callPeer && a.ifname == b.ifname && a.tty == b.tty &&
           a.nic == b.nic && a.plugin == b.plugin && a.pty == b.pty && a.connect == b.connect && a.demand == b.demand &&
           a.local == b.local && a.lock == b.lock;
}

// Each word in double quotes, with its quotes and backslashes escaped.
std::string quoted(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += '"';
        for (char c : word) {
            if (c == '"' || c == '\\') text += '\\';
            text += c;
        }
        text += "\" ";
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bundle bundle = unpack(std::string_view(reinterpret_cast<const char*>(data), size));
    const PppdOptions options = velmora::effectivePppdOptions(bundle.cmdline, etcPpp().string());
    checkOptions(options);

    for (const std::string& text : bundle.texts) {
        const std::vector<std::string> words = velmora::optionFileWords(text);
        if (velmora::optionFileWords(quoted(words)) != words) std::abort();
    }

    // No file can be read: no "/" for "file" to name, an empty folder for the rest.
    if (bundle.cmdline.find('/') == std::string::npos) {
        const PppdOptions alone = velmora::parsePppdCommandLine(bundle.cmdline);
        checkOptions(alone);
        if (!same(alone, velmora::effectivePppdOptions(bundle.cmdline, (etcPpp() / "none").string()))) std::abort();
    }
    return 0;
}
