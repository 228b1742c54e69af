// The shared host behaviour suite on real widgets (offscreen), and what only
// the Qt host can get wrong: layout in pixels, fonts, keys, the question box,
// the guard against stray shows, and event loops that must not end early.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QWindow>

#include "platform/HostBehaviour.h"
#include "qthost/DialogUnits.h"
#include "qthost/Icons.h"
#include "qthost/QtHost.h"
#include "qthost/QtHostDriver.h"

namespace velmora::hosttest {
namespace {

// A driver that owns its host.
struct HostHolder {
    QtHost host;
};
struct SelfHostedDriver : private HostHolder, public QtHostDriver {
    SelfHostedDriver() : QtHostDriver(HostHolder::host) {}
};

INSTANTIATE_TEST_SUITE_P(
    Qt, HostBehaviour,
    ::testing::Values(HostFactory{"Qt", [] { return std::unique_ptr<HostDriver>(new SelfHostedDriver); }}),
    hostFactoryName);

class QtHostTest : public ::testing::Test {
protected:
    SelfHostedDriver user;
    QtHost& host = user.qtHost();

    // Runs tmpl with dialog; check runs inside the open run.
    void inRun(ProbeDialog& dialog, const DialogTemplate& tmpl, std::function<void()> check) {
        user.script({std::move(check), [&] { host.endDialog(dialog.self, IdOk); }});
        host.runModal(tmpl, dialog, 0);
        EXPECT_FALSE(user.scriptRanOut());
    }
};

// ---- dialog units and the font ---------------------------------------------------------------

TEST(DialogUnitsTest, EdgesMapWithRoundingSoThatNeighboursStayNeighbours) {
    const DialogBaseUnits units{7, 13};
    EXPECT_EQ(units.toPixelsX(4), 7);
    EXPECT_EQ(units.toPixelsX(17), 30);  // 29.75
    EXPECT_EQ(units.toPixelsY(9), 15);   // 14.625
    EXPECT_EQ(units.toPixelsY(4), 7);    // 6.5 rounds up
    const QRect label = units.toPixels(4, 39, 17, 8);
    const QRect list = units.toPixels(21, 37, 78, 100);
    EXPECT_EQ(label.x() + label.width(), list.x());
    EXPECT_FALSE(label.intersects(list));
    EXPECT_EQ(label, QRect(7, 63, 30, 13));
}

TEST(DialogUnitsTest, TheDialogFontIsInstalledAndDrawsUmlautsAndTheEuroSign) {
    const QFont font = dialogFont();
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
    const QFontMetrics metrics(font);
    for (char32_t c : {U'ä', U'ö', U'ü', U'Ü', U'ß', U'€'}) EXPECT_TRUE(metrics.inFontUcs4(c)) << int(c);
    const DialogBaseUnits units = baseUnitsOf(font);
    EXPECT_GE(units.averageWidth, 5);
    EXPECT_LE(units.averageWidth, 9);
    EXPECT_EQ(units.height, metrics.height());
}

// ---- layout of the three real windows -----------------------------------------------------------

const DialogTemplate* const realTemplates[] = {&mainDialogTemplate(), &costEditorTemplate(), &aboutDialogTemplate()};

QString withoutMnemonic(QString text) { return text.remove(QLatin1Char('&')); }

// How wide a control must be for its text.
int neededWidth(const QWidget& widget) {
    if (auto* label = qobject_cast<const QLabel*>(&widget); label && !label->wordWrap()) // trailing blanks show nothing
        return label->fontMetrics().horizontalAdvance(label->text().trimmed());
    if (auto* check = qobject_cast<const QAbstractButton*>(&widget); check && check->isCheckable())
        return check->sizeHint().width();
    if (auto* button = qobject_cast<const QPushButton*>(&widget))
        return button->fontMetrics().horizontalAdvance(withoutMnemonic(button->text())) + 8;
    return 0;
}

// The room a combo box has for its entries' texts.
int comboTextRoom(const QComboBox& combo) {
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = combo.isEditable();
    return combo.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo).width();
}

std::vector<QWidget*> visibleControls(QWidget& window) {
    std::vector<QWidget*> controls;
    for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisibleTo(&window)) controls.push_back(child);
    return controls;
}

