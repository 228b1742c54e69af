#include "historywindow/ConnectionTable.h"

#include <array>

#include "history/Money.h"

namespace velmora {
namespace {
enum Column { Start, End, Duration, Cost, ColumnCount };
constexpr std::array<const char*, ColumnCount> kHeaders{"Beginn", "Ende", "Dauer", "Kosten"};
} // namespace

ConnectionTable::ConnectionTable(std::string currency, QObject* parent)
    : QAbstractTableModel(parent), currency_(std::move(currency)) {}

void ConnectionTable::setRows(std::vector<ConnectionRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int ConnectionTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ConnectionTable::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString ConnectionTable::text(const ConnectionRow& row, int column) const {
    switch (column) {
    case Start: return QString::fromStdString(logText(row.start));
    case End: return QString::fromStdString(logText(row.end));
    case Duration: return QString::fromStdString(durationText(row.seconds));
    case Cost: return QString::fromStdString(moneyText(row.costCents) + " " + currency_);
    default: return {};
    }
}

QVariant ConnectionTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole) return text(rows_[static_cast<std::size_t>(index.row())], index.column());
    if (role == Qt::TextAlignmentRole && index.column() >= Duration)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ConnectionTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
    return QString::fromUtf8(kHeaders[static_cast<std::size_t>(section)]);
}

} // namespace velmora
