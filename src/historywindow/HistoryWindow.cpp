#include "historywindow/HistoryWindow.h"

#include <algorithm>
#include <array>

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

#include "history/Export.h"
#include "history/Money.h"
#include "historywindow/ConnectionTable.h"
#include "historywindow/LogFollower.h"

namespace velmora {
namespace {

constexpr int kChartMonths = 12;
constexpr int kAllMonths = 0; // the chooser's key for "Alle Monate"
constexpr std::array<const char*, 12> kMonthNames{"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                                                  "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
constexpr std::array<const char*, 12> kMonthShort{"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                                                  "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};

QString qt(const std::string& text) { return QString::fromStdString(text); }

int monthBefore(int monthKey) { return monthKey % 100 == 1 ? (monthKey / 100 - 1) * 100 + 12 : monthKey - 1; }

QString monthName(int monthKey) {
    return QString::fromUtf8(kMonthNames[static_cast<std::size_t>(monthKey % 100 - 1)]) + " " +
           QString::number(monthKey / 100);
}

QString totalsText(const Totals& totals, const std::string& currency) {
    const QString count = totals.connections == 1 ? QStringLiteral("1 Verbindung")
                                                  : QString::number(totals.connections) + " Verbindungen";
    return "Summe: " + count + ", Onlinezeit " + qt(durationText(totals.seconds)) + ", Kosten " +
           qt(moneyText(totals.costCents) + " " + currency);
}

QString noteText(const LogReadStats& stats, const std::string& readProblem) {
    if (!readProblem.empty()) return "Das Protokoll kann nicht gelesen werden: " + qt(readProblem) + ".";
    QStringList notes;
    if (stats.skippedLines > 0)
        notes << QString::number(stats.skippedLines) + " Zeile(n) des Protokolls gehören zu keiner Verbindung.";
    if (stats.tornTail) notes << QStringLiteral("Der letzte Eintrag des Protokolls ist unvollständig und fehlt.");
    return notes.join(' ');
}

} // namespace

ExportFileChooser exportFileDialog() {
    return [](QWidget* parent, const QString& suggestedName, std::function<void(const QString&)> chosen) {
        auto* dialog = new QFileDialog(parent, QStringLiteral("Verlauf exportieren"), suggestedName,
                                       QStringLiteral("CSV-Dateien (*.csv);;Alle Dateien (*)"));
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setDefaultSuffix(QStringLiteral("csv"));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                         [chosen = std::move(chosen)](const QString& file) { chosen(file); });
        dialog->open();
    };
}

HistoryWindow::HistoryWindow(HistoryWindowSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window), setup_(std::move(setup)) {
    setWindowTitle(QStringLiteral("Verlauf"));
    buildWindow();
    reload();
    new LogFollower(
        qt(setup_.logPath), [this] { reload(); }, this);
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::buildWindow() {
    chooser_ = new QComboBox(this);
    chooser_->setObjectName(QStringLiteral("monat"));
    auto* chooserLabel = new QLabel(QStringLiteral("&Monat:"), this);
    chooserLabel->setBuddy(chooser_);
    totals_ = new QLabel(this);
    totals_->setObjectName(QStringLiteral("summe"));
    totals_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    model_ = new ConnectionTable(setup_.currency, this);
    auto* table = new QTableView(this);
    table->setObjectName(QStringLiteral("verbindungen"));
    table->setModel(model_);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setAlternatingRowColors(true);
    table->verticalHeader()->hide();
    // Fixed heights and widths: nothing measures all rows of a long period.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    const int dateWidth = fontMetrics().horizontalAdvance(QStringLiteral("30.12.2026 23:59:59")) + 24;
    table->setColumnWidth(0, dateWidth);
    table->setColumnWidth(1, dateWidth);
    table->setColumnWidth(2, fontMetrics().horizontalAdvance(QStringLiteral("9999:59:59")) + 24);
    table->horizontalHeader()->setStretchLastSection(true);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("hinweis"));
    note_->setWordWrap(true);
    exportStatus_ = new QLabel(this);
    exportStatus_->setObjectName(QStringLiteral("exportstatus"));
    exportStatus_->setWordWrap(true);
    auto* exportButton = new QPushButton(QStringLiteral("&Exportieren..."), this);
    exportButton->setObjectName(QStringLiteral("exportieren"));
    auto* closeButton = new QPushButton(QStringLiteral("&Schließen"), this);

    auto* chooserRow = new QHBoxLayout;
    chooserRow->addWidget(chooserLabel);
    chooserRow->addWidget(chooser_);
    chooserRow->addSpacing(12);
    chooserRow->addWidget(totals_, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(exportStatus_, 1);
    buttonRow->addWidget(exportButton);
    buttonRow->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildChart(), 2);
    layout->addLayout(chooserRow);
    layout->addWidget(table, 3);
    layout->addWidget(note_);
    layout->addLayout(buttonRow);

    setTabOrder(chooser_, table);
    setTabOrder(table, exportButton);
    setTabOrder(exportButton, closeButton);
    chooser_->setFocus();
    connect(chooser_, &QComboBox::currentIndexChanged, this, [this] { showPeriod(); });
    connect(chooser_, &QComboBox::activated, this, [this] { userChoseMonth_ = true; });
    connect(exportButton, &QPushButton::clicked, this, [this] { exportShown(); });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
    resize(760, 600);
}

QWidget* HistoryWindow::buildChart() {
    chart_.chart = new QChart;
    chart_.chart->setTitle(QStringLiteral("Kosten der letzten 12 Monate"));
    chart_.chart->legend()->hide();
    auto* series = new QBarSeries(chart_.chart);
    chart_.bars = new QBarSet(QStringLiteral("Kosten"), series);
    series->append(chart_.bars);
    chart_.chart->addSeries(series);
    chart_.months = new QBarCategoryAxis(chart_.chart);
    chart_.months->setTruncateLabels(false); // month and year on two lines fit
    chart_.cost = new QValueAxis(chart_.chart);
    // The symbol goes into the title: label formats take Latin-1 only.
    chart_.cost->setLabelFormat(QStringLiteral("%.2f"));
    chart_.cost->setTitleText(qt(setup_.currency));
    chart_.chart->addAxis(chart_.months, Qt::AlignBottom);
    chart_.chart->addAxis(chart_.cost, Qt::AlignLeft);
    series->attachAxis(chart_.months);
    series->attachAxis(chart_.cost);
    // A click on a month's bar shows that month below.
    connect(chart_.bars, &QBarSet::clicked, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(chartMonths_.size()))
            chooseMonth(chartMonths_[static_cast<std::size_t>(index)]);
    });
    chart_.view = new QChartView(chart_.chart, this);
    chart_.view->setObjectName(QStringLiteral("kosten"));
    chart_.view->setRenderHint(QPainter::Antialiasing);
    chart_.view->setFocusPolicy(Qt::NoFocus);
    chart_.view->setMinimumHeight(220);
    applyPalette();
    return chart_.view;
}

