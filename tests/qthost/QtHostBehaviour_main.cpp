// The shared host behaviour suite on real widgets (offscreen), and what only
// the Qt host can get wrong: layout in pixels, fonts, keys, the question box,
// the guard against stray shows, and event loops that must not end early.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QWindow>

#include "platform/HostBehaviour.h"
#include "qthost/DialogUnits.h"
#include "qthost/IconPixels.h"
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

INSTANTIATE_TEST_SUITE_P(Qt, HostBehaviour,
                         ::testing::Values(HostFactory{
                             "Qt", [] { return std::unique_ptr<HostDriver>(new SelfHostedDriver); }}),
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
    const DialogBaseUnits units{7.0, 13};
    EXPECT_EQ(units.toPixelsX(4), 7);
    EXPECT_EQ(units.toPixelsX(17), 30); // 29.75
    EXPECT_EQ(units.toPixelsY(9), 15);  // 14.625
    EXPECT_EQ(units.toPixelsY(4), 7);   // 6.5 rounds up
    const QRect label = units.toPixels(4, 39, 17, 8);
    const QRect list = units.toPixels(21, 37, 78, 100);
    EXPECT_EQ(label.x() + label.width(), list.x());
    EXPECT_FALSE(label.intersects(list));
    EXPECT_EQ(label, QRect(7, 63, 30, 13));
}

TEST(DialogUnitsTest, TheDialogFontIsInstalledAndDrawsUmlautsAndTheEuroSign) {
    const QFont font = dialogFont();
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("DejaVu Sans Condensed"));
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
        EXPECT_LE(tariffs.fontMetrics().horizontalAdvance(QStringLiteral("Telekom 'Region 200'")),
                  comboTextRoom(tariffs));
        EXPECT_LE(warnings.fontMetrics().horizontalAdvance(QStringLiteral("nach 240 Minuten")),
                  comboTextRoom(warnings));
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

// Mended: the main window was 866 pixels wide at 96 DPI, wider than an
// 800-pixel screen, and spilled off a 1280-pixel screen at scale 2 (a second
// run of this suite has such a screen, see CMakeLists.txt).
TEST_F(QtHostTest, TheMainWindowFitsTheScreenAndTheOthersKeepItsFont) {
    const QScreen& screen = *QGuiApplication::primaryScreen();
    SCOPED_TRACE(QStringLiteral("screen %1 px at %2 DPI")
                     .arg(screen.availableGeometry().width())
                     .arg(screen.logicalDotsPerInch())
                     .toStdString());
    ProbeDialog main;
    QFont mainFont;
    inRun(main, mainDialogTemplate(), [&] {
        QWidget& window = *host.widget(main.self);
        EXPECT_LE(window.frameGeometry().width(), screen.availableGeometry().width());
        EXPECT_GE(window.font().pointSizeF(), 6.0); // still legible
        mainFont = window.font();
    });
    for (const DialogTemplate* tmpl : {&costEditorTemplate(), &aboutDialogTemplate()}) {
        ProbeDialog dialog;
        inRun(dialog, *tmpl, [&] { EXPECT_EQ(host.widget(dialog.self)->font(), mainFont); });
    }
}

// Mended: "Von" and "Bis" opened as a screen-tall menu of all 25 hours; the
// template's 50 units open about 4 rows (the main window's 100 units show all
// nine warnings).
TEST_F(QtHostTest, ListsOpenAtTheTemplatesHeight) {
    ProbeDialog editor;
    inRun(editor, costEditorTemplate(), [&] {
        auto& von = *qobject_cast<QComboBox*>(host.control(editor.self, ids::Von));
        for (int hour = 0; hour <= 24; ++hour) host.addString(editor.self, ids::Von, std::to_string(hour));
        von.showPopup();
        user.advance(20);
        QAbstractItemView& view = *von.view();
        const int rows = view.viewport()->height() / view.sizeHintForRow(0);
        EXPECT_GE(rows, 3);
        EXPECT_LE(rows, 5);
        EXPECT_LT(view.window()->height(), 8 * view.sizeHintForRow(0));
        von.hidePopup();
    });
    ProbeDialog main;
    inRun(main, mainDialogTemplate(), [&] {
        auto& warnings = *qobject_cast<QComboBox*>(host.control(main.self, ids::WarningList));
        for (int i = 0; i < 9; ++i)
            host.addString(main.self, ids::WarningList, "nach " + std::to_string(i) + " Minuten");
        warnings.showPopup();
        user.advance(20);
        QAbstractItemView& view = *warnings.view();
        EXPECT_GE(view.viewport()->height() / view.sizeHintForRow(0), 9);
        warnings.hidePopup();
    });
}

