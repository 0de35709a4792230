#pragma once

#include "orders/orderbook.h"
#include "widgets/keyedlistview.h"

#include <QAction>
#include <QColor>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSortFilterProxyModel>

// The status colours of t7.
inline const QColor kRechargedColour = QColor(Qt::blue);
inline const QColor kRefundedColour = QColor(Qt::red);

// One order list's view of the order book: the orders of its list (7 for
// manual and Taobao orders, 8 for Paipai ones) in the book's order, newest
// on top, with t7 coloured by its tone.
class OrderListModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    OrderListModel(OrderBook &book, int list, QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    int m_list;
};

// The main window's four report lists and the commands on order rows.
// ListView7 and ListView8 show the order book; ListViewplist and ListView2
// hold their own rows.
class OrderLists : public QObject
{
    Q_OBJECT
public:
    OrderLists(OrderBook &book, QWidget *parent);

    OrderBook &book() const { return m_book; }
    KeyedListView *listView7() const { return m_listView7; }
    KeyedListView *listView8() const { return m_listView8; }
    KeyedListView *listViewPlist() const { return m_listViewPlist; }
    KeyedListView *listView2() const { return m_listView2; }
    // ListView8 for Paipai orders, ListView7 for manual and Taobao ones.
    KeyedListView *listFor(int orderType) const;

    // The entry m复制卡密, whose data is the tag naming the list clicked last.
    void setCopyCardAction(QAction *action);
    // The menu 打印 that a right click on an order list opens.
    void setOrderMenu(QMenu *menu) { m_orderMenu = menu; }

    void 加载listview();
    // Copies the card code of the selected row of the list the tag names.
    void copyCardCode();
    // Copies the selected order of the list the tab caption names.
    void 复制订单(const QString &tabCaption);
    // The order number of the selected row of the list the tab caption names
    // (ListView7 for a caption with "淘宝"), as copy order chooses; empty
    // when no row is selected.
    QString selectedOrderNo(const QString &tabCaption) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onOrderListClicked(const QString &tag);

    OrderBook &m_book;
    KeyedListView *m_listView7;
    KeyedListView *m_listView8;
    KeyedListView *m_listViewPlist;
    KeyedListView *m_listView2;
    QPointer<QAction> m_copyCard;
    QPointer<QMenu> m_orderMenu;
};