void HistoryWindow::reload() {
    const int keep = userChoseMonth_ && chooser_->currentIndex() >= 0 ? chooser_->currentData().toInt() : -1;
    HistoryRead read = readHistory(setup_.logPath);
    history_ = std::move(read.history);
    readProblem_ = read.ok ? std::string{} : read.reason;
    note_->setText(noteText(history_.stats, readProblem_));
    note_->setVisible(!note_->text().isEmpty());
    fillChart();
    fillChooser(keep);
    showPeriod();
}

// The months that have connections, newest first, after "Alle Monate". A
// month the user chose stays shown; otherwise the newest month is.
void HistoryWindow::fillChooser(int keepMonthKey) {
    const QSignalBlocker quiet(chooser_);
    chooser_->clear();
    chooser_->addItem(QStringLiteral("Alle Monate"), kAllMonths);
    for (auto it = history_.byMonth().rbegin(); it != history_.byMonth().rend(); ++it)
        chooser_->addItem(monthName(it->first), it->first);
    const int kept = keepMonthKey >= 0 ? chooser_->findData(keepMonthKey) : -1;
    chooser_->setCurrentIndex(kept >= 0 ? kept : std::min(1, chooser_->count() - 1));
}

void HistoryWindow::chooseMonth(int monthKey) {
    const int index = chooser_->findData(monthKey);
    if (index < 0) return;
    userChoseMonth_ = true;
    chooser_->setCurrentIndex(index);
}

