#pragma once
// The window "Einstellungen", opened from the icon's menu: the monthly budget
// (the field that has the focus when it opens), the billing day, whose public
// holidays count; OK (also Enter) checks and writes them, Abbrechen (also
// Escape) leaves them. Over a value it refuses, or a file it cannot write, it
// stays open and says why. Plain Qt widgets over a SettingsForm.

#include <functional>
#include <string>

#include <QDialog>

#include "settingswindow/SettingsForm.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace velmora {

// Tells the user something in a message box over the window; injected, so
// that tests need no modal box.
using SettingsMessage = std::function<void(QWidget* parent, const QString& text)>;
// The desktop's message box, window-modal, without a nested event loop.
SettingsMessage settingsMessageBox();

struct SettingsWindowSetup {
    SettingsProfile& profile;
    std::string currency;
    std::function<void()> saved; // after the settings were written
    SettingsMessage tell = settingsMessageBox();
};

class SettingsWindow : public QDialog {
public:
    explicit SettingsWindow(SettingsWindowSetup setup, QWidget* parent = nullptr);

    // The values as the widgets hold them.
    SettingsChoice typed() const;

    void accept() override;

private:
    void buildWindow();
    void showChoice(const SettingsChoice& choice);

    SettingsWindowSetup setup_;
    SettingsForm form_;
    QLineEdit* budget_ = nullptr;
    QSpinBox* billingDay_ = nullptr;
    QComboBox* holidays_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace velmora
