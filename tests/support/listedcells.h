#pragma once

#include "orders/orderlists.h"

#include <QBrush>

// A cell of a row of the book as its order list shows it, read through the
// list's own model, so that a test sees what the agent sees. Empty (or the
// list's own colour) for a row the book does not have. A test that uses
// these links orders_ui.
inline QVariant listedCell(const OrderBook &book, int bookRow, const QString &key, int role)
{
    if (bookRow < 0 || bookRow >= book.rowCount())
        return {};
    const OrderListModel list(book, OrderListModel::listOf(book.at(bookRow).order.orderType));
    return list.index(list.mapFromBook(bookRow), OrderListModel::column(key)).data(role);
}

inline QString listedText(const OrderBook &book, int bookRow, const QString &key)
{
    return listedCell(book, bookRow, key, Qt::DisplayRole).toString();
}

inline QColor listedColour(const OrderBook &book, int bookRow, const QString &key)
{
    const QVariant brush = listedCell(book, bookRow, key, Qt::ForegroundRole);
    return brush.isValid() ? brush.value<QBrush>().color() : QColor();
}