// A plain list builds its popup (a list view with scroll bars and delegates)
// when it first opens, not with the window: building the main window's two at
// start held about half a megabyte of the meter's memory.
TEST_F(QtHostTest, PlainListsBuildTheirPopupOnlyWhenOpened) {
    ProbeDialog main;
    inRun(main, mainDialogTemplate(), [&] {
        for (int id : {ids::TariffList, ids::WarningList}) {
            auto& list = *qobject_cast<QComboBox*>(host.control(main.self, id));
            host.addString(main.self, id, "Zone 1");
            host.addString(main.self, id, "Zone 2");
            EXPECT_TRUE(list.findChildren<QAbstractItemView*>().isEmpty()) << id;
            list.showPopup();
            user.advance(20);
            EXPECT_FALSE(list.findChildren<QAbstractItemView*>().isEmpty()) << id;
            list.hidePopup();
        }
    });
}

// Mended: "Takt" and the fee scrolled sideways; typing stops when a field is full.
TEST_F(QtHostTest, TypingStopsWhenAnEditFieldIsFull) {
    ProbeDialog editor;
    inRun(editor, costEditorTemplate(), [&] {
        QLineEdit& edit = *qobject_cast<QComboBox*>(host.control(editor.self, ids::Fee))->lineEdit();
        edit.setFocus();
        for (QChar c : QStringLiteral("0,1288888")) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(&edit, &key);
        }
        const QString typed = edit.text();
        EXPECT_TRUE(QStringLiteral("0,1288888").startsWith(typed)) << typed.toStdString();
        EXPECT_GE(typed.size(), 4) << "a fee fits";
        EXPECT_LT(typed.size(), 9) << "the field is narrower than nine digits";
        // Not scrolled: the cursor stands right of the whole text.
        EXPECT_GE(edit.inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(),
                  edit.fontMetrics().horizontalAdvance(typed));
        // A longer text from the program stays, and Backspace still shortens it.
        host.setText(editor.self, ids::Fee, "123456789");
        QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
        QCoreApplication::sendEvent(&edit, &backspace);
        EXPECT_EQ(edit.text(), QStringLiteral("12345678"));
    });
}

// Where the frame's top edge is drawn: the first row, below the top, whose
// colour differs from the top's, in a column right of the title.
int frameTop(QWidget& box) {
    const QImage image = box.grab().toImage();
    const int x = image.width() - 4;
    const QRgb background = image.pixel(x, 0);
    const double scale = image.devicePixelRatio();
    for (int y = 1; y < image.height(); ++y)
        if (image.pixel(x, y) != background) return static_cast<int>(y / scale);
    return box.height();
}

// Mended: the "Feiertage:" frame was drawn below its title, crowding the first
// row of check boxes; its top edge runs through the title, as laid out.
TEST_F(QtHostTest, TheHolidayFrameLeavesRoomAboveItsFirstRow) {
    ProbeDialog editor;
    inRun(editor, costEditorTemplate(), [&] {
        QWidget& window = *host.widget(editor.self);
        QGroupBox* frame = nullptr;
        for (auto* box : window.findChildren<QGroupBox*>())
            if (box->title() == QStringLiteral("Feiertage:")) frame = box;
        ASSERT_NE(frame, nullptr);
        QWidget& monday = *host.control(editor.self, ids::Monday);
        const DialogBaseUnits units = baseUnitsOf(window.font(), &window);
        const int room = monday.y() - (frame->y() + frameTop(*frame));
        EXPECT_GE(room, units.toPixelsY(4)) << "frame edge at " << frameTop(*frame);
    });
}