Period HistoryWindow::shownPeriod() const {
    const int key = chooser_->currentData().toInt();
    return key == kAllMonths ? Period::all() : Period::ofMonth(key / 100, key % 100);
}

void HistoryWindow::showPeriod() {
    const Period period = shownPeriod();
    model_->setRows(history_.rowsOf(period));
    markChosenMonth();
    totals_->setText(totalsText(history_.totalsOf(period), setup_.currency));
    exportStatus_->clear();
}

// The chosen month's bar stands out; with every month chosen, every bar does.
void HistoryWindow::markChosenMonth() {
    const Period period = shownPeriod();
    chart_.bars->deselectAllBars();
    if (period.year == 0) {
        chart_.bars->selectAllBars();
        return;
    }
    const auto chosen = std::find(chartMonths_.begin(), chartMonths_.end(), period.year * 100 + period.month);
    if (chosen != chartMonths_.end()) chart_.bars->selectBar(static_cast<int>(chosen - chartMonths_.begin()));
}

void HistoryWindow::fillChart() {
    const LocalTime today = setup_.clock ? setup_.clock->localTime() : LocalTime{};
    chartMonths_.assign(kChartMonths, 0);
    int key = today.year * 100 + today.month;
    for (int i = kChartMonths - 1; i >= 0; --i, key = monthBefore(key)) chartMonths_[static_cast<std::size_t>(i)] = key;
    QStringList labels;
    QList<qreal> values;
    for (int month : chartMonths_) {
        labels << QString::fromUtf8(kMonthShort[static_cast<std::size_t>(month % 100 - 1)]) + "<br>" +
                      QString::number(month / 100);
        auto sums = history_.byMonth().find(month);
        values << (sums == history_.byMonth().end() ? 0.0 : static_cast<qreal>(sums->second.costCents) / 100.0);
    }
    chart_.bars->remove(0, chart_.bars->count());
    chart_.bars->append(values);
    chart_.months->setCategories(labels);
    const qreal highest = *std::max_element(values.begin(), values.end());
    chart_.cost->setRange(0, highest > 0 ? highest * 1.1 : 1.0);
    chart_.cost->applyNiceNumbers();
}

// Every colour comes from the palette, so a dark desktop gets a dark chart.
void HistoryWindow::applyPalette() {
    const QPalette p = palette();
    chart_.chart->setBackgroundBrush(p.brush(QPalette::Base));
    chart_.chart->setBackgroundPen(QPen(p.color(QPalette::Mid)));
    chart_.chart->setTitleBrush(p.brush(QPalette::Text));
    for (QAbstractAxis* axis : {static_cast<QAbstractAxis*>(chart_.months), static_cast<QAbstractAxis*>(chart_.cost)}) {
        axis->setLabelsBrush(p.brush(QPalette::Text));
        axis->setTitleBrush(p.brush(QPalette::Text));
        axis->setLinePenColor(p.color(QPalette::Mid));
        axis->setGridLineColor(p.color(QPalette::Midlight));
    }
    chart_.bars->setBrush(p.brush(QPalette::Mid));
    chart_.bars->setPen(QPen(p.color(QPalette::Mid)));
    chart_.bars->setSelectedColor(p.color(QPalette::Highlight));
    chart_.view->setBackgroundBrush(p.brush(QPalette::Window));
}

void HistoryWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && chart_.chart) applyPalette();
}

void HistoryWindow::exportShown() {
    if (!setup_.chooseExportFile) return;
    const Period period = shownPeriod();
    const QString suggested = period.year == 0 ? QStringLiteral("velmora.csv")
                                               : QString::asprintf("velmora-%04d-%02d.csv", period.year, period.month);
    setup_.chooseExportFile(this, suggested, [this, period](const QString& file) {
        const WriteResult saved = saveTextFile(file.toStdString(), csvText(history_.rowsOf(period)));
        exportStatus_->setText(saved ? "Exportiert nach " + file
                                     : "Nicht exportiert, " + qt(saved.reason) + ": " + file);
    });
}

} // namespace velmora
