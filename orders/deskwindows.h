#pragma once

#include "orders/decisions.h"
#include "orders/orderhistory.h"

#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;
class UnresolvedOrders;

// The agent's order history: a search over the whole store, a page at a
// time; the daily totals of a range; the export of the search to CSV; and
// the reprint of a found order's receipt.
class OrderHistoryWindow : public QWidget
{
    Q_OBJECT
public:
    OrderHistoryWindow(OrderHistory &history, const QString &title, QWidget *parent = nullptr);

    OrderHistoryModel *model() const { return m_model; }
    QStandardItemModel *totals() const { return m_totals; }
    // The filter the controls describe.
    OrderFilter filter() const;
    void runSearch();
    void showTotals();
    // Exports the last search into path with a progress dialog; the dialog's
    // cancel leaves no file. Returns the export (running) or nullptr.
    CsvExport *exportTo(const QString &path);
    // The selected order's receipt, again.
    void reprintSelected();

signals:
    // Form24 prints it; nothing else here knows the printer.
    void reprintRequested(const RechargeOrder &order);
    void exportFinished(bool ok, bool cancelled);

private:
    void updatePager();
    void chooseExportFile();

    OrderHistory &m_history;
    QString m_title;
    OrderHistoryModel *m_model;
    QStandardItemModel *m_totals;
    QLineEdit *m_number;
    QLineEdit *m_orderNo;
    QLineEdit *m_buyer;
    QComboBox *m_status;
    QComboBox *m_source;
    QCheckBox *m_useDates;
    QDateEdit *m_from;
    QDateEdit *m_to;
    QTableView *m_results;
    QTableView *m_totalsView;
    QLabel *m_page;
    QPushButton *m_previous;
    QPushButton *m_next;
};

// The orders that need the agent, and the hand decisions on them. A paid
// shop order no product matched is recharged as the product and amount the
// agent chooses from the catalogue (products), or not at all.
class UnresolvedWindow : public QWidget
{
    Q_OBJECT
public:
    using ProductChoices = std::function<QList<ProductChoice>()>;

    UnresolvedWindow(UnresolvedOrders &orders, OrderDecisions &decisions, const QString &title,
                     ProductChoices products = {}, QWidget *parent = nullptr);

    QTableView *view() const { return m_view; }
    void select(int row);

signals:
    // The platform's sales records, where the agent checks an unknown order.
    void salesRecordsRequested();

private:
    void decide(int which);
    void updateButtons();
    // The catalogue's products for the selected unmatched order, and the
    // amounts of the product chosen, the bought count chosen when offered.
    void fillProducts(const UnmatchedOrder &order);
    void fillAmounts();

    UnresolvedOrders &m_orders;
    OrderDecisions &m_decisions;
    ProductChoices m_products;
    QList<ProductChoice> m_choices;
    QString m_preferredAmount;
    QTableView *m_view;
    QPushButton *m_recharged;
    QPushButton *m_notRecharged;
    QPushButton *m_resubmit;
    QPushButton *m_resend;
    QPushButton *m_byHand;
    QComboBox *m_product;
    QComboBox *m_amount;
    QPushButton *m_rechargeAs;
    QPushButton *m_dismiss;
};
