// Qt's German texts come with the first context menu, not with the start.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>

#include "qthost/QtHost.h"

namespace velmora {
namespace {

QString undoText() { return QCoreApplication::translate("QLineEdit", "&Undo"); }

QMenu* shownMenu() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* menu = qobject_cast<QMenu*>(top); menu && menu->isVisible()) return menu;
    return nullptr;
}

TEST(GermanTranslation, ComesWithTheFirstContextMenuAndIsInItsTexts) {
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm"))
        GTEST_SKIP() << "Qt's German translation is not installed here (qt6-translations-l10n)";
    installGermanTranslationForFirstContextMenu(*qApp);
    QLineEdit edit;
    edit.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(undoText().toStdString(), "&Undo") << "read in before anything needed it";

    // Asked for by keyboard (the menu key), as a user without a mouse does.
    QContextMenuEvent ask(QContextMenuEvent::Keyboard, QPoint(2, 2), edit.mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(&edit, &ask);
    const QString german = undoText();
    EXPECT_NE(german.toStdString(), "&Undo");
    QMenu* menu = shownMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_FALSE(menu->actions().isEmpty());
    // The entry's text is the translation, followed by its shortcut ("\tStrg+Z").
    EXPECT_EQ(menu->actions().first()->text().section(QLatin1Char('\t'), 0, 0).toStdString(), german.toStdString())
        << "the menu was built before the translation came";
    menu->close();
}

} // namespace
} // namespace velmora

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
