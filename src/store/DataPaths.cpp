#include "store/DataPaths.h"

#include <cerrno>

#include <sys/stat.h>

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

std::string folderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return ".";
    return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

std::string fileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

int makePrivateFolder(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    const std::string parent = folderOf(path);
    if (parent.size() < path.size()) {
        if (const int error = makePrivateFolder(parent)) return error;
    }
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    return 0;
}

} // namespace velmora
