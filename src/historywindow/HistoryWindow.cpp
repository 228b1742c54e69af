#include "historywindow/HistoryWindow.h"

#include <algorithm>
#include <array>

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include "history/Money.h"
#include "historywindow/ConnectionTable.h"
#include "historywindow/LogFollower.h"

namespace velmora {
namespace {

constexpr std::size_t kPriciest = 5;
constexpr int kBudgetRefreshMs = 60'000; // the period's lines at least this often: a new day, a new period
constexpr int kAllYears = 0;             // the year chooser's key for "Alle Jahre"
constexpr int kWholeYear = 0;            // the month chooser's key for "Ganzes Jahr"
constexpr int kRowRole = 1000;           // a priciest list item's connection (its place in the log) or day key
constexpr std::array<const char*, 7> kWeekdays{"Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};

const QString kCommaFilter = QStringLiteral("CSV mit Komma und Dezimalpunkt (*.csv)");
const QString kSemicolonFilter = QStringLiteral("CSV mit Semikolon und Dezimalkomma, für Excel und Calc (*.csv)");

QString qt(const std::string& text) { return QString::fromStdString(text); }

QString dayText(int dayKey) {
    const int year = dayKey / 10000, month = dayKey / 100 % 100, day = dayKey % 100;
    const long long days = daysFromCivil(year, month, day);
    const auto weekday = static_cast<std::size_t>(((days % 7) + 7 + 3) % 7); // 1970-01-01 was a Thursday
    return QString::fromUtf8(kWeekdays[weekday]) + QStringLiteral(" %1.%2.%3").arg(day).arg(month).arg(year);
}

QString connectionsText(std::size_t count) {
    return count == 1 ? QStringLiteral("1 Verbindung") : QString::number(count) + " Verbindungen";
}

QString noteText(const LogReadStats& stats, const std::string& readProblem) {
    if (!readProblem.empty()) return "Das Protokoll kann nicht gelesen werden: " + qt(readProblem) + ".";
    QStringList notes;
    if (stats.skippedLines > 0)
        notes << QString::number(stats.skippedLines) + " Zeile(n) des Protokolls gehören zu keiner Verbindung.";
    if (stats.tornTail) notes << QStringLiteral("Der letzte Eintrag des Protokolls ist unvollständig und fehlt.");
    return notes.join(' ');
}

QLabel* labelFor(QWidget* buddy, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

QString totalsText(const Totals& totals, const std::string& currency) {
    QString text = "Summe: " + connectionsText(totals.connections) + ", Onlinezeit " +
                   qt(durationText(totals.seconds)) + ", Kosten " + qt(moneyText(totals.costCents) + " " + currency);
    if (totals.bytesKnown()) {
        text += ", empfangen " + qt(bytesText(totals.bytesReceived)) + ", gesendet " + qt(bytesText(totals.bytesSent));
        if (totals.bytesPartial()) text += QStringLiteral(" (nicht alle Verbindungen gezählt)");
    }
    return text;
}

ExportFileChooser exportFileDialog() {
    return [](QWidget* parent, const QString& suggestedPath, ExportChosen chosen) {
        auto* dialog = new QFileDialog(parent, QStringLiteral("Verlauf exportieren"), suggestedPath);
        dialog->setNameFilters({kCommaFilter, kSemicolonFilter});
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setDefaultSuffix(QStringLiteral("csv"));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(
            dialog, &QFileDialog::fileSelected, dialog, [dialog, chosen = std::move(chosen)](const QString& file) {
                chosen(file, dialog->selectedNameFilter() == kSemicolonFilter ? CsvStyle::Semicolon : CsvStyle::Comma);
            });
        dialog->open();
    };
}

HistoryWindow::HistoryWindow(HistoryWindowSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window), setup_(std::move(setup)) {
    if (setup_.homeFolder.empty()) setup_.homeFolder = QDir::homePath().toStdString();
    const int thisYear = setup_.currentYear != 0 ? setup_.currentYear : QDate::currentDate().year();
    browser_ = std::make_unique<HistoryBrowser>(setup_.homeFolder, thisYear);
    setWindowTitle(QStringLiteral("Verlauf"));
    buildWindow();
    connectParts();
    reload();
    new LogFollower(
        qt(setup_.logPath), [this] { reload(); }, this);
    if (setup_.budgetLines) {
        if (!setup_.settingsPath.empty())
            new LogFollower(
                qt(setup_.settingsPath), [this] { showBudget(); }, this);
        auto* minute = new QTimer(this);
        connect(minute, &QTimer::timeout, this, [this] { showBudget(); });
        minute->start(kBudgetRefreshMs);
    }
}

// The table and its model read the browser, a member, which goes before the
// widget's children would: they go first.
HistoryWindow::~HistoryWindow() {
    delete table_;
    delete model_;
}

void HistoryWindow::buildWindow() {
    totals_ = named(new QLabel(this), "summe");
    totals_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    totals_->setWordWrap(true);
    budget_ = named(new QLabel(this), "budget");
    budget_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    budget_->setWordWrap(true);
    note_ = named(new QLabel(this), "hinweis");
    note_->setWordWrap(true);
    exportStatus_ = named(new QLabel(this), "exportstatus");
    exportStatus_->setWordWrap(true);
    export_ = named(new QPushButton(QStringLiteral("&Exportieren..."), this), "exportieren");
    close_ = new QPushButton(QStringLiteral("&Schließen"), this);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(exportStatus_, 1);
    buttonRow->addWidget(export_);
    buttonRow->addWidget(close_);
    auto* top = new QHBoxLayout;
    top->addWidget(buildChart(), 3);
    top->addLayout(buildPriciest(), 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(budget_);
    layout->addLayout(top, 2);
    layout->addLayout(buildChoosers());
    layout->addWidget(totals_);
    layout->addWidget(buildTable(), 3);
    layout->addWidget(note_);
    layout->addLayout(buttonRow);

    setTabOrder(years_, months_);
    setTabOrder(months_, earlier_);
    setTabOrder(earlier_, later_);
    setTabOrder(later_, table_);
    setTabOrder(table_, priciestConnections_);
    setTabOrder(priciestConnections_, priciestDays_);
    setTabOrder(priciestDays_, export_);
    setTabOrder(export_, close_);
    years_->setFocus();
    resize(1000, 720);
}

QLayout* HistoryWindow::buildChoosers() {
    years_ = named(new QComboBox(this), "jahr");
    months_ = named(new QComboBox(this), "monat");
    months_->addItem(QStringLiteral("Ganzes Jahr"), kWholeYear);
    for (int month = 1; month <= 12; ++month) months_->addItem(qt(monthName(month)), month);
    earlier_ = named(new QPushButton(QStringLiteral("◀ &Früher"), this), "frueher");
    later_ = named(new QPushButton(QStringLiteral("S&päter ▶"), this), "spaeter");
    auto* row = new QHBoxLayout;
    row->addWidget(labelFor(years_, QStringLiteral("&Jahr:"), this));
    row->addWidget(years_);
    row->addSpacing(12);
    row->addWidget(labelFor(months_, QStringLiteral("&Monat:"), this));
    row->addWidget(months_);
    row->addSpacing(12);
    row->addWidget(earlier_);
    row->addWidget(later_);
    row->addStretch(1);
    return row;
}

QWidget* HistoryWindow::buildTable() {
    model_ = new ConnectionTable(*browser_, setup_.currency, this);
    table_ = named(new QTableView(this), "verbindungen");
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    // Fixed heights and widths: nothing measures all rows of a long period.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    const int dateWidth = fontMetrics().horizontalAdvance(QStringLiteral("30.12.2026 23:59:59")) + 24;
    const int numberWidth = fontMetrics().horizontalAdvance(QStringLiteral("9999.99 MB")) + 24;
    for (int column : {HistoryBrowser::Start, HistoryBrowser::End}) {
        table_->setColumnWidth(column, dateWidth);
        table_->horizontalHeader()->setSectionResizeMode(column, QHeaderView::Stretch); // they take what is left
    }
    for (int column : {HistoryBrowser::Duration, HistoryBrowser::Cost, HistoryBrowser::Received, HistoryBrowser::Sent})
        table_->setColumnWidth(column, numberWidth);
    table_->horizontalHeader()->setSortIndicator(HistoryBrowser::Start, Qt::DescendingOrder);
    table_->setSortingEnabled(true);
    return table_;
}

namespace {
QTreeWidget* priciestList(const QStringList& headers, const char* name, QWidget* parent) {
    auto* list = named(new QTreeWidget(parent), name);
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->headerItem()->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    return list;
}
} // namespace

QLayout* HistoryWindow::buildPriciest() {
    priciestConnections_ = priciestList({QStringLiteral("Kosten"), QStringLiteral("Beginn"), QStringLiteral("Dauer")},
                                        "teuerste_verbindungen", this);
    priciestDays_ = priciestList({QStringLiteral("Kosten"), QStringLiteral("Tag"), QStringLiteral("Verbindungen")},
                                 "teuerste_tage", this);
    auto* side = new QVBoxLayout;
    side->addWidget(labelFor(priciestConnections_, QStringLiteral("Teuerste &Verbindungen:"), this));
    side->addWidget(priciestConnections_);
    side->addWidget(labelFor(priciestDays_, QStringLiteral("Teuerste &Tage:"), this));
    side->addWidget(priciestDays_);
    return side;
}

QWidget* HistoryWindow::buildChart() {
    chart_.chart = new QChart;
    chart_.chart->legend()->hide();
    auto* series = new QBarSeries(chart_.chart);
    chart_.bars = new QBarSet(QStringLiteral("Kosten"), series);
    series->append(chart_.bars);
    chart_.chart->addSeries(series);
    chart_.categories = new QBarCategoryAxis(chart_.chart);
    chart_.cost = new QValueAxis(chart_.chart);
    // The symbol goes into the title: label formats take Latin-1 only.
    chart_.cost->setLabelFormat(QStringLiteral("%.2f"));
    chart_.cost->setTitleText(qt(setup_.currency));
    chart_.chart->addAxis(chart_.categories, Qt::AlignBottom);
    chart_.chart->addAxis(chart_.cost, Qt::AlignLeft);
    series->attachAxis(chart_.categories);
    series->attachAxis(chart_.cost);
    chart_.view = named(new QChartView(chart_.chart, this), "kosten");
    chart_.view->setRenderHint(QPainter::Antialiasing);
    chart_.view->setFocusPolicy(Qt::NoFocus);
    chart_.view->setMinimumHeight(220);
    applyPalette();
    return chart_.view;
}

void HistoryWindow::connectParts() {
    connect(chart_.bars, &QBarSet::clicked, this, [this](int index) { barClicked(index); });
    connect(years_, &QComboBox::activated, this, [this] {
        if (browser_->chooseYear(years_->currentData().toInt())) showBrowser();
    });
    connect(months_, &QComboBox::activated, this, [this] {
        if (browser_->chooseMonth(months_->currentData().toInt())) showBrowser();
    });
    connect(earlier_, &QPushButton::clicked, this, [this] {
        if (browser_->step(-1)) showBrowser();
    });
    connect(later_, &QPushButton::clicked, this, [this] {
        if (browser_->step(+1)) showBrowser();
    });
    model_->sortRequested = [this](int column, bool descending) {
        browser_->sortBy(static_cast<HistoryBrowser::Column>(column), descending);
        model_->refresh();
    };
    connect(priciestConnections_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { markConnectionInTable(item->data(0, kRowRole).toULongLong()); });
    connect(priciestDays_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { markDayInTable(item->data(0, kRowRole).toInt()); });
    connect(export_, &QPushButton::clicked, this, [this] { exportShown(); });
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
}

// A year's or month's bar shows that period; a day's bar marks its connections.
void HistoryWindow::barClicked(int index) {
    if (index < 0) return;
    browser_->activateBar(static_cast<std::size_t>(index));
    const Period period = browser_->period();
    if (browser_->pickedDay() == 0 || period.month == 0) {
        showBrowser();
        return;
    }
    markPickedDay();
    markDayInTable((period.year * 100 + period.month) * 100 + browser_->pickedDay());
}

void HistoryWindow::reload() {
    HistoryRead read = readHistory(setup_.logPath);
    readProblem_ = read.ok ? std::string{} : read.reason;
    const LogReadStats stats = read.history.stats;
    browser_->setHistory(std::move(read.history));
    note_->setText(noteText(stats, readProblem_));
    note_->setVisible(!note_->text().isEmpty());
    showBudget();
    showBrowser();
}

// The billing period as it stands: the whole log's, whatever period is chosen.
void HistoryWindow::showBudget() {
    QStringList lines;
    if (setup_.budgetLines)
        for (const std::string& line : setup_.budgetLines(browser_->history())) lines << qt(line);
    budget_->setText(lines.join('\n'));
    budget_->setVisible(!lines.isEmpty());
}

// Everything the browser says, after it changed its period or its rows.
void HistoryWindow::showBrowser() {
    showChoosers();
    showChart();
    model_->refresh();
    table_->horizontalHeader()->setSortIndicator(browser_->sortColumn(),
                                                 browser_->sortDescending() ? Qt::DescendingOrder : Qt::AscendingOrder);
    totals_->setText(totalsText(browser_->totals(), setup_.currency));
    showPriciest();
    exportStatus_->clear();
}

void HistoryWindow::showChoosers() {
    const Period period = browser_->period();
    const QSignalBlocker quietYears(years_);
    years_->clear();
    years_->addItem(QStringLiteral("Alle Jahre"), kAllYears);
    for (int year : browser_->years()) years_->addItem(QString::number(year), year);
    years_->setCurrentIndex(years_->findData(period.year));
    const QSignalBlocker quietMonths(months_);
    months_->setCurrentIndex(months_->findData(period.month));
    months_->setEnabled(period.year != 0);
    earlier_->setEnabled(browser_->canStep(-1));
    later_->setEnabled(browser_->canStep(+1));
}

void HistoryWindow::showChart() {
    QStringList labels;
    QList<qreal> values;
    for (const HistoryBrowser::Bar& bar : browser_->bars()) {
        labels << qt(bar.label);
        values << static_cast<qreal>(bar.costCents) / 100.0;
    }
    chart_.chart->setTitle(qt(browser_->chartTitle()));
    chart_.bars->remove(0, chart_.bars->count());
    chart_.bars->append(values);
    chart_.categories->setCategories(labels);
    const qreal highest = values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end());
    chart_.cost->setRange(0, highest > 0 ? highest * 1.1 : 1.0);
    chart_.cost->applyNiceNumbers();
    markPickedDay();
}

// The day picked in a month's chart stands out.
void HistoryWindow::markPickedDay() {
    chart_.bars->deselectAllBars();
    if (browser_->pickedDay() > 0) chart_.bars->selectBar(browser_->pickedDay() - 1);
}

void HistoryWindow::markConnectionInTable(std::size_t logIndex) {
    if (logIndex >= browser_->history().rows().size()) return;
    const std::size_t at = browser_->tableIndexOf(browser_->history().rows()[logIndex]);
    if (at == HistoryBrowser::npos) return;
    table_->selectRow(static_cast<int>(at));
    table_->scrollTo(model_->index(static_cast<int>(at), 0), QAbstractItemView::PositionAtCenter);
}

void HistoryWindow::markDayInTable(int dayKey) {
    QItemSelection rows;
    int first = -1;
    for (std::size_t i = 0; i < browser_->rowCount(); ++i) {
        if (browser_->row(i).start.dayKey() != dayKey) continue;
        const int row = static_cast<int>(i);
        rows.select(model_->index(row, 0), model_->index(row, HistoryBrowser::ColumnCount - 1));
        if (first < 0) first = row;
    }
    table_->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    if (first >= 0) table_->scrollTo(model_->index(first, 0), QAbstractItemView::PositionAtCenter);
}

namespace {
void addPriciest(QTreeWidget* list, const QStringList& texts, const QVariant& key) {
    auto* item = new QTreeWidgetItem(list, texts);
    item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    item->setData(0, kRowRole, key);
}
} // namespace

void HistoryWindow::showPriciest() {
    const auto money = [this](std::int64_t cents) { return qt(moneyText(cents) + " " + setup_.currency); };
    priciestConnections_->clear();
    const ConnectionRow* firstRow = browser_->history().rows().data();
    for (const ConnectionRow* row : browser_->priciestConnections(kPriciest))
        addPriciest(priciestConnections_,
                    {money(row->costCents), qt(logText(row->start)), qt(durationText(row->seconds))},
                    static_cast<qulonglong>(row - firstRow));
    priciestDays_->clear();
    for (const HistoryBrowser::DaySums& day : browser_->priciestDays(kPriciest))
        addPriciest(priciestDays_,
                    {money(day.totals.costCents), dayText(day.dayKey), QString::number(day.totals.connections)},
                    day.dayKey);
    for (QTreeWidget* list : {priciestConnections_, priciestDays_})
        for (int column = 0; column < list->columnCount(); ++column) list->resizeColumnToContents(column);
}

// Every colour comes from the palette, so a dark desktop gets a dark chart.
void HistoryWindow::applyPalette() {
    const QPalette p = palette();
    chart_.chart->setBackgroundBrush(p.brush(QPalette::Base));
    chart_.chart->setBackgroundPen(QPen(p.color(QPalette::Mid)));
    chart_.chart->setTitleBrush(p.brush(QPalette::Text));
    for (QAbstractAxis* axis :
         {static_cast<QAbstractAxis*>(chart_.categories), static_cast<QAbstractAxis*>(chart_.cost)}) {
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

// The rows are those of the period when the file is chosen, in the log's order.
void HistoryWindow::exportShown() {
    if (!setup_.chooseExportFile) return;
    const Period period = browser_->period();
    setup_.chooseExportFile(this, qt(browser_->exportPath()), [this, period](const QString& file, CsvStyle style) {
        const WriteResult saved = saveTextFile(file.toStdString(), csvText(browser_->history().rowsOf(period), style));
        exportStatus_->setText(saved ? "Exportiert nach " + file
                                     : "Nicht exportiert, " + qt(saved.reason) + ": " + file);
    });
}

} // namespace velmora
