#include "app/Display.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include "app/CommandLine.h"

namespace velmora {
namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

QtMessageHandler previousHandler = nullptr;
std::vector<HeldMessage> heldMessages;

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string unreachableDisplay() {
    if (const std::string platform = environmentValue("QT_QPA_PLATFORM"); !platform.empty())
        return "die Plattform „" + platform + "“";
    if (const std::string wayland = environmentValue("WAYLAND_DISPLAY"); !wayland.empty())
        return "WAYLAND_DISPLAY=" + wayland;
    return "DISPLAY=" + environmentValue("DISPLAY");
}

void holdOrEnd(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "velmora: das Fenster braucht eine grafische Anzeige, aber %s ist nicht erreichbar\n",
                     unreachableDisplay().c_str());
        std::_Exit(kExitFailed);
    }
    heldMessages.push_back({type, QByteArray(context.category ? context.category : ""), text});
}

} // namespace

std::optional<std::string> missingDisplay(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == "-platform" || std::string_view(argv[i]) == "--platform") return std::nullopt;
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (!environmentValue(name).empty()) return std::nullopt;
    return "velmora: das Fenster braucht eine grafische Anzeige, aber weder DISPLAY noch WAYLAND_DISPLAY ist "
           "gesetzt (--report und --csv gehen ohne)";
}

DisplayOpening::DisplayOpening() { previousHandler = qInstallMessageHandler(holdOrEnd); }

DisplayOpening::~DisplayOpening() {
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage& message : heldMessages) {
        const QMessageLogContext context(nullptr, 0, nullptr,
                                         message.category.isEmpty() ? nullptr : message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    heldMessages.clear();
}

} // namespace velmora
