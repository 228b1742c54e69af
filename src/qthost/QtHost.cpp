#include "qthost/QtHost.h"

#include <algorithm>
#include <climits>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include "qthost/ControlFactory.h"
#include "qthost/DialogUnits.h"
#include "qthost/DialogWindow.h"
#include "qthost/Icons.h"
#include "qthost/ListControls.h"
#include "qthost/QtText.h"
#include "qthost/TrayActivation.h"
#include "qthost/TrayAreaWatcher.h"

namespace velmora {

struct QtHost::Window {
    DialogHandler* handler = nullptr;
    QPointer<DialogWindow> widget;
    std::map<int, QWidget*> controls;
    std::vector<int> radioButtons;
    int defaultButton = IdOk;
    QWidget* firstTabStop = nullptr;
    bool minimizeBox = false;
    std::map<int, std::unique_ptr<QTimer>> timers;
    std::map<int, std::vector<std::unique_ptr<QSocketNotifier>>> readWatches; // by timer id
    QEventLoop* loop = nullptr;
    bool ended = false;
    int result = 0;
    bool initialising = false;
    bool shownDuringInit = false;
};

struct QtHost::TrayEntry {
    WindowId owner = 0;
    std::unique_ptr<QSystemTrayIcon> icon;
};

namespace {

// Runs loop until done is set; an event loop can also be left by
// QCoreApplication::quit (say, when the last visible window closes).
// Once QCoreApplication::exit has been called every exec() returns at once;
// dispatching directly then keeps the run alive instead of spinning.
void runLoopUntil(QEventLoop& loop, const bool& done) {
    while (!done)
        if (loop.exec() == -1) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

int mouseMessageOf(QSystemTrayIcon::ActivationReason reason) {
    for (const TrayActivation& activation : trayActivations)
        if (activation.reason == reason) return activation.mouseMessage;
    return 0;
}

// Shows "Ja"/"Nein" even where Qt's German translation is missing.
void useGermanAnswers(QMessageBox& box) {
    const auto relabel = [&box](QMessageBox::StandardButton which, const QString& german) {
        QAbstractButton* button = box.button(which);
        if (button && button->text().remove(QLatin1Char('&')) != german) button->setText(QLatin1Char('&') + german);
    };
    relabel(QMessageBox::Yes, QStringLiteral("Ja"));
    relabel(QMessageBox::No, QStringLiteral("Nein"));
}

} // namespace

// Qt is not asked whether there is a notification area: it decides once, at
// its first tray call, whether to use the D-Bus one for the whole run, so no
// icon is made before a notification area is there.
QtHost::QtHost()
    : lifetime_(std::make_unique<QObject>()), trayAvailable_([this] { return trayArea_ && trayArea_->present(); }) {
    useListPopupStyle();
}

// The watch asks the session bus and opens an X connection of its own; the
// first window needs neither to show, so the watch starts as soon as the event
// loop runs after it. Windows hear of a notification area found then as of
// one that appears later.
void QtHost::startTrayWatchAfterShow() {
    if (trayWatchScheduled_ || !followTrayArea_) return;
    trayWatchScheduled_ = true;
    QTimer::singleShot(0, lifetime_.get(), [this] {
        if (!followTrayArea_) return;
        trayArea_ = std::make_unique<TrayAreaWatcher>([this](bool present) {
            if (followTrayArea_) announceTrayArea(present);
        });
        if (trayArea_->present()) announceTrayArea(true);
    });
}

void QtHost::setTrayAvailability(std::function<bool()> available) {
    trayAvailable_ = std::move(available);
    followTrayArea_ = false;
}

QtHost::~QtHost() {
    trayIcons_.clear(); // no icon may outlive the program
    for (auto& [id, window] : windows_) delete window->widget.data();
}

QtHost::Window* QtHost::find(WindowId window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

QWidget* QtHost::widget(WindowId window) const {
    const Window* w = find(window);
    return w ? w->widget.data() : nullptr;
}

QWidget* QtHost::control(WindowId window, int controlId) const {
    const Window* w = find(window);
    if (!w) return nullptr;
    auto it = w->controls.find(controlId);
    return it == w->controls.end() ? nullptr : it->second;
}

bool QtHost::hasMinimizeBox(WindowId window) const {
    const Window* w = find(window);
    return w && w->minimizeBox;
}

bool QtHost::runEnded(WindowId window) const {
    const Window* w = find(window);
    return !w || w->ended;
}

// ---- modal runs -------------------------------------------------------------

int QtHost::runModal(const DialogTemplate& tmpl, DialogHandler& handler, WindowId owner) {
    const WindowId id = createWindow(tmpl, handler, owner);
    Window& w = *find(id);
    runs_.push_back(id);
    w.initialising = true;
    handler.onInitDialog(id);
    w.initialising = false;
    if (!w.ended) showAfterInit(w);
    startTrayWatchAfterShow();
    // Not QDialog::exec: that run would end whenever the window is hidden, and
    // the main window spends much of its run hidden in the notification area.
    QEventLoop loop;
    w.loop = &loop;
    if (runsChanged_) runsChanged_();
    runLoopUntil(loop, w.ended);
    w.loop = nullptr;
    const int result = w.result;
    handler.onDestroy();
    destroyWindow(id);
    runs_.pop_back();
    if (runsChanged_) runsChanged_();
    return result;
}

WindowId QtHost::createWindow(const DialogTemplate& tmpl, DialogHandler& handler, WindowId owner) {
    const WindowId id = nextWindowId_++;
    auto w = std::make_unique<Window>();
    w->handler = &handler;
    w->minimizeBox = tmpl.minimizeBox;
    DialogWindow::Hooks hooks{
        [this, id] {
            if (Window* self = find(id)) sendCommand(id, self->defaultButton);
        },
        [this, id] { sendCommand(id, IdCancel); },
        [this, id] { return !guardPasses(id); },
    };
    QWidget* ownerWidget = widget(owner);
    w->widget = new DialogWindow(ownerWidget, tmpl.minimizeBox, std::move(hooks));
    // A window without owner opened inside another run blocks the whole program.
    w->widget->setWindowModality(ownerWidget ? Qt::WindowModal : runs_.empty() ? Qt::NonModal : Qt::ApplicationModal);
    w->widget->setCaption(qtText(tmpl.caption));
    if (!font_) { // one font for all windows, chosen so that the first (the main window, the widest) fits the screen
        const QScreen* screen = ownerWidget ? ownerWidget->screen() : QGuiApplication::primaryScreen();
        font_ = std::make_unique<QFont>(dialogFont(tmpl.width, screen ? screen->availableGeometry().width() : 0));
    }
    w->widget->setFont(*font_);
    const DialogBaseUnits units = baseUnitsOf(w->widget->font(), w->widget);
    w->widget->setFixedSize(units.toPixelsX(tmpl.width), units.toPixelsY(tmpl.height));
    Window& ref = *w;
    windows_.emplace(id, std::move(w));
    buildControls(ref, id, tmpl);
    return id;
}

void QtHost::buildControls(Window& w, WindowId id, const DialogTemplate& tmpl) {
    const DialogBaseUnits units = baseUnitsOf(w.widget->font(), w.widget);
    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& t : tmpl.controls) {
        QWidget* control = createControl(t, w.widget, units);
        w.widget->watchKeysOf(control);
        if (t.id != -1) w.controls.emplace(t.id, control);
        if (t.kind == ControlKind::RadioButton) w.radioButtons.push_back(t.id);
        if (t.kind == ControlKind::DefaultPushButton) w.defaultButton = t.id;
        connectCommand(w, id, t.id, control);
        if (!t.tabStop || !t.visible) continue;
        if (previousTabStop)
            QWidget::setTabOrder(previousTabStop, control);
        else
            w.firstTabStop = control;
        previousTabStop = control;
    }
}

void QtHost::connectCommand(Window& w, WindowId id, int controlId, QWidget* control) {
    auto* button = qobject_cast<QAbstractButton*>(control);
    if (!button || controlId == -1) return;
    const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
    QObject::connect(button, &QAbstractButton::clicked, w.widget, [this, id, controlId, radio] {
        if (radio) clickRadio(id, controlId);
        sendCommand(id, controlId);
    });
}

// An automatic radio button turns on (a second click keeps it on) and turns the
// other radio buttons of its dialog off.
void QtHost::clickRadio(WindowId window, int controlId) {
    Window* w = find(window);
    if (!w) return;
    for (int radio : w->radioButtons) setChecked(window, radio, radio == controlId);
}

void QtHost::sendCommand(WindowId window, int commandId) {
    if (Window* w = find(window)) w->handler->onCommand(commandId);
}

// The window appears once the dialog has filled it, unless the dialog already
// decided how it is shown.
void QtHost::showAfterInit(Window& w) {
    if (w.shownDuringInit) return;
    w.widget->showPassingGuard(Qt::WindowNoState);
    if (w.firstTabStop && !w.widget->focusWidget()) w.firstTabStop->setFocus();
    sendWindowRequestsNow();
}

// Qt hands a window's requests to the X server when its event loop next goes
// idle; what runs before that (the start's deferred work: the notification
// area's watch, the first poll) would keep the window from the screen.
void QtHost::sendWindowRequestsNow() {
    // Other platforms may answer as X11 without a connection (offscreen does).
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr) xcb_flush(connection);
}

void QtHost::endDialog(WindowId window, int result) {
    Window* w = find(window);
    if (!w || w->ended) return;
    w->ended = true;
    w->result = result;
    if (w->loop) w->loop->exit();
}

void QtHost::destroyWindow(WindowId window) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second->timers.clear();
    it->second->readWatches.clear();
    delete it->second->widget.data();
    windows_.erase(it);
}

