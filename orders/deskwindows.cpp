#include "orders/deskwindows.h"

#include "app/core/prompter.h"
#include "orders/decisions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QPushButton *button(const QString &name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

QTableView *table(const QString &name, QWidget *parent)
{
    auto *v = new QTableView(parent);
    v->setObjectName(name);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->verticalHeader()->hide();
    v->horizontalHeader()->setStretchLastSection(true);
    return v;
}

constexpr OrderStatus kStatuses[] = {OrderStatus::Waiting,     OrderStatus::Submitting,
                                     OrderStatus::Accepted,    OrderStatus::Recharged,
                                     OrderStatus::Refunded,    OrderStatus::Shipped,
                                     OrderStatus::SubmitFailed};

} // namespace

OrderHistoryWindow::OrderHistoryWindow(OrderHistory &history, const QString &title, QWidget *parent)
    : QWidget(parent, Qt::Window), m_history(history), m_title(title),
      m_model(new OrderHistoryModel(history, this)), m_totals(new QStandardItemModel(this))
{
    setObjectName(QStringLiteral("订单查询"));
    setWindowTitle(title + QStringLiteral("订单查询"));
    resize(900, 560);

    m_number = new QLineEdit(this);
    m_number->setObjectName(QStringLiteral("txt充值号码"));
    m_orderNo = new QLineEdit(this);
    m_orderNo->setObjectName(QStringLiteral("txt订单编号"));
    m_buyer = new QLineEdit(this);
    m_buyer->setObjectName(QStringLiteral("txt买家"));
    m_status = new QComboBox(this);
    m_status->setObjectName(QStringLiteral("cmb充值状态"));
    m_status->addItem(QStringLiteral("全部"));
    for (const OrderStatus s : kStatuses)
        m_status->addItem(s == OrderStatus::Submitting ? QStringLiteral("正在提交/结果未知")
                                                       : 状态转换(s),
                          statusNumber(s));
    m_source = new QComboBox(this);
    m_source->setObjectName(QStringLiteral("cmb来源"));
    m_source->addItem(QStringLiteral("全部"));
    for (int s = 0; s <= 2; ++s)
        m_source->addItem(sourceText(s), s);
    m_useDates = new QCheckBox(QStringLiteral("日期"), this);
    m_useDates->setObjectName(QStringLiteral("chk日期"));
    m_from = new QDateEdit(QDate::currentDate(), this);
    m_from->setObjectName(QStringLiteral("dt开始"));
    m_from->setCalendarPopup(true);
    m_from->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_to = new QDateEdit(QDate::currentDate(), this);
    m_to->setObjectName(QStringLiteral("dt结束"));
    m_to->setCalendarPopup(true);
    m_to->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));

    auto *search = button(QStringLiteral("btn查询"), QStringLiteral("查询"), this);
    m_previous = button(QStringLiteral("btn上一页"), QStringLiteral("上一页"), this);
    m_next = button(QStringLiteral("btn下一页"), QStringLiteral("下一页"), this);
    auto *exportButton = button(QStringLiteral("btn导出"), QStringLiteral("导出CSV"), this);
    auto *reprint = button(QStringLiteral("btn补打小票"), QStringLiteral("补打小票"), this);
    auto *totals = button(QStringLiteral("btn日统计"), QStringLiteral("日统计"), this);
    m_page = new QLabel(this);
    m_page->setObjectName(QStringLiteral("lbl页"));

    auto *form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("充值号码"), this), 0, 0);
    form->addWidget(m_number, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("订单编号"), this), 0, 2);
    form->addWidget(m_orderNo, 0, 3);
    form->addWidget(new QLabel(QStringLiteral("买家"), this), 0, 4);
    form->addWidget(m_buyer, 0, 5);
    form->addWidget(new QLabel(QStringLiteral("状态"), this), 1, 0);
    form->addWidget(m_status, 1, 1);
    form->addWidget(new QLabel(QStringLiteral("来源"), this), 1, 2);
    form->addWidget(m_source, 1, 3);
    auto *dates = new QHBoxLayout;
    dates->addWidget(m_useDates);
    dates->addWidget(m_from);
    dates->addWidget(new QLabel(QStringLiteral("至"), this));
    dates->addWidget(m_to);
    form->addLayout(dates, 1, 4, 1, 2);

    auto *buttons = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{search, m_previous, m_page, m_next,
                                                       exportButton, reprint, totals})
        buttons->addWidget(w);
    buttons->addStretch();

    m_results = table(QStringLiteral("lst订单"), this);
    m_results->setModel(m_model);
    m_totalsView = table(QStringLiteral("lst日统计"), this);
    m_totalsView->setModel(m_totals);
    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tab订单查询"));
    tabs->addTab(m_results, QStringLiteral("订单"));
    tabs->addTab(m_totalsView, QStringLiteral("日统计"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(tabs);

    connect(search, &QPushButton::clicked, this, &OrderHistoryWindow::runSearch);
    for (QLineEdit *e : {m_number, m_orderNo, m_buyer})
        connect(e, &QLineEdit::returnPressed, this, &OrderHistoryWindow::runSearch);
    connect(m_previous, &QPushButton::clicked, this, [this] {
        if (!m_model->previousPage())
            Prompter::instance().inform(m_title, m_model->lastError());
    });
    connect(m_next, &QPushButton::clicked, this, [this] {
        if (!m_model->nextPage())
            Prompter::instance().inform(m_title, m_model->lastError());
    });
    connect(m_model, &OrderHistoryModel::pageChanged, this, &OrderHistoryWindow::updatePager);
    connect(exportButton, &QPushButton::clicked, this, &OrderHistoryWindow::chooseExportFile);
    connect(reprint, &QPushButton::clicked, this, &OrderHistoryWindow::reprintSelected);
    connect(m_results, &QTableView::doubleClicked, this, &OrderHistoryWindow::reprintSelected);
    connect(totals, &QPushButton::clicked, this, [this, tabs] {
        showTotals();
        tabs->setCurrentWidget(m_totalsView);
    });
    updatePager();
}

OrderFilter OrderHistoryWindow::filter() const
{
    OrderFilter f;
    f.rechargeAccount = m_number->text().trimmed();
    f.orderNo = m_orderNo->text().trimmed();
    f.buyer = m_buyer->text().trimmed();
    if (m_status->currentIndex() > 0)
        f.status = statusFromNumber(m_status->currentData().toInt());
    if (m_source->currentIndex() > 0)
        f.source = m_source->currentData().toInt();
    if (m_useDates->isChecked()) {
        f.from = m_from->date();
        f.to = m_to->date();
    }
    return f;
}

void OrderHistoryWindow::runSearch()
{
    if (!m_model->search(filter()))
        Prompter::instance().inform(m_title, m_model->lastError());
}

void OrderHistoryWindow::updatePager()
{
    m_previous->setEnabled(m_model->hasPreviousPage());
    m_next->setEnabled(m_model->hasNextPage());
    m_page->setText(QStringLiteral("第 %1 页").arg(m_model->pageNumber()));
}

void OrderHistoryWindow::showTotals()
{
    // Without dates, the last 30 days.
    const QDate to = m_useDates->isChecked() ? m_to->date() : QDate::currentDate();
    const QDate from = m_useDates->isChecked() ? m_from->date() : to.addDays(-29);
    const auto source = m_source->currentIndex() > 0
                            ? std::optional<int>(m_source->currentData().toInt())
                            : std::nullopt;
    const auto totals = m_history.dailyTotals(from, to, source);
    if (!totals) {
        Prompter::instance().inform(m_title, m_history.lastError());
        return;
    }
    m_totals->clear();
    m_totals->setHorizontalHeaderLabels({QStringLiteral("日期"), QStringLiteral("来源"),
                                         QStringLiteral("订单"), QStringLiteral("成功"),
                                         QStringLiteral("失败"), QStringLiteral("未知"),
                                         QStringLiteral("销售额"), QStringLiteral("成本")});
    DailyTotal sum;
    for (const DailyTotal &t : *totals) {
        m_totals->appendRow({new QStandardItem(t.day.toString(QStringLiteral("yyyy-MM-dd"))),
                             new QStandardItem(sourceText(t.source)),
                             new QStandardItem(QString::number(t.orders)),
                             new QStandardItem(QString::number(t.succeeded)),
                             new QStandardItem(QString::number(t.failed)),
                             new QStandardItem(QString::number(t.unknown)),
                             new QStandardItem(QString::number(t.sales, 'f', 2)),
                             // The store keeps no purchase price.
                             new QStandardItem(QStringLiteral("未知"))});
        sum.orders += t.orders;
        sum.succeeded += t.succeeded;
        sum.failed += t.failed;
        sum.unknown += t.unknown;
        sum.sales += t.sales;
    }
    m_totals->appendRow({new QStandardItem(QStringLiteral("合计")), new QStandardItem(),
                         new QStandardItem(QString::number(sum.orders)),
                         new QStandardItem(QString::number(sum.succeeded)),
                         new QStandardItem(QString::number(sum.failed)),
                         new QStandardItem(QString::number(sum.unknown)),
                         new QStandardItem(QString::number(sum.sales, 'f', 2)),
                         new QStandardItem(QStringLiteral("未知"))});
}

void OrderHistoryWindow::chooseExportFile()
{
    const QString path =
        QFileDialog::getSaveFileName(this, m_title + QStringLiteral("导出订单"),
                                     QStringLiteral("订单.csv"), QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty())
        exportTo(path);
}

CsvExport *OrderHistoryWindow::exportTo(const QString &path)
{
    auto *exporter = new CsvExport(m_history, m_model->filter(), path, this);
    auto *dialog =
        new QProgressDialog(QStringLiteral("正在导出订单……"), QStringLiteral("取消"), 0, 0, this);
    dialog->setObjectName(QStringLiteral("导出进度"));
    dialog->setWindowTitle(m_title);
    dialog->setMinimumDuration(500);
    connect(dialog, &QProgressDialog::canceled, exporter, &CsvExport::cancel);
    connect(exporter, &CsvExport::progress, dialog, [dialog](int rows) {
        dialog->setLabelText(QStringLiteral("已导出 %1 笔订单……").arg(rows));
    });
    connect(
        exporter, &CsvExport::finished, this,
        [this, exporter, dialog, path](bool ok, bool cancelled) {
            dialog->deleteLater();
            exporter->deleteLater();
            if (ok)
                Prompter::instance().inform(
                    m_title,
                    QStringLiteral("已导出 %1 笔订单到 %2").arg(exporter->rowsWritten()).arg(path));
            else if (!cancelled)
                Prompter::instance().inform(m_title, QStringLiteral("导出失败，没有写入文件：") +
                                                         exporter->error());
            emit exportFinished(ok, cancelled);
        });
    exporter->start();
    return exporter;
}

void OrderHistoryWindow::reprintSelected()
{
    const QModelIndexList rows = m_results->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        Prompter::instance().inform(m_title, QStringLiteral("请先选择一笔订单"));
        return;
    }
    emit reprintRequested(m_model->orderAt(rows.first().row()));
}

