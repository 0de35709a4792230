#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QTreeView>
#include <QVariant>

class QStandardItemModel;

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
// rather than by position, so the code that reads a row says which cell it
// means. Rows are numbered from the top. The first column is the row's own
// text.
//
// A list shows either a model of its own (setColumns makes one, and the
// writing calls below fill it), or a model it is given, whose columns are in
// the order of the keys; such a list is only read through these calls.
class KeyedListView : public QTreeView
{
    Q_OBJECT
public:
    explicit KeyedListView(QWidget *parent = nullptr);

    // Replaces the columns; widths are taken from the list's current width.
    // Without a model of its own given, the list makes one with these headers.
    void setColumns(const QList<ListColumn> &columns);
    QList<ListColumn> columns() const { return m_columns; }
    // Shows the model (not owned), whose columns are in the order of the keys.
    void setSourceModel(QAbstractItemModel *model);
    // -1 for a key the list does not have.
    int column(const QString &key) const;

    int rowCount() const;
    // The first row from the top whose cell under the key holds the text; -1.
    int findRow(const QString &key, const QString &text) const;
    // The selected row, or -1.
    int selectedRow() const;
    void selectRow(int row);
    QModelIndex cellIndex(int row, const QString &key) const;

    QString text(int row, const QString &key) const;
    QVariant data(int row, const QString &key, int role) const;
    // The text colour of a cell; invalid when it has the list's own.
    QColor textColor(int row, const QString &key) const;

    // Only for a list with a model of its own.
    // A new row above all others, its own text set; its number is 0.
    int insertTop(const QString &text);
    void clearRows();
    void setText(int row, const QString &key, const QString &text);
    void setData(int row, const QString &key, int role, const QVariant &value);
    void setTextColor(int row, const QString &key, const QColor &color);
    // The list's own text colour again.
    void clearTextColor(int row, const QString &key);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyWidths();

    QList<ListColumn> m_columns;
    QStandardItemModel *m_own = nullptr;
    bool m_applying = false;
    bool m_userSized = false; // a column dragged by hand keeps its width
};
