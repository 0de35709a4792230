#include "widgets/keyedlistview.h"

#include <QHeaderView>
#include <QScopedValueRollback>

KeyedListView::KeyedListView(QWidget *parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true); // full-row selection, as a report list has
    setSelectionMode(QAbstractItemView::SingleSelection);
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
    QStringList headers;
    for (const ListColumn &c : columns)
        headers << c.header;
    setColumnCount(int(columns.size()));
    setHeaderLabels(headers);
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
    QTreeWidget::resizeEvent(event);
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

QTreeWidgetItem *KeyedListView::insertTop(const QString &text)
{
    auto *item = new QTreeWidgetItem;
    item->setText(0, text);
    insertTopLevelItem(0, item);
    return item;
}

QTreeWidgetItem *KeyedListView::findRow(const QString &key, const QString &text) const
{
    const int c = column(key);
    if (c < 0)
        return nullptr;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = topLevelItem(i);
        if (item->text(c) == text)
            return item;
    }
    return nullptr;
}

QTreeWidgetItem *KeyedListView::selectedRow() const
{
    const QList<QTreeWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QString KeyedListView::text(const QTreeWidgetItem *row, const QString &key) const
{
    const int c = column(key);
    return row && c >= 0 ? row->text(c) : QString();
}

void KeyedListView::setText(QTreeWidgetItem *row, const QString &key, const QString &text)
{
    const int c = column(key);
    if (row && c >= 0)
        row->setText(c, text);
}

void KeyedListView::setTextColor(QTreeWidgetItem *row, const QString &key, const QColor &color)
{
    const int c = column(key);
    if (row && c >= 0)
        row->setForeground(c, color);
}

void KeyedListView::clearTextColor(QTreeWidgetItem *row, const QString &key)
{
    const int c = column(key);
    if (row && c >= 0)
        row->setData(c, Qt::ForegroundRole, QVariant());
}