// ---- UnresolvedWindow ----

UnresolvedWindow::UnresolvedWindow(UnresolvedOrders &orders, OrderDecisions &decisions,
                                   const QString &title, ProductChoices products, QWidget *parent)
    : QWidget(parent, Qt::Window), m_orders(orders), m_decisions(decisions),
      m_products(std::move(products))
{
    setObjectName(QStringLiteral("待处理订单"));
    setWindowTitle(title + QStringLiteral("待处理订单"));
    resize(900, 420);
    m_view = table(QStringLiteral("lst待处理"), this);
    m_view->setModel(&orders);
    auto *sales = button(QStringLiteral("btn销售记录"), QStringLiteral("查看销售记录"), this);
    m_recharged = button(QStringLiteral("btn已充值"), QStringLiteral("已充值"), this);
    m_notRecharged = button(QStringLiteral("btn未充值"), QStringLiteral("未充值"), this);
    m_resubmit = button(QStringLiteral("btn重新提交"), QStringLiteral("重新提交"), this);
    m_resend = button(QStringLiteral("btn重新发送"), QStringLiteral("重新发送"), this);
    m_byHand = button(QStringLiteral("btn已手工发送"), QStringLiteral("已手工发送"), this);
    auto *refresh = button(QStringLiteral("btn刷新"), QStringLiteral("刷新"), this);
    auto *buttons = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{sales, m_recharged, m_notRecharged,
                                                       m_resubmit, m_resend, m_byHand, refresh})
        buttons->addWidget(w);
    buttons->addStretch();
    m_product = new QComboBox(this);
    m_product->setObjectName(QStringLiteral("cmb商品"));
    m_product->setMinimumContentsLength(12);
    m_amount = new QComboBox(this);
    m_amount->setObjectName(QStringLiteral("cmb面值"));
    m_amount->setMinimumContentsLength(6);
    m_rechargeAs = button(QStringLiteral("btn选择商品充值"), QStringLiteral("按此商品充值"), this);
    m_dismiss = button(QStringLiteral("btn不予充值"), QStringLiteral("不予充值"), this);
    auto *unmatched = new QHBoxLayout;
    unmatched->addWidget(new QLabel(QStringLiteral("没有匹配的商品：商品"), this));
    unmatched->addWidget(m_product);
    unmatched->addWidget(new QLabel(QStringLiteral("面值"), this));
    unmatched->addWidget(m_amount);
    unmatched->addWidget(m_rechargeAs);
    unmatched->addWidget(m_dismiss);
    unmatched->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("结果未知的订单请先在销售记录中核实，再标记为已充值或未充值。"), this));
    layout->addWidget(m_view);
    layout->addLayout(buttons);
    layout->addLayout(unmatched);

    connect(sales, &QPushButton::clicked, this, &UnresolvedWindow::salesRecordsRequested);
    connect(m_recharged, &QPushButton::clicked, this, [this] { decide(0); });
    connect(m_notRecharged, &QPushButton::clicked, this, [this] { decide(1); });
    connect(m_resubmit, &QPushButton::clicked, this, [this] { decide(2); });
    connect(m_resend, &QPushButton::clicked, this, [this] { decide(5); });
    connect(m_byHand, &QPushButton::clicked, this, [this] { decide(6); });
    connect(m_rechargeAs, &QPushButton::clicked, this, [this] { decide(3); });
    connect(m_dismiss, &QPushButton::clicked, this, [this] { decide(4); });
    connect(m_product, &QComboBox::currentIndexChanged, this, &UnresolvedWindow::fillAmounts);
    const auto showStore = [this] {
        if (!m_orders.refresh())
            Prompter::instance().inform(windowTitle(), m_orders.lastError());
    };
    connect(refresh, &QPushButton::clicked, this, showStore);
    // Taken, or found taken elsewhere meanwhile: the list shows the store again.
    connect(&decisions, &OrderDecisions::decided, this, showStore);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &UnresolvedWindow::updateButtons);
    connect(&orders, &QAbstractItemModel::modelReset, this, &UnresolvedWindow::updateButtons);
    updateButtons();
}

