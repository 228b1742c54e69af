#include "autostart/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QtGlobal>

#include "store/AtomicFile.h"

namespace velmora {
namespace {

constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

QString qtPath(const std::string& path) { return QString::fromStdString(path); }

} // namespace

AutostartEntry::AutostartEntry(std::string path, std::string executable)
    : path_(std::move(path)), executable_(std::move(executable)) {}

std::string AutostartEntry::defaultPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) {
        QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty()) home = QDir::homePath();
        config = home + QStringLiteral("/.config");
    }
    return (config + QStringLiteral("/autostart/velmora.desktop")).toStdString();
}

bool AutostartEntry::exists() const { return QFileInfo(qtPath(path_)).isFile(); }

std::string AutostartEntry::text() const {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Velmora\n"
           "Comment=Überwacht die Wählverbindung und zählt ihre Telefongebühren live mit\n"
           "Exec=" +
           desktopExecArgument(executable_) +
           "\n"
           "Icon=velmora\n"
           "Terminal=false\n";
}

WriteResult AutostartEntry::enable() const {
    if (desktopExecArgument(executable_).empty())
        return WriteResult::failed("der Programmpfad lässt sich nicht in einen Autostart-Eintrag schreiben");
    const QString file = qtPath(path_);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return WriteResult::failed("der Autostart-Ordner kann nicht angelegt werden");
    // Only this program writes its entry, so no sidecar lock in the desktop's
    // autostart folder; the atomic replace never leaves an entry cut short.
    return atomic_file::replace(path_, text());
}

WriteResult AutostartEntry::disable() const {
    if (!QFileInfo::exists(qtPath(path_))) return WriteResult::done();
    if (!QFile::remove(qtPath(path_))) return WriteResult::failed("der Autostart-Eintrag kann nicht gelöscht werden");
    return WriteResult::done();
}

std::string desktopExecArgument(std::string_view path) {
    if (path.empty()) return {};
    std::string argument;
    bool quote = false;
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return {};
        quote = quote || kReserved.find(c) != std::string_view::npos;
    }
    for (char c : path) {
        if (c == '%') argument += '%';
        if (quote && kEscapedInQuotes.find(c) != std::string_view::npos) argument += '\\';
        argument += c;
    }
    if (quote) argument = '"' + argument + '"';
    // The string escape comes last: every backslash is written twice.
    std::string escaped;
    for (char c : argument) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

} // namespace velmora
