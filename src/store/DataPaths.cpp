#include "store/DataPaths.h"

#include <QDir>
#include <QtGlobal>

namespace velmora {

std::string dataDirectory() {
    const QString xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    if (!xdgDataHome.isEmpty() && QDir::isAbsolutePath(xdgDataHome)) {
        return (xdgDataHome + QStringLiteral("/velmora")).toStdString();
    }
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty()) home = QDir::homePath();
    return (home + QStringLiteral("/.local/share/velmora")).toStdString();
}

std::string profileFileName(std::string_view executablePath) {
    std::string_view base = executablePath;
    std::size_t slash = base.find_last_of("/\\");
    if (slash != std::string_view::npos) base.remove_prefix(slash + 1);
    // A leading dot starts a hidden name, not an extension.
    std::size_t dot = base.rfind('.');
    if (dot != std::string_view::npos && dot > 0) base = base.substr(0, dot);
    if (base.empty()) base = "velmora";
    return std::string(base) + ".INI";
}

} // namespace velmora
