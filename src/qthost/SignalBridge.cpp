#include "qthost/SignalBridge.h"

#include <cerrno>

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include "qthost/QtHost.h"

namespace velmora {
namespace {

// The write end for the handler; -1 while no bridge is active.
volatile std::sig_atomic_t signalWriteFd = -1;

// Only async-signal-safe calls here. The write end never blocks: should the
// pair be full, the bytes already in it deliver the news anyway.
void forwardSignal(int signal) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalWriteFd, &byte, 1);
    errno = savedErrno;
}

bool isIgnored(int signal) {
    struct sigaction current {};
    return ::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

} // namespace

SignalBridge::SignalBridge(std::initializer_list<int> toCatch, Receiver receiver) : receiver_(std::move(receiver)) {
    if (signalWriteFd != -1 || !openChannel()) return;
    signalWriteFd = writeFd_;
    notifier_ = std::make_unique<QSocketNotifier>(readFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { deliverPending(); });
    for (int signal : toCatch)
        if (!isIgnored(signal)) catchSignal(signal);
}

SignalBridge::~SignalBridge() {
    for (auto& [signal, action] : previous_) ::sigaction(signal, &action, nullptr);
    notifier_.reset();
    if (writeFd_ != -1) {
        signalWriteFd = -1;
        ::close(writeFd_);
        ::close(readFd_);
    }
}

bool SignalBridge::openChannel() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) return false;
    readFd_ = fds[0];
    writeFd_ = fds[1];
    return true;
}

void SignalBridge::catchSignal(int signal) {
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // the rest of the program never sees EINTR for this
    struct sigaction previous {};
    if (::sigaction(signal, &action, &previous) == 0) previous_.emplace_back(signal, previous);
}

std::vector<int> SignalBridge::caughtSignals() const {
    std::vector<int> caught;
    for (const auto& [signal, action] : previous_) caught.push_back(signal);
    return caught;
}

// The receiver may run event loops of its own; the notifier must not call it
// again from inside them.
void SignalBridge::deliverPending() {
    notifier_->setEnabled(false);
    unsigned char pending[64];
    ssize_t count = 0;
    while ((count = ::read(readFd_, pending, sizeof pending)) > 0)
        for (ssize_t i = 0; i < count; ++i)
            if (receiver_) receiver_(pending[i]);
    notifier_->setEnabled(true);
}

// ---- quit requests -------------------------------------------------------------------

QuitRequestBridge::QuitRequestBridge(std::function<void()> receiver) : receiver_(std::move(receiver)) {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

bool QuitRequestBridge::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Quit || watched != QCoreApplication::instance()) return false;
    if (receiver_) receiver_();
    return true;
}

// ---- ending the main run ------------------------------------------------------------

namespace {

// Answers every open question box with No, as its close box does: a signal
// must never say Yes to deleting the log.
void closeQuestionBoxes() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) box->reject();
}

// The dialog decides what its close box does; should it keep its run open,
// the run ends anyway.
void closeRun(QtHost& host, WindowId window) {
    if (QWidget* widget = host.widget(window)) widget->close();
    if (!host.runEnded(window)) host.endDialog(window, IdCancel);
}

} // namespace

void endMainRun(QtHost& host, WindowId mainWindow, DialogHandler& mainHandler) {
    if (host.runEnded(mainWindow)) return;
    closeQuestionBoxes();
    const WindowId top = host.innermostRun();
    if (top == 0) return;
    if (top == mainWindow) {
        mainHandler.onCommand(IdCancel);
        return;
    }
    if (!host.runEnded(top)) closeRun(host, top);
    // The closed run unwinds once control is back in its event loop; then the
    // next one, down to the main window.
    QTimer::singleShot(0, host.widget(mainWindow),
                       [&host, mainWindow, &mainHandler] { endMainRun(host, mainWindow, mainHandler); });
}

} // namespace velmora
