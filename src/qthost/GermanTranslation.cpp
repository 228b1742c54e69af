#include <QCoreApplication>
#include <QEvent>
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

namespace {

// Installs the translation when the first context menu is asked for, by
// mouse or keyboard, before the widget builds it; then steps aside.
class TranslationOnFirstContextMenu : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() != QEvent::ContextMenu || done_) return false;
        done_ = true;
        QCoreApplication* app = QCoreApplication::instance();
        app->removeEventFilter(this);
        installGermanTranslation(*app);
        deleteLater();
        return false;
    }

private:
    bool done_ = false;
};

} // namespace

void installGermanTranslationForFirstContextMenu(QCoreApplication& app) {
    app.installEventFilter(new TranslationOnFirstContextMenu(&app));
}

} // namespace velmora
