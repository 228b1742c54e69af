#include "qthost/DialogWindow.h"

#include <cstdlib>

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <xcb/xcb.h>

namespace velmora {
namespace {

Qt::WindowFlags frameFlags(bool hasOwner, bool minimizeBox) {
    Qt::WindowFlags flags = (hasOwner ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (minimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    return flags;
}

} // namespace

DialogWindow::DialogWindow(QWidget* owner, bool minimizeBox, Hooks hooks)
    : QWidget(owner, frameFlags(owner != nullptr, minimizeBox)), hooks_(std::move(hooks)) {}

void DialogWindow::watchKeysOf(QWidget* control) {
    control->installEventFilter(this);
    if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit())
        combo->lineEdit()->installEventFilter(this);
}

bool DialogWindow::vetoed() const { return hooks_.vetoesShowing && hooks_.vetoesShowing(); }

void DialogWindow::showPassingGuard(Qt::WindowState state) {
    guardPassed_ = true;
    setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) | state);
    QWidget::setVisible(true);
    guardPassed_ = false;
}

// Every show path of QWidget (show, showNormal, showMinimized, a stray
// setVisible) ends here; hiding always passes.
void DialogWindow::setVisible(bool visible) {
    if (!visible || guardPassed_) return QWidget::setVisible(visible);
    if (vetoed()) return;
    guardPassed_ = true;
    QWidget::setVisible(true);
    guardPassed_ = false;
}

// A show that bypassed setVisible (the platform window shown directly, the
// window system mapping it on its own) is undone as soon as control returns to
// the event loop: the show itself cannot be stopped from here.
void DialogWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (guardPassed_) return;
    QTimer::singleShot(0, this, [this] {
        if (!isVisible() || !vetoed()) return;
        // Shown through its QWindow, the widget is visible yet still flagged as
        // explicitly hidden, and QWidget would take a hide for a no-op.
        setAttribute(Qt::WA_WState_Hidden, false);
        QWidget::setVisible(false);
    });
}

void DialogWindow::setCaption(const QString& caption) {
    setWindowTitle(caption);
    if (caption.isEmpty()) clearTitleOnX11();
}

// The native window is made (and titled by Qt) when it is first shown.
bool DialogWindow::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WinIdChange && windowTitle().isEmpty()) clearTitleOnX11();
    return handled;
}

// Qt's X11 platform writes the application's name into _NET_WM_NAME when the
// title is empty (WM_NAME keeps the empty title); window managers prefer
// _NET_WM_NAME, so it is emptied here.
void DialogWindow::clearTitleOnX11() {
    // Other platforms (offscreen among them) may offer an X11 interface too.
    if (QGuiApplication::platformName() != QStringLiteral("xcb") || !testAttribute(Qt::WA_WState_Created)) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return;
    const auto atom = [connection](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(qstrlen(name)), name), nullptr);
        xcb_atom_t value = XCB_ATOM_NONE;
        if (reply) value = reply->atom;
        std::free(reply);
        return value;
    };
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(winId()), atom("_NET_WM_NAME"),
                        atom("UTF8_STRING"), 8, 0, nullptr);
    xcb_flush(connection);
}

bool DialogWindow::handleKey(int key) {
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A push button with the focus takes Enter itself; otherwise the default button.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
            button->click();
        } else if (hooks_.enter) {
            hooks_.enter();
        }
        return true;
    case Qt::Key_Escape:
        if (hooks_.cancel) hooks_.cancel();
        return true;
    default: return false;
    }
}

// Controls must not swallow Enter (an editable combo box would, and with an
// insert policy it would add an entry) nor Escape.
bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    // An open drop-down list is a window of its own and keeps its keys.
    if (auto* widget = qobject_cast<QWidget*>(watched); !widget || widget->window() != this) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) return false;
    return handleKey(key->key());
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    if (!handleKey(event->key())) QWidget::keyPressEvent(event);
}

// The dialog decides whether the close box ends its run.
void DialogWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (hooks_.cancel) hooks_.cancel();
}

} // namespace velmora
