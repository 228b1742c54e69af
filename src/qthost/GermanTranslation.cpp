#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "qthost/QtHost.h"

namespace velmora {

bool installGermanTranslation(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace velmora