// ---- texts -------------------------------------------------------------------

void QtHost::setText(WindowId window, int controlId, const std::string& text) {
    QWidget* c = control(window, controlId);
    const QString value = qtText(text);
    if (auto* label = qobject_cast<QLabel*>(c))
        label->setText(value);
    else if (auto* button = qobject_cast<QAbstractButton*>(c))
        button->setText(value);
    else if (auto* box = qobject_cast<QGroupBox*>(c))
        box->setTitle(value);
    else if (auto* combo = qobject_cast<QComboBox*>(c); combo && combo->lineEdit())
        combo->lineEdit()->setText(value);
    // A list's text is its selected entry; there is nothing to set.
}

std::string QtHost::text(WindowId window, int controlId, std::size_t maxChars) const {
    QWidget* c = control(window, controlId);
    QString value;
    if (auto* label = qobject_cast<QLabel*>(c))
        value = label->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(c))
        value = button->text();
    else if (auto* box = qobject_cast<QGroupBox*>(c))
        value = box->title();
    else if (c)
        value = shownText(*c);
    return utf8Prefix(value, maxChars);
}

void QtHost::setCaption(WindowId window, const std::string& caption) {
    if (Window* w = find(window)) w->widget->setCaption(qtText(caption));
}

std::string QtHost::caption(WindowId window) const {
    QWidget* w = widget(window);
    return w ? w->windowTitle().toStdString() : std::string{};
}

