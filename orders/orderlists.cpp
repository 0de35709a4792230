#include "orders/orderlists.h"

#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QHash>
#include <QMenu>
#include <QMouseEvent>

namespace {

QList<ListColumn> orderColumns(const QString &buyerHeader)
{
    const QHash<QString, double> widths = {
        {QStringLiteral("t1"), 1.0 / 7},   {QStringLiteral("t2"), 1.0 / 7},
        {QStringLiteral("t3"), 1.0 / 18},  {QStringLiteral("t5"), 1.0 / 5},
        {QStringLiteral("t6"), 1.0 / 7},   {QStringLiteral("t7"), 1.0 / 5},
        {QStringLiteral("t11"), 1.0 / 10},
    };
    QList<ListColumn> columns;
    for (const QString &key : OrderBook::columnKeys()) {
        columns.append(
            {key, key == u"t6" ? buyerHeader : OrderBook::caption(key), widths.value(key, 0)});
    }
    return columns;
}

KeyedListView *namedList(const char *name, QWidget *parent)
{
    auto *list = new KeyedListView(parent);
    list->setObjectName(QString::fromUtf8(name));
    return list;
}

} // namespace

OrderListModel::OrderListModel(OrderBook &book, int list, QObject *parent)
    : QSortFilterProxyModel(parent), m_list(list)
{
    setSourceModel(&book);
}

bool OrderListModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    return OrderBook::listOf(index.data(OrderBook::OrderTypeRole).toInt()) == m_list;
}

QVariant OrderListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::ForegroundRole)
        return QSortFilterProxyModel::data(index, role);
    const QVariant tone = QSortFilterProxyModel::data(index, OrderBook::ToneRole);
    if (!tone.isValid())
        return {};
    switch (tone.value<OrderBook::Tone>()) {
    case OrderBook::Tone::Blue:
        return QBrush(kRechargedColour);
    case OrderBook::Tone::Red:
        return QBrush(kRefundedColour);
    case OrderBook::Tone::Plain:
        break;
    }
    return {};
}

QVariant OrderListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (m_list == 8 && orientation == Qt::Horizontal && role == Qt::DisplayRole &&
        section == OrderBook::column(QStringLiteral("t6")))
        return QStringLiteral("买家号码");
    return QSortFilterProxyModel::headerData(section, orientation, role);
}

OrderLists::OrderLists(OrderBook &book, QWidget *parent)
    : QObject(parent), m_book(book), m_listView7(namedList("ListView7", parent)),
      m_listView8(namedList("ListView8", parent)),
      m_listViewPlist(namedList("ListViewplist", parent)),
      m_listView2(namedList("ListView2", parent))
{
    setObjectName(QStringLiteral("orderLists"));
    m_listView7->setSourceModel(new OrderListModel(book, 7, this));
    m_listView8->setSourceModel(new OrderListModel(book, 8, this));
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
    const int row = list->selectedRow();
    if (row < 0)
        return;
    // The recharge number and the cells at positions 2 to 7.
    QStringList parts;
    for (int c = 0; c < 7 && c < list->columns().size(); ++c)
        parts << list->text(row, list->columns().at(c).key);
    clipboard->setText(parts.join(QLatin1Char(' ')));
}

QString OrderLists::selectedOrderNo(const QString &tabCaption) const
{
    KeyedListView *list = tabCaption.contains(QStringLiteral("淘宝")) ? m_listView7 : m_listView8;
    const int row = list->selectedRow();
    if (row < 0)
        return {};
    return list->data(row, QStringLiteral("t1"), OrderBook::OrderNoRole).toString();
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