void UnresolvedWindow::select(int row)
{
    m_view->selectRow(row);
}

void UnresolvedWindow::updateButtons()
{
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.first().row();
    const Trouble trouble = row >= 0 ? m_orders.at(row).trouble : Trouble::Unknown;
    m_recharged->setEnabled(row >= 0 && trouble == Trouble::Unknown);
    m_notRecharged->setEnabled(row >= 0 && trouble == Trouble::Unknown);
    m_resubmit->setEnabled(row >= 0 && trouble == Trouble::SubmitFailed);
    const bool unmatched = row >= 0 && trouble == Trouble::Unmatched;
    if (unmatched)
        fillProducts(m_orders.at(row).unmatched);
    m_product->setEnabled(unmatched);
    m_amount->setEnabled(unmatched);
    m_rechargeAs->setEnabled(unmatched);
    m_dismiss->setEnabled(unmatched);
    const std::optional<HandOver> handOver =
        row >= 0 ? m_orders.at(row).handOver : std::optional<HandOver>();
    m_resend->setEnabled(handOver && handOver->state == HandOverState::Failed);
    m_byHand->setEnabled(handOver.has_value());
}

void UnresolvedWindow::fillProducts(const UnmatchedOrder &order)
{
    m_choices = m_products ? m_products() : QList<ProductChoice>();
    m_preferredAmount = order.quantityText;
    const QSignalBlocker blocker(m_product);
    m_product->clear();
    for (const ProductChoice &choice : std::as_const(m_choices))
        m_product->addItem(choice.name);
    m_product->setCurrentIndex(m_choices.isEmpty() ? -1 : 0);
    fillAmounts();
}

