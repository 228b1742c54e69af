#pragma once
// The connections of the chosen period as a table: Beginn, Ende, Dauer, Kosten.
// Texts are made when a row is shown, so a period of 100,000 connections costs
// no more to open than one of ten.

#include <string>
#include <vector>

#include <QAbstractTableModel>

#include "history/LogReader.h"

namespace velmora {

class ConnectionTable : public QAbstractTableModel {
public:
    explicit ConnectionTable(std::string currency, QObject* parent = nullptr);

    void setRows(std::vector<ConnectionRow> rows);
    const std::vector<ConnectionRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString text(const ConnectionRow& row, int column) const;

    std::string currency_;
    std::vector<ConnectionRow> rows_;
};

} // namespace velmora
