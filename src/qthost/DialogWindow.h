#pragma once
// The top-level widget of one dialog run. It turns keys and the close box into
// commands and keeps the window hidden while its dialog vetoes being shown.

#include <functional>

#include <QWidget>

namespace velmora {

class DialogWindow : public QWidget {
public:
    struct Hooks {
        std::function<void()> enter;         // Enter or Return anywhere in the window
        std::function<void()> cancel;        // Escape or the close box
        std::function<bool()> vetoesShowing; // the dialog's position-change guard
    };

    DialogWindow(QWidget* owner, bool minimizeBox, Hooks hooks);

    // Keys pressed in this control (and its inner widgets) reach the window.
    void watchKeysOf(QWidget* control);

    // Shows, minimises or restores without asking the guard again: the host has
    // asked it already.
    void showPassingGuard(Qt::WindowState state);

    void setVisible(bool visible) override;

    // The title exactly as given, an empty one included: on X11 Qt would put
    // the application's name into an empty title.
    void setCaption(const QString& caption);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool handleKey(int key);
    bool vetoed() const;
    void clearTitleOnX11();

    Hooks hooks_;
    bool guardPassed_ = false;
};

} // namespace velmora
