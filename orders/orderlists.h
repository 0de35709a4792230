#pragma once

#include "orders/orderbook.h"
#include "widgets/keyedlistview.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QColor>
#include <QMenu>
#include <QObject>
#include <QPointer>

// The status colours of t7.
inline const QColor kRechargedColour = QColor(Qt::blue);
inline const QColor kRefundedColour = QColor(Qt::red);

// One order list's view of the order book: the orders its list shows (7 for
// manual and Taobao orders, 8 for Paipai ones) in the book's order, newest
// on top, a column per key. The lists' keys, captions and cell texts are
// known here and nowhere else.
class OrderListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Which list shows an order of the type: 8 for Paipai, 7 for the others.
    static int listOf(int orderType) { return orderType == 2 ? 8 : 7; }
    // The keys in the order the lists show them: t1 … t17, t11 in eighth place.
    static const QStringList &columnKeys();
    // -1 for a key that is no column.
    static int column(const QString &key);
    // The caption of a column in the list; ListView8 calls t6 "买家号码".
    static QString caption(const QString &key, int list = 7);

    OrderListModel(const OrderBook &book, int list, QObject *parent = nullptr);

    int list() const { return m_list; }
    // The list's row of the book's row, or -1 when the list does not show it.
    int mapFromBook(int bookRow) const;
    // The book's row of the list's row, or -1.
    int mapToBook(int row) const;
    // The text of a cell; empty for a row or key the list does not have.
    QString text(int row, const QString &key) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    // Display texts and t7's colour; the book's roles on every cell.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    bool shows(int bookRow) const;
    void rebuild();
    // A list row from an index into m_shown, which runs the other way.
    int rowOfIndex(qsizetype i) const { return int(m_shown.size() - 1 - i); }
    void onRowsInserted(int first, int last);
    void onRowsRemoved(int first, int last);
    void onDataChanged(int first, int last);

    const OrderBook *m_book;
    int m_list;
    // The book's entries this list shows, by position from the book's oldest
    // entry, ascending: a new order on top leaves all of them as they were.
    QList<int> m_shown;
};

// The text of the order's cell under the key, as the lists show it; empty
// for a key that is no column.
QString orderCellText(const OrderEntry &entry, const QString &key);
// The colour of the order's t7: blue when recharged, red when refunded or
// for a warning; invalid for the list's own.
QColor orderStatusColour(const OrderEntry &entry);

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
