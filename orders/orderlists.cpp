#include "orders/orderlists.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMouseEvent>

namespace {

QList<ListColumn> orderColumns(const QString &buyerHeader)
{
    return {
        {QStringLiteral("t1"), QStringLiteral("充值号码"), 1.0 / 7},
        {QStringLiteral("t2"), QStringLiteral("充值业务"), 1.0 / 7},
        {QStringLiteral("t3"), QStringLiteral("售价"), 1.0 / 18},
        {QStringLiteral("t4"), QStringLiteral("数量"), 0},
        {QStringLiteral("t5"), QStringLiteral("充值时间"), 1.0 / 5},
        {QStringLiteral("t6"), buyerHeader, 1.0 / 7},
        {QStringLiteral("t7"), QStringLiteral("充值状态"), 1.0 / 5},
        {QStringLiteral("t11"), QStringLiteral("卡密 复制"), 1.0 / 10},
        {QStringLiteral("t8"), QStringLiteral("充值编号"), 0},
        {QStringLiteral("t9"), QStringLiteral("打印"), 0},
        {QStringLiteral("t10"), QStringLiteral("随机数"), 0},
        {QStringLiteral("t12"), QStringLiteral("订单编号"), 0},
        {QStringLiteral("t13"), QStringLiteral("发货编号"), 0},
        {QStringLiteral("t14"), QStringLiteral("平台业务"), 0},
        {QStringLiteral("t15"), QStringLiteral("服务区"), 0},
        {QStringLiteral("t16"), QStringLiteral("实际数量"), 0},
        {QStringLiteral("t17"), QStringLiteral("查询地区"), 0},
    };
}

KeyedListView *namedList(const char *name, QWidget *parent)
{
    auto *list = new KeyedListView(parent);
    list->setObjectName(QString::fromUtf8(name));
    return list;
}

} // namespace

OrderLists::OrderLists(QWidget *parent)
    : QObject(parent), m_listView7(namedList("ListView7", parent)),
      m_listView8(namedList("ListView8", parent)),
      m_listViewPlist(namedList("ListViewplist", parent)),
      m_listView2(namedList("ListView2", parent))
{
    setObjectName(QStringLiteral("orderLists"));
    for (KeyedListView *list : {m_listView7, m_listView8}) {
        list->viewport()->installEventFilter(this);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint &at) {
            if (m_orderMenu)
                m_orderMenu->popup(list->viewport()->mapToGlobal(at));
        });
    }
}

KeyedListView *OrderLists::listFor(int orderType) const
{
    return orderType == 2 ? m_listView8 : m_listView7;
}

void OrderLists::setCopyCardAction(QAction *action)
{
    m_copyCard = action;
    if (action)
        connect(action, &QAction::triggered, this, &OrderLists::copyCardCode);
}

void OrderLists::加载listview()
{
    m_listView7->setColumns(orderColumns(QStringLiteral("买家昵称")));
    m_listView8->setColumns(orderColumns(QStringLiteral("买家号码")));
    m_listViewPlist->setColumns({
        {QStringLiteral("list"), QStringLiteral("类别"), 1.0 / 6},
        {QStringLiteral("name"), QStringLiteral("名称"), 1.0 / 6},
        {QStringLiteral("price"), QStringLiteral("单价"), 1.0 / 12},
        {QStringLiteral("qu"), QStringLiteral("区号"), 1.0 / 12},
        {QStringLiteral("value"), QStringLiteral("价格"), 1.0 / 6},
    });
    m_listView2->setColumns({
        {QStringLiteral("t1"), QStringLiteral("关键字"), 1.0 / 8},
        {QStringLiteral("t2"), QStringLiteral("卡密 / 共有几条记录"), 1.0 / 5},
        {QStringLiteral("t3"), QStringLiteral("数量"), 1.0 / 8},
        {QStringLiteral("t4"), QStringLiteral("买家昵称"), 1.0 / 8},
        {QStringLiteral("t5"), QStringLiteral("平台"), 1.0 / 10},
        {QStringLiteral("t6"), QStringLiteral("状态"), 1.0 / 8},
        {QStringLiteral("t7"), QStringLiteral("时间"), 1.0 / 6},
        {QStringLiteral("t8"), QStringLiteral("来源"), 0},
        {QStringLiteral("t9"), QStringLiteral("订单编号"), 0},
    });
}

QString OrderLists::numberText(double value)
{
    return QString::number(value, 'g', 15);
}

QString OrderLists::timeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool OrderLists::显示订单(const RechargeOrder &order, int insertFlag)
{
    KeyedListView *list = listFor(order.orderType);
    QTreeWidgetItem *row = list->insertTop(order.rechargeAccount);
    row->setData(0, kOrderTypeRole, order.orderType);
    const auto set = [list, row](const char *key, const QString &text) {
        list->setText(row, QString::fromLatin1(key), text);
    };
    set("t2", order.productName);
    set("t3", numberText(order.salePrice));
    set("t4", numberText(order.quantity));
    set("t5", timeText(order.rechargeTime));
    set("t6", order.buyerNick);
    set("t7", 状态转换(order.status));
    set("t11", order.cardCode);
    set("t8", order.rechargeId);
    set("t9", order.printMark);
    set("t10", order.randomNo.isEmpty() ? order.orderNo : order.randomNo);
    set("t12", order.orderNo);
    set("t13", order.shipNo);
    set("t14", order.platformProduct);
    set("t15", order.serverArea);
    set("t16", order.actualQuantity);
    set("t17", order.queryArea);
    const QString status = QStringLiteral("t7");
    if (order.status == OrderStatus::Recharged)
        list->setTextColor(row, status, QColor(0, 0, 255));
    else if (order.status == OrderStatus::Refunded)
        list->setTextColor(row, status, QColor(255, 0, 0));

    if (insertFlag != 1)
        return true;
    if (m_store && m_store(order))
        return true;
    // Shown but not stored: after a restart nothing would stop this order
    // from being taken again, so it must not be recharged now.
    set("t7", kNotStoredText);
    list->setTextColor(row, status, QColor(255, 0, 0));
    return false;
}

void OrderLists::copyCardCode()
{
    const QString tag = m_copyCard ? m_copyCard->data().toString() : QString();
    KeyedListView *list = tag == QLatin1String("1")   ? m_listView7
                          : tag == QLatin1String("2") ? m_listView8
                                                      : nullptr;
    if (!list)
        return;
    const QString code = list->text(list->selectedRow(), QStringLiteral("t11"));
    if (code.isEmpty())
        return;
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(code);
}

void OrderLists::复制订单(const QString &tabCaption)
{
    KeyedListView *list = tabCaption.contains(QStringLiteral("淘宝")) ? m_listView7 : m_listView8;
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    QTreeWidgetItem *row = list->selectedRow();
    if (!row)
        return;
    // The recharge number and the cells at positions 2 to 7.
    QStringList parts;
    for (int c = 0; c < 7 && c < list->columnCount(); ++c)
        parts << row->text(c);
    clipboard->setText(parts.join(QLatin1Char(' ')));
}

void OrderLists::onOrderListClicked(const QString &tag)
{
    if (m_copyCard)
        m_copyCard->setData(tag);
    copyCardCode();
}

bool OrderLists::eventFilter(QObject *watched, QEvent *event)
{
    // The row is selected on the press, so at the release it is the clicked one.
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == m_listView7->viewport())
            onOrderListClicked(QStringLiteral("1"));
        else if (watched == m_listView8->viewport())
            onOrderListClicked(QStringLiteral("2"));
    }
    return QObject::eventFilter(watched, event);
}
