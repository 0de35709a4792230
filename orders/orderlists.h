#pragma once

#include "orders/rechargeorder.h"
#include "widgets/keyedlistview.h"

#include <QObject>
#include <QPointer>
#include <functional>

#include <QAction>
#include <QMenu>

// What a row of an order list keeps beside its cells: the order's type.
inline constexpr int kOrderTypeRole = Qt::UserRole + 1;

// Shown in t7 of an order whose row could not be stored: such an order is
// never submitted, since after a restart nothing would remember it.
inline const QString kNotStoredText = QStringLiteral("保存失败,不会充值");

// The main window's four report lists and the commands on order rows. The
// lists are the working set of orders that submission, status tracking and
// delivery find rows in and rewrite cells of, by key.
class OrderLists : public QObject
{
    Q_OBJECT
public:
    // Stores an order; false when it could not be stored.
    using StoreOrder = std::function<bool(const RechargeOrder &)>;

    explicit OrderLists(QWidget *parent);

    KeyedListView *listView7() const { return m_listView7; }
    KeyedListView *listView8() const { return m_listView8; }
    KeyedListView *listViewPlist() const { return m_listViewPlist; }
    KeyedListView *listView2() const { return m_listView2; }
    // ListView8 for Paipai orders, ListView7 for manual and Taobao ones.
    KeyedListView *listFor(int orderType) const;

    void setStore(StoreOrder store) { m_store = std::move(store); }
    // The entry m复制卡密, whose data is the tag naming the list clicked last.
    void setCopyCardAction(QAction *action);
    // The menu 打印 that a right click on an order list opens.
    void setOrderMenu(QMenu *menu) { m_orderMenu = menu; }

    void 加载listview();
    // Shows the order at the top of its list and, with insertFlag 1, stores
    // it. False when the store refused it; the row then says so.
    bool 显示订单(const RechargeOrder &order, int insertFlag);
    // Copies the card code of the selected row of the list the tag names.
    void copyCardCode();
    // Copies the selected order of the list the tab caption names.
    void 复制订单(const QString &tabCaption);

    // The texts a row shows for the numbers and the time.
    static QString numberText(double value);
    static QString timeText(const QDateTime &time);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onOrderListClicked(const QString &tag);

    KeyedListView *m_listView7;
    KeyedListView *m_listView8;
    KeyedListView *m_listViewPlist;
    KeyedListView *m_listView2;
    StoreOrder m_store;
    QPointer<QAction> m_copyCard;
    QPointer<QMenu> m_orderMenu;
};
