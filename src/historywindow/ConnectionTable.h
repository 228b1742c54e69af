#pragma once
// The chosen period's connections as a table (Beginn, Ende, Dauer, Kosten,
// Empfangen, Gesendet), in the order the browser keeps. Texts are made when a
// row is shown, so a period of 100,000 connections costs no more to open than
// one of ten.

#include <functional>
#include <string>

#include <QAbstractTableModel>

#include "historywindow/HistoryBrowser.h"

namespace velmora {

class ConnectionTable : public QAbstractTableModel {
public:
    ConnectionTable(const HistoryBrowser& browser, std::string currency, QObject* parent = nullptr);

    // The browser's rows changed (another period, another reading of the log).
    void refresh();
    // A click on a header: the browser sorts, the table follows.
    std::function<void(int column, bool descending)> sortRequested;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    QString text(const ConnectionRow& row, int column) const;

    const HistoryBrowser& browser_;
    std::string currency_;
};

} // namespace velmora