void saveScreenshot(QWidget& window, int templateId) {
    const QByteArray dir = qgetenv("VELMORA_SCREENSHOT_DIR"); // for looking at the windows by eye
    if (!dir.isEmpty()) window.grab().save(QString::fromUtf8(dir) + QStringLiteral("/dialog-%1.png").arg(templateId));
}

TEST_F(QtHostTest, RealWindowsAreFixedSizeAndNoControlOverlapsAnotherOrClipsItsText) {
    for (const DialogTemplate* tmpl : realTemplates) {
        SCOPED_TRACE(tmpl->id);
        ProbeDialog dialog;
        inRun(dialog, *tmpl, [&] {
            QWidget& window = *host.widget(dialog.self);
            const DialogBaseUnits units = baseUnitsOf(window.font(), &window);
            EXPECT_EQ(window.size(), QSize(units.toPixelsX(tmpl->width), units.toPixelsY(tmpl->height)));
            EXPECT_EQ(window.minimumSize(), window.maximumSize());
            EXPECT_EQ(bool(window.windowFlags() & Qt::WindowMinimizeButtonHint), tmpl->minimizeBox);
            EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
            saveScreenshot(window, tmpl->id);
            const std::vector<QWidget*> controls = visibleControls(window);
            for (QWidget* control : controls) {
                SCOPED_TRACE(control->metaObject()->className());
                EXPECT_TRUE(window.rect().contains(control->geometry())) << control->geometry().x();
                EXPECT_LE(neededWidth(*control), control->width());
                if (qobject_cast<QGroupBox*>(control)) continue; // it frames its neighbours
                for (QWidget* other : controls) {
                    if (other != control && !qobject_cast<QGroupBox*>(other)) {
                        EXPECT_FALSE(control->geometry().intersects(other->geometry()));
                    }
                }
                // Nothing (a group box above it, say) takes a control's clicks.
                if (control->focusPolicy() != Qt::NoFocus) {
                    QWidget* hit = window.childAt(control->geometry().center());
                    EXPECT_TRUE(hit == control || control->isAncestorOf(hit));
                }
            }
        });
    }
}

// The longest texts the dialogs put into the main window and the editor.
TEST_F(QtHostTest, TheLongestRuntimeTextsFitTheirFields) {
    ProbeDialog main;
    inRun(main, mainDialogTemplate(), [&] {
        const WindowId w = main.self;
        host.setText(w, ids::TotalLabel, "Gebühren insg. in €:");
        host.setText(w, ids::UnitLength, "240.00 Sekunden Bereich");
        for (int field : {ids::TotalLabel, ids::UnitLength})
            EXPECT_LE(neededWidth(*host.control(w, field)), host.control(w, field)->width()) << field;
        auto& tariffs = *qobject_cast<QComboBox*>(host.control(w, ids::TariffList));
        auto& warnings = *qobject_cast<QComboBox*>(host.control(w, ids::WarningList));
        EXPECT_LE(tariffs.fontMetrics().horizontalAdvance(QStringLiteral("Telekom 'Region 200'")), comboTextRoom(tariffs));
        EXPECT_LE(warnings.fontMetrics().horizontalAdvance(QStringLiteral("nach 240 Minuten")), comboTextRoom(warnings));
    });
    ProbeDialog editor;
    inRun(editor, costEditorTemplate(), [&] {
        const WindowId w = editor.self;
        host.setText(w, ids::FeeLabel, "Einheit in €:");
        EXPECT_LE(neededWidth(*host.control(w, ids::FeeLabel)), host.control(w, ids::FeeLabel)->width());
        auto& von = *qobject_cast<QComboBox*>(host.control(w, ids::Von));
        auto& takt = *qobject_cast<QComboBox*>(host.control(w, ids::Takt));
        EXPECT_LE(von.fontMetrics().horizontalAdvance(QStringLiteral("24:00")), comboTextRoom(von));
        EXPECT_LE(takt.fontMetrics().horizontalAdvance(QStringLiteral("11.5")), comboTextRoom(takt));
    });
}