// ---- combo and list boxes ----------------------------------------------------------

int QtHost::addString(WindowId window, int controlId, const std::string& text) {
    QWidget* c = control(window, controlId);
    return c ? addEntry(*c, text) : -1;
}

void QtHost::setCurSel(WindowId window, int controlId, int index) {
    if (QWidget* c = control(window, controlId)) selectEntry(*c, index);
}

int QtHost::curSel(WindowId window, int controlId) const {
    QWidget* c = control(window, controlId);
    return c ? selectedEntry(*c) : -1;
}

std::string QtHost::itemText(WindowId window, int controlId, int index) const {
    QWidget* c = control(window, controlId);
    return c ? entryText(*c, index) : std::string{};
}

int QtHost::count(WindowId window, int controlId) const {
    QWidget* c = control(window, controlId);
    return c ? entryCount(*c) : 0;
}

void QtHost::deleteString(WindowId window, int controlId, int index) {
    if (QWidget* c = control(window, controlId)) deleteEntry(*c, index);
}

// ---- buttons and controls --------------------------------------------------------------

void QtHost::setChecked(WindowId window, int controlId, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(control(window, controlId)); button && button->isCheckable())
        button->setChecked(checked);
}

bool QtHost::isChecked(WindowId window, int controlId) const {
    auto* button = qobject_cast<QAbstractButton*>(control(window, controlId));
    return button && button->isChecked();
}

