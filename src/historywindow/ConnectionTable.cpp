#include "historywindow/ConnectionTable.h"

#include <array>

#include "history/Money.h"

namespace velmora {
namespace {
constexpr std::array<const char*, HistoryBrowser::ColumnCount> kHeaders{"Beginn", "Ende",      "Dauer",
                                                                        "Kosten", "Empfangen", "Gesendet"};
} // namespace

ConnectionTable::ConnectionTable(const HistoryBrowser& browser, std::string currency, QObject* parent)
    : QAbstractTableModel(parent), browser_(browser), currency_(std::move(currency)) {}

void ConnectionTable::refresh() {
    beginResetModel();
    endResetModel();
}

int ConnectionTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(browser_.rowCount());
}

int ConnectionTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : HistoryBrowser::ColumnCount;
}

QString ConnectionTable::text(const ConnectionRow& row, int column) const {
    switch (column) {
    case HistoryBrowser::Start: return QString::fromStdString(logText(row.start));
    case HistoryBrowser::End: return QString::fromStdString(logText(row.end));
    case HistoryBrowser::Duration: return QString::fromStdString(durationText(row.seconds));
    case HistoryBrowser::Cost: return QString::fromStdString(moneyText(row.costCents) + " " + currency_);
    case HistoryBrowser::Received: return QString::fromStdString(bytesText(row.bytesReceived));
    case HistoryBrowser::Sent: return QString::fromStdString(bytesText(row.bytesSent));
    default: return {};
    }
}

QVariant ConnectionTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole) return text(browser_.row(static_cast<std::size_t>(index.row())), index.column());
    if (role == Qt::TextAlignmentRole && index.column() >= HistoryBrowser::Duration)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ConnectionTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= HistoryBrowser::ColumnCount)
        return {};
    return QString::fromUtf8(kHeaders[static_cast<std::size_t>(section)]);
}

void ConnectionTable::sort(int column, Qt::SortOrder order) {
    if (sortRequested) sortRequested(column, order == Qt::DescendingOrder);
}

} // namespace velmora