TEST_F(QtHostTest, EachRealWindowMarksItsOkButtonAsDefaultAndFocusesItsFirstTabStop) {
    for (const DialogTemplate* tmpl : realTemplates) {
        SCOPED_TRACE(tmpl->id);
        ProbeDialog dialog;
        inRun(dialog, *tmpl, [&] {
            auto* ok = qobject_cast<QPushButton*>(host.control(dialog.self, IdOk));
            ASSERT_NE(ok, nullptr);
            EXPECT_TRUE(ok->isDefault());
            const auto first = std::find_if(tmpl->controls.begin(), tmpl->controls.end(),
                                            [](const ControlTemplate& c) { return c.tabStop && c.visible; });
            ASSERT_NE(first, tmpl->controls.end());
            EXPECT_EQ(host.widget(dialog.self)->focusWidget(), host.control(dialog.self, first->id));
        });
    }
}

// ---- keys -----------------------------------------------------------------------------------------

TEST_F(QtHostTest, EnterInAnEditableComboSendsOkAndAddsNoEntryEscapeSendsCancel) {
    ProbeDialog dialog;
    inRun(dialog, probeTemplate(), [&] {
        auto& combo = *qobject_cast<QComboBox*>(host.control(dialog.self, Combo));
        host.addString(dialog.self, Combo, "240");
        user.type(dialog.self, Combo, "11.5");
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QKeyEvent press(QEvent::KeyPress, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            QCoreApplication::sendEvent(combo.lineEdit(), &press);
        }
        EXPECT_EQ(combo.count(), 1);
        EXPECT_EQ(host.text(dialog.self, Combo, 9), "11.5");
    });
    EXPECT_EQ(dialog.commands, (std::vector<int>{IdOk, IdOk, IdCancel}));
}

TEST_F(QtHostTest, EnterOnAFocusedPushButtonClicksThatButton) {
    ProbeDialog dialog;
    inRun(dialog, probeTemplate(), [&] {
        host.control(dialog.self, Button)->setFocus();
        user.pressEnter(dialog.self);
    });
    EXPECT_EQ(dialog.commands, std::vector<int>{Button});
}

TEST_F(QtHostTest, TypingByTheUserClearsTheSelectionButKeepsTheText) {
    ProbeDialog dialog;
    inRun(dialog, probeTemplate(), [&] {
        host.addString(dialog.self, Combo, "240");
        host.setCurSel(dialog.self, Combo, 0);
        auto& edit = *qobject_cast<QComboBox*>(host.control(dialog.self, Combo))->lineEdit();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
        QCoreApplication::sendEvent(&edit, &key);
        EXPECT_EQ(host.curSel(dialog.self, Combo), -1);
        EXPECT_EQ(host.text(dialog.self, Combo, 9), "2405");
    });
}

// ---- lists: Qt selects entries on its own, the window layer does not ---------------------------

TEST_F(QtHostTest, ListBoxSelectionSurvivesOtherDeletionsAndGoesWithItsEntry) {
    ProbeDialog dialog;
    inRun(dialog, probeTemplate(), [&] {
        const WindowId w = dialog.self;
        for (const char* s : {"b", "d", "c"}) host.addString(w, SortedList, s);
        EXPECT_EQ(host.curSel(w, SortedList), -1);
        host.setCurSel(w, SortedList, 1); // "c"
        EXPECT_EQ(host.addString(w, SortedList, "a"), 0);
        EXPECT_EQ(host.curSel(w, SortedList), 2);
        host.deleteString(w, SortedList, 0);
        EXPECT_EQ(host.text(w, SortedList, 5), "c");
        host.deleteString(w, SortedList, 1);
        EXPECT_EQ(host.curSel(w, SortedList), -1);
        EXPECT_EQ(host.text(w, SortedList, 5), "");
        user.advance(10); // nothing gets selected later either
        EXPECT_EQ(host.curSel(w, SortedList), -1);
        EXPECT_EQ(host.count(w, SortedList), 2);
    });
}