void QtHost::enable(WindowId window, int controlId, bool enabled) {
    if (QWidget* c = control(window, controlId)) c->setEnabled(enabled);
}

bool QtHost::isEnabled(WindowId window, int controlId) const {
    QWidget* c = control(window, controlId);
    return c && c->isEnabledTo(c->window());
}

// ---- window state ---------------------------------------------------------------------------

bool QtHost::guardPasses(WindowId window) {
    Window* w = find(window);
    return w && !w->handler->onWindowPosChanging();
}

void QtHost::show(WindowId window, ShowMode mode) {
    Window* w = find(window);
    if (!w) return;
    if (w->initialising) w->shownDuringInit = true;
    if (mode == ShowMode::Hidden) {
        w->widget->hide();
        return;
    }
    if (!guardPasses(window)) return;
    w->widget->showPassingGuard(mode == ShowMode::Minimized ? Qt::WindowMinimized : Qt::WindowNoState);
}

// A hidden window keeps its minimised state in Qt; for the dialogs it is hidden.
bool QtHost::isMinimized(WindowId window) const {
    QWidget* w = widget(window);
    return w && w->isVisible() && w->isMinimized();
}

bool QtHost::isVisible(WindowId window) const {
    QWidget* w = widget(window);
    return w && w->isVisible();
}

namespace {

bool ownedBy(const QWidget* window, const QWidget* owner) {
    for (const QWidget* w = window ? window->parentWidget() : nullptr; w; w = w->parentWidget())
        if (w->window() == owner) return true;
    return false;
}

} // namespace

// The window takes no input while a modal dialog or message box of its own is
// open: that one comes forward and takes the keyboard focus instead.
void QtHost::setForeground(WindowId window) {
    if (!guardPasses(window)) return;
    QWidget* w = widget(window);
    w->raise();
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* target = modal && modal->isVisible() && ownedBy(modal, w) ? modal : w;
    if (target != w) target->raise();
    target->activateWindow();
}

void QtHost::centerOnWorkArea(WindowId window) {
    if (!guardPasses(window)) return;
    QWidget* w = widget(window);
    QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = w->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    w->move(frame.topLeft());
}

void QtHost::setWindowIcon(WindowId window, int iconResource) {
    if (QWidget* w = widget(window)) w->setWindowIcon(iconForResource(iconResource));
}

// ---- timers ----------------------------------------------------------------------------------

void QtHost::setTimer(WindowId window, int timerId, unsigned periodMs) {
    Window* w = find(window);
    if (!w) return;
    std::unique_ptr<QTimer>& timer = w->timers[timerId];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer.get(), &QTimer::timeout, [this, window, timerId] { fireTimer(window, timerId); });
    }
    // A zero period would starve the event loop; the shortest period is 1 ms.
    timer->start(static_cast<int>(std::clamp(periodMs, 1u, static_cast<unsigned>(INT_MAX))));
}

