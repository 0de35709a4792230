#include "orders/orderlists.h"

#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QHash>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>
#include <iterator>

namespace {

struct Column
{
    const char *key;
    const char *caption;
    QString (*text)(const OrderEntry &);
};

// In the order the lists show them.
const Column kColumns[] = {
    {"t1", "充值号码", [](const OrderEntry &e) { return e.order.rechargeAccount; }},
    {"t2", "充值业务", [](const OrderEntry &e) { return e.order.productName; }},
    {"t3", "售价", [](const OrderEntry &e) { return orderNumberText(e.order.salePrice); }},
    {"t4", "数量", [](const OrderEntry &e) { return orderNumberText(e.order.quantity); }},
    {"t5", "充值时间", [](const OrderEntry &e) { return orderTimeText(e.order.rechargeTime); }},
    {"t6", "买家昵称", [](const OrderEntry &e) { return e.order.buyerNick; }},
    {"t7", "充值状态", [](const OrderEntry &e) { return e.statusText(); }},
    {"t11", "卡密 复制", [](const OrderEntry &e) { return e.order.cardCode; }},
    {"t8", "充值编号", [](const OrderEntry &e) { return e.order.rechargeId; }},
    {"t9", "打印", [](const OrderEntry &e) { return e.order.printMark; }},
    {"t10", "随机数", [](const OrderEntry &e) { return orderKey(e.order); }},
    {"t12", "订单编号", [](const OrderEntry &e) { return e.order.orderNo; }},
    {"t13", "发货编号", [](const OrderEntry &e) { return e.order.shipNo; }},
    {"t14", "平台业务", [](const OrderEntry &e) { return e.order.platformProduct; }},
    {"t15", "服务区", [](const OrderEntry &e) { return e.order.serverArea; }},
    {"t16", "实际数量", [](const OrderEntry &e) { return e.order.actualQuantity; }},
    {"t17", "查询地区", [](const OrderEntry &e) { return e.order.queryArea; }},
};
constexpr int kColumnCount = int(std::size(kColumns));

QList<ListColumn> orderColumns(int list)
{
    const QHash<QString, double> widths = {
        {QStringLiteral("t1"), 1.0 / 7},   {QStringLiteral("t2"), 1.0 / 7},
        {QStringLiteral("t3"), 1.0 / 18},  {QStringLiteral("t5"), 1.0 / 5},
        {QStringLiteral("t6"), 1.0 / 7},   {QStringLiteral("t7"), 1.0 / 5},
        {QStringLiteral("t11"), 1.0 / 10},
    };
    QList<ListColumn> columns;
    for (const QString &key : OrderListModel::columnKeys())
        columns.append({key, OrderListModel::caption(key, list), widths.value(key, 0)});
    return columns;
}

KeyedListView *namedList(const char *name, QWidget *parent)
{
    auto *list = new KeyedListView(parent);
    list->setObjectName(QString::fromUtf8(name));
    return list;
}

} // namespace

QString orderCellText(const OrderEntry &entry, const QString &key)
{
    const int c = OrderListModel::column(key);
    return c < 0 ? QString() : kColumns[c].text(entry);
}

QColor orderStatusColour(const OrderEntry &entry)
{
    if (entry.alert || entry.statusNotSaved)
        return kRefundedColour;
    switch (entry.order.status) {
    case OrderStatus::Recharged:
        return kRechargedColour;
    case OrderStatus::Refunded:
        return kRefundedColour;
    default:
        return {};
    }
}

const QStringList &OrderListModel::columnKeys()
{
    static const QStringList keys = [] {
        QStringList k;
        for (const Column &c : kColumns)
            k << QString::fromLatin1(c.key);
        return k;
    }();
    return keys;
}

int OrderListModel::column(const QString &key)
{
    return int(columnKeys().indexOf(key));
}

QString OrderListModel::caption(const QString &key, int list)
{
    if (list == 8 && key == u"t6")
        return QStringLiteral("买家号码");
    const int c = column(key);
    return c < 0 ? QString() : QString::fromUtf8(kColumns[c].caption);
}

OrderListModel::OrderListModel(const OrderBook &book, int list, QObject *parent)
    : QAbstractTableModel(parent), m_book(&book), m_list(list)
{
    rebuild();
    connect(&book, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { onRowsInserted(first, last); });
    connect(&book, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { onRowsRemoved(first, last); });
    connect(&book, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) {
                onDataChanged(from.row(), to.row());
            });
    // The book neither resets nor reorders today; should it, the list starts over.
    connect(&book, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&book, &QAbstractItemModel::layoutAboutToBeChanged, this,
            [this] { beginResetModel(); });
    const auto again = [this] {
        rebuild();
        endResetModel();
    };
    connect(&book, &QAbstractItemModel::modelReset, this, again);
    connect(&book, &QAbstractItemModel::layoutChanged, this, again);
    // A view may outlive the book (the window is torn down after its session).
    connect(&book, &QObject::destroyed, this, [this] {
        beginResetModel();
        m_book = nullptr;
        m_shown.clear();
        endResetModel();
    });
}

bool OrderListModel::shows(int bookRow) const
{
    return listOf(m_book->at(bookRow).order.orderType) == m_list;
}