TEST_F(QtHostTest, AddingTheFirstEntryToAComboNeitherSelectsItNorTouchesTheTypedText) {
    ProbeDialog dialog;
    inRun(dialog, probeTemplate(), [&] {
        const WindowId w = dialog.self;
        user.type(dialog.self, Combo, "0.15");
        EXPECT_EQ(host.addString(w, Combo, "0.12"), 0);
        EXPECT_EQ(host.curSel(w, Combo), -1);
        EXPECT_EQ(host.text(w, Combo, 9), "0.15");
        host.addString(w, DropList, "Telekom 'City'");
        EXPECT_EQ(host.curSel(w, DropList), -1);
    });
}

// ---- timers ---------------------------------------------------------------------------------------------

TEST_F(QtHostTest, ATickThatWaitsIsNotEnteredAgainAndATimerMayKillItselfInItsTick) {
    ProbeDialog dialog;
    int depth = 0;
    int deepest = 0;
    dialog.onTimerHook = [&](int id) {
        ++depth;
        deepest = std::max(deepest, depth);
        if (id == 1 && dialog.ticks(1) == 1) user.advance(60); // a nested event loop inside the tick
        if (id == 2) host.killTimer(dialog.self, 2);
        --depth;
    };
    inRun(dialog, probeTemplate(), [&] {
        host.setTimer(dialog.self, 1, 10);
        host.setTimer(dialog.self, 2, 5);
        user.advance(150);
        host.killTimer(dialog.self, 1);
    });
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(dialog.ticks(2), 1);
    EXPECT_GE(dialog.ticks(1), 3);
}

// ---- activation ---------------------------------------------------------------------------------------

// Mended: a tray click activated the main window beneath an open editor, and
// the editor had no keyboard focus: Escape and Alt keys did nothing.
TEST_F(QtHostTest, BringingAnOwnerForwardActivatesItsModalDialogWithTheKeyboardFocus) {
    ProbeDialog outer, inner;
    outer.onCommandHook = [&](int id) {
        if (id == Button) host.runModal(probeTemplate(), inner, outer.self);
    };
    QWidget elsewhere; // another window has the focus when the tray is clicked
    user.script({[&] { user.click(outer.self, Button); },
                 [&] {
                     elsewhere.show();
                     elsewhere.activateWindow();
                     user.advance(20);
                     ASSERT_EQ(QApplication::activeWindow(), &elsewhere);
                     host.setForeground(outer.self);
                     user.advance(20);
                     EXPECT_EQ(QApplication::activeWindow(), host.widget(inner.self));
                     QWidget* focus = QApplication::focusWidget();
                     ASSERT_NE(focus, nullptr);
                     EXPECT_EQ(focus->window(), host.widget(inner.self));
                     QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                     QCoreApplication::sendEvent(focus, &escape);
                 },
                 [&] { host.endDialog(inner.self, IdOk); },
                 [&] { host.endDialog(outer.self, IdOk); }});
    host.runModal(probeTemplate(), outer, 0);
    EXPECT_EQ(inner.commands, std::vector<int>{IdCancel});
    EXPECT_FALSE(user.scriptRanOut());
}

// ---- the question box ---------------------------------------------------------------------------------

TEST_F(QtHostTest, TheQuestionBoxAsksInGermanWithTheQuestionIconAndReturnsTheAnswer) {
    ProbeDialog dialog;
    QStringList buttonTexts;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QWidget* parent = nullptr;
    host.onMessageBoxShown([&](QMessageBox& box, WindowId) {
        for (QAbstractButton* button : box.buttons()) buttonTexts << withoutMnemonic(button->text());
        icon = box.icon();
        parent = box.parentWidget();
        box.button(QMessageBox::No)->click();
    });
    int answer = 0;
    inRun(dialog, probeTemplate(), [&] { answer = host.askYesNo(dialog.self, "Wirklich?", "Reset"); });
    buttonTexts.sort();
    EXPECT_EQ(buttonTexts, (QStringList{QStringLiteral("Ja"), QStringLiteral("Nein")}));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_NE(parent, nullptr);
    EXPECT_EQ(answer, IdNo);
}