void QtHost::killTimer(WindowId window, int timerId) {
    Window* w = find(window);
    if (!w) return;
    auto it = w->timers.find(timerId);
    if (it != w->timers.end()) it->second->stop(); // kept: this may run inside its own tick
}

void QtHost::wakeOnReadable(WindowId window, int timerId, const std::vector<int>& descriptors) {
    Window* w = find(window);
    if (!w) return;
    auto& notifiers = w->readWatches[timerId];
    for (auto& notifier : notifiers) {
        notifier->setEnabled(false);
        notifier.release()->deleteLater(); // it may be signalling now
    }
    notifiers.clear();
    for (int fd : descriptors) {
        auto& notifier = notifiers.emplace_back(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read));
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this, window, timerId] {
            wakeOnReadable(window, timerId, {}); // one tick per watch
            fireTimer(window, timerId);
        });
    }
}

// Qt never delivers a timer again while its previous tick is still running (in
// a nested event loop, say): ticks of one timer never overlap.
void QtHost::fireTimer(WindowId window, int timerId) {
    if (Window* w = find(window)) w->handler->onTimer(timerId);
}

// ---- question box and sound --------------------------------------------------------------------

int QtHost::askYesNo(WindowId owner, const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, qtText(caption), qtText(text), QMessageBox::Yes | QMessageBox::No,
                    widget(owner));
    box.setDefaultButton(QMessageBox::Yes);
    useGermanAnswers(box);
    runMessageBox(box, owner);
    return box.clickedButton() == box.button(QMessageBox::Yes) ? IdYes : IdNo;
}

void QtHost::inform(WindowId owner, const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Information, qtText(caption), qtText(text), QMessageBox::Ok, widget(owner));
    runMessageBox(box, owner);
}

// Not QMessageBox::exec, for the same reason as the dialogs' runs.
void QtHost::runMessageBox(QMessageBox& box, WindowId owner) {
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    bool answered = false;
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, [&answered, &loop] {
        answered = true;
        loop.exit();
    });
    box.show();
    if (messageBoxShown_) messageBoxShown_(box, owner);
    ++questionBoxesOpen_;
    runLoopUntil(loop, answered);
    --questionBoxesOpen_;
}

// The desktop's information sound where it has one, else the plain bell.
void QtHost::beep() {
    ++beeps_;
    const QString player = QStandardPaths::findExecutable(QStringLiteral("canberra-gtk-play"));
    if (player.isEmpty() ||
        !QProcess::startDetached(player, {QStringLiteral("-i"), QStringLiteral("dialog-information")}))
        QApplication::beep();
}

// ---- notification area ---------------------------------------------------------------------------

bool QtHost::trayNotify(WindowId owner, TrayOp op, int iconId, int iconResource, const std::string& tooltip) {
    if (op == TrayOp::Delete) {
        const bool removed = trayIcons_.erase(iconId) != 0;
        trayMenus_.erase(iconId);
        return removed;
    }
    return addTrayIcon(owner, iconId, iconResource, tooltip);
}

bool QtHost::addTrayIcon(WindowId owner, int iconId, int iconResource, const std::string& tooltip) {
    if (!find(owner) || trayIcons_.count(iconId) || !trayAvailable_()) return false;
    auto entry = std::make_unique<TrayEntry>();
    entry->owner = owner;
    entry->icon = std::make_unique<QSystemTrayIcon>(iconForResource(iconResource));
    entry->icon->setToolTip(qtText(tooltip));
    QObject::connect(entry->icon.get(), &QSystemTrayIcon::activated, [this, iconId](auto reason) {
        if (const int message = mouseMessageOf(reason)) deliverTrayMessage(iconId, message);
    });
    entry->icon->show();
    trayIcons_.emplace(iconId, std::move(entry));
    return true;
}