void OrderListModel::rebuild()
{
    m_shown.clear();
    const int count = m_book ? m_book->rowCount() : 0;
    for (int position = 0; position < count; ++position) {
        if (shows(count - 1 - position))
            m_shown.append(position);
    }
}

int OrderListModel::mapFromBook(int bookRow) const
{
    if (!m_book || bookRow < 0 || bookRow >= m_book->rowCount())
        return -1;
    const int position = m_book->rowCount() - 1 - bookRow;
    const auto it = std::lower_bound(m_shown.cbegin(), m_shown.cend(), position);
    return it == m_shown.cend() || *it != position ? -1 : rowOfIndex(it - m_shown.cbegin());
}

int OrderListModel::mapToBook(int row) const
{
    if (!m_book || row < 0 || row >= m_shown.size())
        return -1;
    return m_book->rowCount() - 1 - m_shown.at(m_shown.size() - 1 - row);
}

void OrderListModel::onRowsInserted(int first, int last)
{
    const int added = last - first + 1;
    const int count = m_book->rowCount();
    const int lowest = count - 1 - last; // the position of the oldest new entry
    // Entries above the new ones moved up by as many.
    const auto from = std::lower_bound(m_shown.begin(), m_shown.end(), lowest);
    for (auto it = from; it != m_shown.end(); ++it)
        *it += added;
    QList<int> fresh;
    for (int position = lowest; position < lowest + added; ++position) {
        if (shows(count - 1 - position))
            fresh.append(position);
    }
    if (fresh.isEmpty())
        return;
    const qsizetype at = from - m_shown.begin();
    const int top = int(m_shown.size() - at);
    beginInsertRows({}, top, top + int(fresh.size()) - 1);
    m_shown.insert(at, fresh.size(), 0);
    std::copy(fresh.cbegin(), fresh.cend(), m_shown.begin() + at);
    endInsertRows();
}

void OrderListModel::onRowsRemoved(int first, int last)
{
    const int removed = last - first + 1;
    const int lowest = m_book->rowCount() + removed - 1 - last;
    const qsizetype from =
        std::lower_bound(m_shown.cbegin(), m_shown.cend(), lowest) - m_shown.cbegin();
    const qsizetype to =
        std::lower_bound(m_shown.cbegin(), m_shown.cend(), lowest + removed) - m_shown.cbegin();
    // Those above are the book's again before anyone asks for them.
    for (qsizetype i = to; i < m_shown.size(); ++i)
        m_shown[i] -= removed;
    if (from == to)
        return;
    beginRemoveRows({}, rowOfIndex(to - 1), rowOfIndex(from));
    m_shown.remove(from, to - from);
    endRemoveRows();
}

void OrderListModel::onDataChanged(int first, int last)
{
    const int count = m_book->rowCount();
    for (int bookRow = first; bookRow <= last && bookRow < count; ++bookRow) {
        const int position = count - 1 - bookRow;
        const auto it = std::lower_bound(m_shown.begin(), m_shown.end(), position);
        const qsizetype i = it - m_shown.begin();
        const bool listed = it != m_shown.end() && *it == position;
        // An order shown again as another type moves to the other list.
        if (listed && shows(bookRow)) {
            const int row = rowOfIndex(i);
            emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
        } else if (listed) {
            beginRemoveRows({}, rowOfIndex(i), rowOfIndex(i));
            m_shown.removeAt(i);
            endRemoveRows();
        } else if (shows(bookRow)) {
            const int row = int(m_shown.size() - i);
            beginInsertRows({}, row, row);
            m_shown.insert(i, position);
            endInsertRows();
        }
    }
}

int OrderListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int OrderListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QString OrderListModel::text(int row, const QString &key) const
{
    const int bookRow = mapToBook(row);
    return bookRow < 0 ? QString() : orderCellText(m_book->at(bookRow), key);
}

QVariant OrderListModel::data(const QModelIndex &index, int role) const
{
    const int bookRow = index.isValid() ? mapToBook(index.row()) : -1;
    if (bookRow < 0 || index.column() >= kColumnCount)
        return {};
    const OrderEntry &e = m_book->at(bookRow);
    if (role == Qt::DisplayRole)
        return kColumns[index.column()].text(e);
    if (role == Qt::ForegroundRole) {
        static const int statusColumn = column(QStringLiteral("t7"));
        const QColor colour = index.column() == statusColumn ? orderStatusColour(e) : QColor();
        return colour.isValid() ? QVariant(QBrush(colour)) : QVariant();
    }
    if (role >= Qt::UserRole)
        return m_book->data(m_book->index(bookRow), role);
    return {};
}

QVariant OrderListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return caption(columnKeys().at(section), m_list);
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
    return OrderListModel::listOf(orderType) == 8 ? m_listView8 : m_listView7;
}

void OrderLists::setCopyCardAction(QAction *action)
{
    m_copyCard = action;
    if (action)
        connect(action, &QAction::triggered, this, &OrderLists::copyCardCode);
}

void OrderLists::加载listview()
{
    m_listView7->setColumns(orderColumns(7));
    m_listView8->setColumns(orderColumns(8));
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