void UnresolvedWindow::fillAmounts()
{
    m_amount->clear();
    const int index = m_product->currentIndex();
    if (index < 0 || index >= m_choices.size())
        return;
    m_amount->addItems(m_choices.at(index).amounts);
    m_amount->setCurrentIndex(qMax(0, m_amount->findText(m_preferredAmount)));
}

void UnresolvedWindow::decide(int which)
{
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    // A copy: a decision refreshes the list under it.
    const UnresolvedOrder row = m_orders.at(rows.first().row());
    const RechargeOrder &order = row.order;
    const UnmatchedOrder &unmatched = row.unmatched;
    // The list follows OrderDecisions::decided.
    switch (which) {
    case 0:
        m_decisions.markRecharged(order);
        break;
    case 1:
        m_decisions.markNotRecharged(order);
        break;
    case 2:
        m_decisions.resubmit(order);
        break;
    case 3:
        if (row.trouble == Trouble::Unmatched)
            m_decisions.rechargeUnmatched(unmatched, m_product->currentText(),
                                          m_amount->currentText());
        break;
    case 4:
        if (row.trouble == Trouble::Unmatched)
            m_decisions.dismissUnmatched(unmatched);
        break;
    case 5:
        if (row.handOver)
            m_decisions.resendHandOver(*row.handOver);
        break;
    case 6:
        if (row.handOver)
            m_decisions.markHandedByHand(*row.handOver);
        break;
    }
}