bool QtHost::trayMessage(WindowId owner, int iconId, const std::string& title, const std::string& text) {
    auto it = trayIcons_.find(iconId);
    if (it == trayIcons_.end() || it->second->owner != owner) return false;
    it->second->icon->showMessage(qtText(title), qtText(text), QSystemTrayIcon::Information);
    trayMessages_.push_back({iconId, title, text});
    return true;
}

void QtHost::announceTrayArea(bool present) {
    std::vector<WindowId> open;
    for (const auto& entry : windows_) open.push_back(entry.first);
    for (WindowId window : open) // a handler may open or close windows
        if (Window* w = find(window)) w->handler->onTrayAreaChanged(present);
}

QSystemTrayIcon* QtHost::trayIcon(int iconId) const {
    auto it = trayIcons_.find(iconId);
    return it == trayIcons_.end() ? nullptr : it->second->icon.get();
}

// An icon whose owner has gone drops its messages.
void QtHost::deliverTrayMessage(int iconId, int mouseMessage) {
    auto it = trayIcons_.find(iconId);
    if (it == trayIcons_.end()) return;
    if (Window* w = find(it->second->owner)) w->handler->onTrayNotify(iconId, mouseMessage);
}

// ---- the icon's context menu ---------------------------------------------------------------

bool QtHost::hasModalAbove(WindowId window) const {
    if (questionBoxesOpen_ > 0) return true;
    const bool running = std::find(runs_.begin(), runs_.end(), window) != runs_.end();
    return running && innermostRun() != window;
}

QMenu* QtHost::trayMenu(int iconId) const {
    auto it = trayMenus_.find(iconId);
    return it == trayMenus_.end() ? nullptr : it->second.get();
}

DialogHandler* QtHost::trayOwnerHandler(int iconId) const {
    auto it = trayIcons_.find(iconId);
    const Window* w = it == trayIcons_.end() ? nullptr : find(it->second->owner);
    return w ? w->handler : nullptr;
}

QMenu* QtHost::makeTrayMenu(int iconId) {
    auto menu = std::make_unique<QMenu>();
    QObject::connect(menu.get(), &QMenu::aboutToShow, [this, iconId] {
        if (DialogHandler* owner = trayOwnerHandler(iconId)) owner->onTrayMenuOpening(iconId);
    });
    QMenu* raw = menu.get();
    trayIcon(iconId)->setContextMenu(raw);
    trayMenus_.emplace(iconId, std::move(menu));
    return raw;
}

// Entries are updated in place where the menu keeps its shape, so that a menu
// refreshed while it opens (onTrayMenuOpening) keeps its actions.
bool QtHost::setTrayMenu(int iconId, const std::vector<TrayMenuItem>& items) {
    if (!trayIcon(iconId)) return false;
    QMenu* menu = trayMenu(iconId);
    if (!menu) menu = makeTrayMenu(iconId);
    QList<QAction*> actions = menu->actions();
    const auto count = static_cast<qsizetype>(items.size());
    bool sameShape = actions.size() == count;
    for (qsizetype i = 0; sameShape && i < count; ++i)
        sameShape = actions[i]->data().toInt() == items[static_cast<std::size_t>(i)].id;
    if (!sameShape) {
        menu->clear();
        for (const TrayMenuItem& item : items) {
            QAction* action = menu->addAction(QString());
            action->setData(item.id);
            QObject::connect(action, &QAction::triggered, menu, [this, iconId, id = item.id] {
                if (DialogHandler* owner = trayOwnerHandler(iconId)) owner->onTrayMenuChoice(iconId, id);
            });
        }
        actions = menu->actions();
    }
    for (qsizetype i = 0; i < count; ++i) {
        const TrayMenuItem& item = items[static_cast<std::size_t>(i)];
        actions[i]->setText(qtText(item.text));
        actions[i]->setCheckable(item.checkable);
        actions[i]->setChecked(item.checked);
        actions[i]->setEnabled(item.enabled);
    }
    return true;
}

} // namespace velmora