// The frame's line breaks off for its title and runs on past it, on both sides.
TEST_F(QtHostTest, AFrameLineBreaksOffForItsTitleOnly) {
    ProbeDialog main;
    inRun(main, mainDialogTemplate(), [&] {
        for (QGroupBox* frame : host.widget(main.self)->findChildren<QGroupBox*>()) {
            SCOPED_TRACE(frame->title().toStdString());
            const QImage image = frame->grab().toImage();
            const double scale = image.devicePixelRatio();
            const int top = static_cast<int>(frameTop(*frame) * scale);
            const QRgb line = image.pixel(image.width() / 2 + image.width() / 4, top);
            const QRgb background = image.pixel(image.width() / 2, image.height() / 2);
            ASSERT_NE(line, background);
            const int titleWidth = static_cast<int>(frame->fontMetrics().horizontalAdvance(frame->title()) * scale);
            int gap = 0;
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, top) != line) ++gap;
            EXPECT_GE(gap, titleWidth);
            EXPECT_LT(gap, titleWidth + 4 * frame->fontMetrics().height() * scale);
            EXPECT_NE(image.pixel(static_cast<int>(3 * scale), top), background) << "the line left of the title";
        }
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
                 [&] { host.endDialog(inner.self, IdOk); }, [&] { host.endDialog(outer.self, IdOk); }});
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
    user.script({[&] { host.show(dialog.self, ShowMode::Hidden); }, [&] { QCoreApplication::quit(); },
                 [&] { user.advance(20); }, [&] { host.endDialog(dialog.self, 5); }});
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
    EXPECT_EQ(dialog.trayEvents,
              (std::vector<std::pair<int, int>>{
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
    // Shown from the program's own pages: each pixmap shares its ready pixels
    // rather than holding a converted copy on the heap.
    const auto sharesReadyPixels = [](const QImage& image) {
        return std::any_of(iconPixels().begin(), iconPixels().end(), [&](const IconPixels& pixels) {
            return image.constBits() == reinterpret_cast<const uchar*>(pixels.argb);
        });
    };
    for (int size : {16, 64}) {
        EXPECT_TRUE(sharesReadyPixels(program.pixmap(size, size).toImage())) << size;
        EXPECT_TRUE(sharesReadyPixels(tray.pixmap(size, size).toImage())) << size;
    }
    // Drawn up to 64 pixels, none larger: the desktop's larger icons are the hicolor theme's.
    for (const QIcon& icon : {program, tray}) {
        const QList<QSize> sizes = icon.availableSizes();
        ASSERT_FALSE(sizes.isEmpty());
        EXPECT_TRUE(std::all_of(sizes.begin(), sizes.end(), [](QSize s) { return s.width() <= 64; }));
        EXPECT_TRUE(sizes.contains(QSize(64, 64)));
        EXPECT_TRUE(sizes.contains(QSize(22, 22)));
    }
}

// The ready pixels are the PNGs of data/icons, pixel for pixel: a fault in
// their writer (a filter, the channel order) would show a wrong icon.
TEST(IconsTest, ReadyPixelsAreThePngsOfTheDataFolder) {
    std::set<std::pair<std::string, int>> carried;
    for (const IconPixels& pixels : iconPixels()) {
        const QString png = QStringLiteral(VELMORA_ICON_DIR "/%1-%2.png").arg(pixels.name).arg(pixels.width);
        const QImage expected = QImage(png).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        ASSERT_FALSE(expected.isNull()) << png.toStdString();
        const QImage ready(reinterpret_cast<const uchar*>(pixels.argb), pixels.width, pixels.height,
                           QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(ready, expected) << png.toStdString();
        carried.emplace(pixels.name, pixels.width);
    }
    for (int size : {16, 22, 24, 32, 48, 64}) EXPECT_TRUE(carried.count({"velmora", size})) << size;
    for (int size : {16, 22, 24}) EXPECT_TRUE(carried.count({"velmora-tray-16", size})) << size;
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