// ---- the guard and the modal loop -----------------------------------------------------------------------

TEST_F(QtHostTest, AVetoedWindowStaysHiddenWhateverShowsItFromOutside) {
    ProbeDialog dialog;
    inRun(dialog, probeTemplate(), [&] {
        QWidget& window = *host.widget(dialog.self);
        host.show(dialog.self, ShowMode::Hidden);
        dialog.veto = true;
        window.show();
        window.setVisible(true);
        window.showNormal();
        window.showMinimized();
        window.windowHandle()->setVisible(true);
        user.advance(20);
        EXPECT_FALSE(window.isVisible());
        EXPECT_FALSE(host.isVisible(dialog.self));
    });
}

TEST_F(QtHostTest, AHiddenWindowAndAnApplicationQuitDoNotEndTheRun) {
    ProbeDialog dialog;
    QApplication::setQuitOnLastWindowClosed(true);
    user.script({[&] { host.show(dialog.self, ShowMode::Hidden); },
                 [&] { QCoreApplication::quit(); },
                 [&] { user.advance(20); },
                 [&] { host.endDialog(dialog.self, 5); }});
    EXPECT_EQ(host.runModal(probeTemplate(), dialog, 0), 5);
    EXPECT_FALSE(user.scriptRanOut());
    QApplication::setQuitOnLastWindowClosed(false);
}

// ---- notification area ------------------------------------------------------------------------------------

TEST_F(QtHostTest, TrayActivationsArriveAsMouseMessagesAndNoTrayMeansNoIcon) {
    ProbeDialog dialog;
    inRun(dialog, probeTemplate(), [&] {
        ASSERT_TRUE(host.trayNotify(dialog.self, TrayOp::Add, ids::TrayIconId, ids::TrayIconResource, "Velmora"));
        EXPECT_FALSE(host.trayNotify(dialog.self, TrayOp::Add, ids::TrayIconId, ids::TrayIconResource, "Velmora"));
        for (int message : {MouseRightDown, MouseMiddleDown, MouseLeftDoubleClick, MouseLeftDown})
            user.trayMouse(ids::TrayIconId, message);
        host.setTrayAvailability([] { return false; });
        EXPECT_FALSE(host.trayNotify(dialog.self, TrayOp::Add, ids::TrayIconId + 1, ids::TrayIconResource, "Velmora"));
        EXPECT_FALSE(user.trayIconPresent(ids::TrayIconId + 1));
    });
    const int id = ids::TrayIconId;
    EXPECT_EQ(dialog.trayEvents, (std::vector<std::pair<int, int>>{
                                     {id, MouseRightDown}, {id, MouseMiddleDown}, {id, MouseLeftDoubleClick}, {id, MouseLeftDown}}));
}

TEST(IconsTest, ProgramAndTrayIconsShareTheLargeImageAndDifferWhenSmall) {
    const QIcon program = iconForResource(ids::ProgramIcon);
    const QIcon tray = iconForResource(ids::TrayIconResource);
    const QImage program16 = program.pixmap(16, 16).toImage();
    ASSERT_FALSE(program16.isNull());
    EXPECT_EQ(program16.size(), QSize(16, 16));
    EXPECT_NE(program16, tray.pixmap(16, 16).toImage());
    EXPECT_EQ(program.pixmap(32, 32).toImage(), tray.pixmap(32, 32).toImage());
    EXPECT_TRUE(iconForResource(0).isNull());
}

} // namespace
} // namespace velmora::hosttest

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    velmora::installGermanTranslation(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
