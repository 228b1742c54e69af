#include "settingswindow/SettingsWindow.h"

#include <algorithm>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "budget/BillingPeriod.h"
#include "holidays/HolidayRegion.h"

namespace velmora {
namespace {

const QString kTitle = QStringLiteral("Einstellungen");

QString qt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

SettingsMessage settingsMessageBox() {
    return [](QWidget* parent, const QString& text) {
        auto* box = new QMessageBox(QMessageBox::Warning, kTitle, text, QMessageBox::Ok, parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
    };
}

SettingsWindow::SettingsWindow(SettingsWindowSetup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)), form_(setup_.profile, setup_.currency) {
    setWindowTitle(kTitle);
    buildWindow();
    showChoice(form_.stored());
    budget_->setFocus();
    budget_->selectAll();
}

void SettingsWindow::buildWindow() {
    budget_ = named(new QLineEdit(this), "budget");
    budget_->setPlaceholderText(QStringLiteral("kein Budget"));
    budget_->setMaxLength(20);
    billingDay_ = named(new QSpinBox(this), "stichtag");
    billingDay_->setRange(kFirstBillingDay, kLastBillingDay);
    billingDay_->setSuffix(QStringLiteral(". des Monats"));
    holidays_ = named(new QComboBox(this), "feiertage");
    for (const HolidayChoice& choice : kHolidayChoices) holidays_->addItem(qt(choice.name));

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("&") + qt(form_.budgetLabel()) + ":", budget_);
    fields->addRow(QStringLiteral("&Stichtag (1 bis 28):"), billingDay_);
    fields->addRow(QStringLiteral("&Feiertage:"), holidays_);
    auto* note = new QLabel(
        QStringLiteral(
            "Ab 80 % und ab 100 % des Budgets meldet Velmora sich einmal je "
            "Abrechnungszeitraum. An Feiertagen des gewählten Landes rechnen die Tarife wie an einem Sonntag."),
        this);
    note->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    ok_ = named(buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole), "ok");
    cancel_ = named(buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole), "abbrechen");
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(note);
    layout->addWidget(buttons);
    setTabOrder(budget_, billingDay_);
    setTabOrder(billingDay_, holidays_);
    setTabOrder(holidays_, ok_);
    setTabOrder(ok_, cancel_);
}

void SettingsWindow::showChoice(const SettingsChoice& choice) {
    budget_->setText(qt(choice.budget));
    billingDay_->setValue(choice.billingDay);
    holidays_->setCurrentIndex(static_cast<int>(choice.holidayIndex));
}

SettingsChoice SettingsWindow::typed() const {
    return {budget_->text().toStdString(), billingDay_->value(),
            static_cast<std::size_t>(std::max(holidays_->currentIndex(), 0))};
}

// A refused value or a failed write keeps the window open: closing would lose
// what the user entered.
void SettingsWindow::accept() {
    const SettingsChoice choice = typed();
    if (const std::optional<std::string> problem = form_.problemWith(choice)) {
        setup_.tell(this, qt(*problem));
        budget_->setFocus();
        return;
    }
    const WriteResult written = form_.save(choice);
    if (!written) {
        setup_.tell(this, QStringLiteral("Die Einstellungen konnten nicht gespeichert werden.\n\n") +
                              qt(setup_.profile.path()) + ": " + qt(written.reason));
        return;
    }
    QDialog::accept();
    if (setup_.saved) setup_.saved();
}

} // namespace velmora
