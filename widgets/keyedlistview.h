#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QTreeWidget>

// One column of a report list: its key, its header and its width as a
// fraction of the list's width. Width 0 is a hidden column that still holds
// data.
struct ListColumn
{
    QString key;
    QString header;
    double width;
};

// A report-style list whose cells are found by column key ("t7", "t11", …)
// rather than by position, so the code that finds a row and rewrites a cell
// says which cell it means. The first column is the row's own text.
class KeyedListView : public QTreeWidget
{
    Q_OBJECT
public:
    explicit KeyedListView(QWidget *parent = nullptr);

    // Replaces the columns; widths are taken from the list's current width.
    void setColumns(const QList<ListColumn> &columns);
    QList<ListColumn> columns() const { return m_columns; }
    // -1 for a key the list does not have.
    int column(const QString &key) const;

    // A new row above all others, its own text set.
    QTreeWidgetItem *insertTop(const QString &text);
    QTreeWidgetItem *row(int index) const { return topLevelItem(index); }
    int rowCount() const { return topLevelItemCount(); }
    // The first row from the top whose cell under the key holds the text.
    QTreeWidgetItem *findRow(const QString &key, const QString &text) const;
    QTreeWidgetItem *selectedRow() const;

    QString text(const QTreeWidgetItem *row, const QString &key) const;
    void setText(QTreeWidgetItem *row, const QString &key, const QString &text);
    void setTextColor(QTreeWidgetItem *row, const QString &key, const QColor &color);
    // The list's own text colour again.
    void clearTextColor(QTreeWidgetItem *row, const QString &key);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyWidths();

    QList<ListColumn> m_columns;
    bool m_applying = false;
    bool m_userSized = false; // a column dragged by hand keeps its width
};
