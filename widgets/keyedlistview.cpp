#include "widgets/keyedlistview.h"

#include <QHeaderView>
#include <QScopedValueRollback>
#include <QStandardItemModel>

KeyedListView::KeyedListView(QWidget *parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true); // full-row selection, as a report list has
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setMinimumSectionSize(0);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionResized, this, [this] {
        if (!m_applying)
            m_userSized = true;
    });
}

void KeyedListView::setColumns(const QList<ListColumn> &columns)
{
    m_columns = columns;
    if (!model() || m_own) {
        if (!m_own) {
            m_own = new QStandardItemModel(this);
            setModel(m_own);
        }
        QStringList headers;
        for (const ListColumn &c : columns)
            headers << c.header;
        m_own->setColumnCount(int(columns.size()));
        m_own->setHorizontalHeaderLabels(headers);
    }
    applyWidths();
}

void KeyedListView::setSourceModel(QAbstractItemModel *model)
{
    if (m_own) {
        setModel(nullptr);
        delete m_own;
        m_own = nullptr;
    }
    setModel(model);
    applyWidths();
}

void KeyedListView::applyWidths()
{
    const QScopedValueRollback applying(m_applying, true);
    const int total = qMax(viewport()->width(), 400);
    for (int i = 0; i < m_columns.size(); ++i) {
        const double w = m_columns[i].width;
        setColumnHidden(i, w <= 0);
        if (w > 0)
            setColumnWidth(i, int(total * w));
    }
}

void KeyedListView::resizeEvent(QResizeEvent *event)
{
    QTreeView::resizeEvent(event);
    // Columns are set up before the window has its size; the fractions are
    // meant of the width the agent sees.
    if (!m_userSized)
        applyWidths();
}

int KeyedListView::column(const QString &key) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].key == key)
            return i;
    }
    return -1;
}

int KeyedListView::rowCount() const
{
    return model() ? model()->rowCount() : 0;
}

QModelIndex KeyedListView::cellIndex(int row, const QString &key) const
{
    const int c = column(key);
    if (!model() || c < 0 || row < 0 || row >= model()->rowCount())
        return {};
    return model()->index(row, c);
}

int KeyedListView::findRow(const QString &key, const QString &text) const
{
    const int c = column(key);
    if (c < 0 || !model())
        return -1;
    for (int i = 0; i < model()->rowCount(); ++i) {
        if (model()->index(i, c).data().toString() == text)
            return i;
    }
    return -1;
}

int KeyedListView::selectedRow() const
{
    if (!selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void KeyedListView::selectRow(int row)
{
    if (model() && row >= 0 && row < model()->rowCount())
        setCurrentIndex(model()->index(row, 0));
}

QString KeyedListView::text(int row, const QString &key) const
{
    return cellIndex(row, key).data().toString();
}

QVariant KeyedListView::data(int row, const QString &key, int role) const
{
    return cellIndex(row, key).data(role);
}

QColor KeyedListView::textColor(int row, const QString &key) const
{
    const QVariant v = cellIndex(row, key).data(Qt::ForegroundRole);
    if (v.canConvert<QBrush>())
        return v.value<QBrush>().color();
    return v.value<QColor>();
}

int KeyedListView::insertTop(const QString &text)
{
    if (!m_own)
        return -1;
    QList<QStandardItem *> items;
    for (int c = 0; c < m_own->columnCount(); ++c)
        items << new QStandardItem;
    if (!items.isEmpty())
        items.first()->setText(text);
    m_own->insertRow(0, items);
    return 0;
}

void KeyedListView::clearRows()
{
    if (m_own)
        m_own->setRowCount(0);
}

void KeyedListView::setText(int row, const QString &key, const QString &text)
{
    setData(row, key, Qt::DisplayRole, text);
}

void KeyedListView::setData(int row, const QString &key, int role, const QVariant &value)
{
    const QModelIndex index = cellIndex(row, key);
    if (m_own && index.isValid())
        m_own->setData(index, value, role);
}

void KeyedListView::setTextColor(int row, const QString &key, const QColor &color)
{
    setData(row, key, Qt::ForegroundRole, QBrush(color));
}

void KeyedListView::clearTextColor(int row, const QString &key)
{
    setData(row, key, Qt::ForegroundRole, QVariant());
}
