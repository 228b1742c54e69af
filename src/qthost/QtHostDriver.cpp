#include "qthost/QtHostDriver.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include "qthost/QtText.h"
#include "qthost/TrayActivation.h"

namespace velmora {
namespace {

const TrayActivation* activationOf(int mouseMessage) {
    for (const TrayActivation& activation : trayActivations)
        if (activation.mouseMessage == mouseMessage) return &activation;
    return nullptr;
}

} // namespace

QtHostDriver::QtHostDriver(QtHost& host, bool desktopTray) : host_(host) {
    if (!desktopTray) host_.setTrayAvailability([] { return true; });
    host_.onRunsChanged([this] { schedulePump(); });
    host_.onMessageBoxShown([this](QMessageBox& box, WindowId) { messageBoxShown(box); });
}

QtHostDriver::~QtHostDriver() {
    host_.onRunsChanged({});
    host_.onMessageBoxShown({});
}

// ---- script -------------------------------------------------------------------

void QtHostDriver::script(std::vector<std::function<void()>> steps) {
    for (auto& step : steps) steps_.push_back(std::move(step));
    schedulePump();
}

void QtHostDriver::schedulePump() {
    if (pumpScheduled_) return;
    pumpScheduled_ = true;
    QTimer::singleShot(0, &context_, [this] {
        pumpScheduled_ = false;
        pump();
    });
}

// Takes the next step inside the innermost open run. A step that is still in
// progress (waiting in advance() or a question box) holds the queue, unless it
// opened a run of its own: that run takes the following steps.
void QtHostDriver::pump() {
    const WindowId top = host_.innermostRun();
    if (top == 0 || host_.runEnded(top)) return;
    const std::size_t depth = host_.runDepth();
    if (!stepRunDepths_.empty() && depth <= stepRunDepths_.back()) return;
    if (steps_.empty()) {
        scriptRanOut_ = true;
        host_.endDialog(top, IdCancel);
        return;
    }
    auto step = std::move(steps_.front());
    steps_.pop_front();
    stepRunDepths_.push_back(depth);
    step();
    stepRunDepths_.pop_back();
    schedulePump();
}

// ---- question boxes ----------------------------------------------------------------

void QtHostDriver::messageBoxShown(QMessageBox& box) {
    ++messageBoxCount_;
    lastMessageBoxText_ = box.text().toStdString();
    lastMessageBoxCaption_ = box.windowTitle().toStdString();
    lastMessageBoxKind_ = box.button(QMessageBox::Yes) ? MessageBoxKind::Question : MessageBoxKind::Information;
    QTimer::singleShot(0, &context_, [this, open = QPointer<QMessageBox>(&box)] {
        if (open) answer(*open);
    });
}

// Runs the prepared step while the box is open (not again for a box the step
// opens itself), then clicks the prepared answer.
void QtHostDriver::answer(QMessageBox& box) {
    QPointer<QMessageBox> open(&box);
    if (messageBoxStep_ && !messageBoxStepRunning_) {
        messageBoxStepRunning_ = true;
        auto step = messageBoxStep_; // the step may replace the hook while it runs
        step();
        messageBoxStepRunning_ = false;
    }
    if (!open) return;
    QAbstractButton* button = open->button(messageBoxAnswer_ == IdYes ? QMessageBox::Yes : QMessageBox::No);
    if (!open->button(QMessageBox::Yes)) button = open->button(QMessageBox::Ok); // a message is only read
    if (button) button->click();
}

// ---- user input ------------------------------------------------------------------------

// A window takes input while it is shown and no modal run lies above it.
QWidget* QtHostDriver::acceptingInput(WindowId window) const {
    QWidget* w = host_.widget(window);
    return w && w->isVisible() && window == host_.innermostRun() ? w : nullptr;
}

QWidget* QtHostDriver::acceptingInput(WindowId window, int controlId) const {
    QWidget* w = acceptingInput(window);
    QWidget* c = w ? host_.control(window, controlId) : nullptr;
    return c && c->isVisibleTo(w) && c->isEnabledTo(w) ? c : nullptr;
}

void QtHostDriver::click(WindowId window, int controlId) {
    if (auto* button = qobject_cast<QAbstractButton*>(acceptingInput(window, controlId))) button->click();
}

// Typing replaces the edit text; the field takes no more than its limit, and
// the list loses its selection.
void QtHostDriver::type(WindowId window, int controlId, const std::string& text) {
    auto* combo = qobject_cast<QComboBox*>(acceptingInput(window, controlId));
    if (!combo || !combo->lineEdit()) return;
    combo->setCurrentIndex(-1);
    combo->lineEdit()->setText(qtText(text));
}

void QtHostDriver::choose(WindowId window, int controlId, int index) {
    QWidget* c = acceptingInput(window, controlId);
    if (auto* combo = qobject_cast<QComboBox*>(c); combo && index >= 0 && index < combo->count())
        combo->setCurrentIndex(index);
    else if (auto* list = qobject_cast<QListWidget*>(c); list && index >= 0 && index < list->count())
        list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

void QtHostDriver::pressKey(WindowId window, int key) {
    QWidget* w = acceptingInput(window);
    if (!w) return;
    QWidget* target = w->focusWidget() ? w->focusWidget() : w;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QPointer<QWidget> alive(target);
    QCoreApplication::sendEvent(target, &press);
    if (alive) QCoreApplication::sendEvent(target, &release);
}

void QtHostDriver::pressEnter(WindowId window) { pressKey(window, Qt::Key_Return); }
void QtHostDriver::pressEscape(WindowId window) { pressKey(window, Qt::Key_Escape); }

void QtHostDriver::pressCloseBox(WindowId window) {
    if (QWidget* w = acceptingInput(window)) w->close();
}

void QtHostDriver::pressMinimizeBox(WindowId window) {
    if (acceptingInput(window) && host_.hasMinimizeBox(window)) host_.show(window, ShowMode::Minimized);
}

void QtHostDriver::trayMouse(int iconId, int mouseMessage) {
    QSystemTrayIcon* icon = host_.trayIcon(iconId);
    if (!icon) return;
    // What Qt reports goes through the icon's own signal; the rest straight to the owner.
    if (const TrayActivation* activation = activationOf(mouseMessage))
        emit icon->activated(activation->reason);
    else
        host_.deliverTrayMessage(iconId, mouseMessage);
}

// What task switching does: a plain show from outside the program, which
// also restores a minimised window.
void QtHostDriver::systemShow(WindowId window) {
    QWidget* w = host_.widget(window);
    if (!w) return;
    w->show();
    if (w->isVisible() && w->isMinimized()) w->showNormal();
}

// ---- time and what the user perceives ---------------------------------------------------------

void QtHostDriver::advance(unsigned ms) {
    QEventLoop loop;
    QTimer done;
    done.setTimerType(Qt::PreciseTimer);
    done.setSingleShot(true);
    QObject::connect(&done, &QTimer::timeout, &loop, &QEventLoop::quit);
    done.start(static_cast<int>(ms));
    while (done.isActive()) loop.exec(); // an application quit must not cut the time short
}

void QtHostDriver::setTrayArea(bool present) {
    if (present == trayArea_) return;
    trayArea_ = present;
    host_.setTrayAvailability([present] { return present; });
    host_.announceTrayArea(present);
}

bool QtHostDriver::trayIconPresent(int iconId) const { return host_.trayIcon(iconId) != nullptr; }

std::string QtHostDriver::trayTooltip(int iconId) const {
    QSystemTrayIcon* icon = host_.trayIcon(iconId);
    return icon ? icon->toolTip().toStdString() : std::string{};
}

// The menu as the desktop opens it: aboutToShow first, then what it shows.
std::vector<TrayMenuItem> QtHostDriver::openTrayMenu(int iconId) {
    QMenu* menu = host_.trayMenu(iconId);
    if (!menu) return {};
    QPointer<QMenu> open(menu);
    emit menu->aboutToShow();
    std::vector<TrayMenuItem> items;
    if (!open) return items;
    for (const QAction* action : open->actions())
        items.push_back({action->data().toInt(), action->text().toStdString(), action->isCheckable(),
                         action->isChecked(), action->isEnabled()});
    return items;
}

void QtHostDriver::chooseTrayMenuItem(int iconId, int itemId) {
    openTrayMenu(iconId);
    QMenu* menu = host_.trayMenu(iconId);
    if (!menu) return;
    for (QAction* action : menu->actions())
        if (action->data().toInt() == itemId && action->isEnabled()) {
            action->trigger(); // toggles a checkable entry, then reports it
            return;
        }
}

} // namespace velmora
