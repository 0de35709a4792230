#include "app/ui/form2.h"

#include "app/core/accountfigures.h"
#include "app/core/config.h"
#include "app/core/gbk.h"
#include "app/core/launcher.h"
#include "app/core/platform.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/ui/accountpage.h"
#include "app/ui/desk.h"
#include "app/ui/tray.h"
#include "app/web/browser.h"
#include "app/web/transfer.h"
#include "app/web/webprofile.h"
#include "inventory/form12.h"
#include "inventory/form16.h"
#include "inventory/form7.h"
#include "orders/form24.h"
#include "orders/form26.h"
#include "orders/orderintake.h"
#include "orders/orderlists.h"
#include "orders/orderstore.h"
#include "orders/printhost.h"
#include "recharge/cataloguecontroller.h"
#include "recharge/cataloguelist.h"
#include "recharge/manualpanel.h"
#include "recharge/statustracker.h"
#include "recharge/submission.h"
#include "recharge/titlegeneratorpanel.h"
#include "shop/agentsession.h"
#include "shop/shopview.h"
#include "tools/balanceexchange.h"
#include "tools/balancequery.h"
#include "tools/form25.h"
#include "tools/form35.h"
#include "widgets/ibutton.h"
#include "widgets/namedwidgets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedLayout>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace {

const QString kUnitYuan = QStringLiteral(" 元");

} // namespace

Form2::Form2(std::unique_ptr<AgentSession> session, PrintHost *printHost, QWidget *parent)
    : QMainWindow(parent), m_session(std::move(session)),
      m_ownPrintHost(printHost ? nullptr : std::make_unique<DialogPrintHost>()),
      m_printHost(printHost ? printHost : m_ownPrintHost.get()),
      m_keepRunning(std::make_unique<QEventLoopLocker>())
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_commands = buildCommandMenu(menuBar());
    buildPanels();

    m_notice = new Browser(this);
    m_notice->setObjectName(QStringLiteral("notice"));
    m_webckm = new Browser(this);
    m_webckm->setObjectName(QStringLiteral("Webckm"));
    m_webjymm = new Browser(this);
    m_webjymm->setObjectName(QStringLiteral("Webjymm"));
    // Hidden: the page only makes the messenger open the chat.
    m_webww = new Browser(m_frame4);
    m_webww->setObjectName(QStringLiteral("Webww"));

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer"));
    m_timer->setInterval(30000);

    m_tray = new TrayController(this, m_commands.menus.value(QStringLiteral("menu")));
    m_alertSink =
        std::make_unique<TrayAlertSink>(*m_tray, [this](const QString &text) { showStatus(text); });
    m_desk = std::make_unique<Desk>(*m_session, *m_alertSink, SessionInfo().appTitle,
                                    SessionInfo().userName, QDir::currentPath());
    connect(m_desk.get(), &Desk::salesRecordsRequested, this,
            [this] { openAccountPage(QStringLiteral("Form4")); });
    connect(m_desk.get(), &Desk::reprintRequested, this, &Form2::reprintReceipt);

    auto *central = centralWidget();
    auto *noticeFrame = central->findChild<QGroupBox *>(QStringLiteral("noticeFrame"));
    noticeFrame->layout()->addWidget(m_notice->createView(noticeFrame));

    connect(m_notice, &Browser::documentComplete, this, &Form2::onNoticeLoaded);
    connect(m_webjymm, &Browser::documentComplete, this, &Form2::onTradePasswordPage);
    connect(m_command1, &QPushButton::clicked, this, &Form2::submitTradePassword);
    connect(m_text1, &QLineEdit::returnPressed, this, &Form2::submitTradePassword);
    connect(m_timer, &QTimer::timeout, this, &Form2::refreshAccountFigures);

    wireSession();
    wireShops();
    m_orderLists->setCopyCardAction(m_commands.actions.value(QStringLiteral("m复制卡密")));
    m_orderLists->setOrderMenu(m_commands.menus.value(QStringLiteral("打印")));
    installCommands();
    resize(980, 640);
}

Form2::~Form2()
{
    // The pages hold this window as their host; none may outlive it.
    for (const QPointer<QWidget> &window : std::as_const(m_windows))
        delete window.data();
}

CatalogueController *Form2::catalogue() const
{
    return &m_session->catalogue();
}

SubmissionController *Form2::submission() const
{
    return &m_session->submission();
}

StatusTracker *Form2::statusTracker() const
{
    return &m_session->tracker();
}

OrderStore *Form2::orderStore() const
{
    return &m_session->store();
}

OrderIntake *Form2::orderIntake() const
{
    return &m_session->intake();
}

void Form2::buildPanels()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);

    auto *toolbar = new QWidget(central);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    buildToolbar(toolbar);

    // Account panel.
    auto *account = new QGroupBox(QStringLiteral("帐户信息"), central);
    account->setObjectName(QStringLiteral("accountPanel"));
    auto *column = new QVBoxLayout(account);
    m_jusername = namedLabel("jusername", {}, account);
    m_userid1 = namedLabel("userid1", {}, account);
    m_label4 = namedLabel("Label4", {}, account);
    m_jprice = namedLabel("jprice", {}, account);
    m_label11 = namedLabel("Label11", {}, account);
    m_label33 = namedLabel("Label33", {}, account);
    m_label32 = namedLabel("Label32", {}, account);
    m_label7 = namedLabel("Label7", QStringLiteral("刷新"), account);
    m_label7->setCursor(Qt::PointingHandCursor);
    m_label7->setStyleSheet(QStringLiteral("color: #0000ff; text-decoration: underline;"));
    m_label7->installEventFilter(this);
    auto *balanceRow = new QHBoxLayout;
    balanceRow->addWidget(m_jprice);
    balanceRow->addStretch();
    balanceRow->addWidget(m_label7);
    column->addWidget(m_jusername);
    column->addWidget(m_userid1);
    column->addWidget(m_label4);
    column->addLayout(balanceRow);
    column->addWidget(m_label11);
    column->addWidget(m_label33);
    column->addWidget(m_label32);
    column->addStretch();

    // The manual recharge frame, covered by the unlock frame until the
    // transaction password has been accepted.
    auto *manualArea = new QWidget(central);
    auto *stack = new QStackedLayout(manualArea);
    stack->setStackingMode(QStackedLayout::StackAll);
    m_manualFrame = new QWidget(manualArea);
    m_manualFrame->setObjectName(QStringLiteral("manualArea"));
    auto *manual = new QVBoxLayout(m_manualFrame);
    manual->setContentsMargins(0, 0, 0, 0);
    m_manualPanel = new ManualRechargePanel(
        [this](const NewOrder &order) { return m_session->intake().插入新订单(order); },
        [this](int kind) { m_session->submission().充值订单请求(kind); },
        [this](const QString &product, const QString &amount, int source) {
            return m_session->catalogue().判断业务名称(product, amount, source);
        },
        m_manualFrame);
    manual->addWidget(m_manualPanel);
    m_label3 = namedLabel("Label3", tradeCountText(0), m_manualFrame);
    manual->addWidget(m_label3);

    m_frame4 = new QGroupBox(manualArea);
    m_frame4->setObjectName(QStringLiteral("Frame4"));
    m_frame4->setAutoFillBackground(true);
    auto *unlock = new QGridLayout(m_frame4);
    m_label10 = namedLabel("Label10", QStringLiteral("输入交易密码："), m_frame4);
    m_text1 = new QLineEdit(m_frame4);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setEchoMode(QLineEdit::Password);
    m_text1->installEventFilter(this);
    m_command1 = new QPushButton(QStringLiteral("激活"), m_frame4);
    m_command1->setObjectName(QStringLiteral("Command1"));
    unlock->setRowStretch(0, 1);
    unlock->addWidget(m_label10, 1, 0);
    unlock->addWidget(m_text1, 1, 1);
    unlock->addWidget(m_command1, 1, 2);
    unlock->setRowStretch(2, 1);
    // Ticked and not shown; it switches the messenger hand-over.
    m_check1 = new QCheckBox(QStringLiteral("旺旺发卡密"), m_frame4);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_check1->setChecked(true);
    m_check1->hide();
    stack->addWidget(m_manualFrame);
    stack->addWidget(m_frame4);

    // The tab control of the shop monitor and the notice.
    m_sstab1 = new QTabWidget(central);
    m_sstab1->setObjectName(QStringLiteral("SSTab1"));
    const QString captions[] = {QStringLiteral("淘宝店铺监控"), QStringLiteral("拍拍店铺监控 "),
                                QStringLiteral("卡密自动发送"), QStringLiteral("标题生成器"),
                                QStringLiteral("不能发货商品")};
    int index = 0;
    for (const QString &caption : captions) {
        auto *page = new QWidget(m_sstab1);
        page->setObjectName(QStringLiteral("SSTab1Page%1").arg(index++));
        new QVBoxLayout(page);
        m_sstab1->addTab(page, caption);
    }
    m_orderLists = new OrderLists(m_session->book(), this);
    m_sstab1->widget(0)->layout()->addWidget(m_orderLists->listView7());
    m_sstab1->widget(1)->layout()->addWidget(m_orderLists->listView8());
    m_sstab1->widget(2)->layout()->addWidget(m_orderLists->listView2());
    m_titleGenerator =
        new TitleGeneratorPanel(m_session->catalogue().catalogue(), m_sstab1->widget(3));
    m_sstab1->widget(3)->layout()->addWidget(m_titleGenerator);
    m_sstab1->widget(3)->layout()->addWidget(m_orderLists->listViewPlist());
    m_list反馈 = new QListWidget(this);
    m_list反馈->setObjectName(QStringLiteral("List反馈"));
    m_list反馈->hide();
    // After the four tabs of the design: the shop orders that no catalogue
    // product matched wait here, and at the desk, for the agent.
    m_list2 = new QListView(m_sstab1->widget(4));
    m_list2->setObjectName(QStringLiteral("List2"));
    m_list2->setModel(&m_session->unmatchedList());
    m_list2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_sstab1->widget(4)->layout()->addWidget(m_list2);
    auto *noticeFrame = new QGroupBox(QStringLiteral("公告"), central);
    noticeFrame->setObjectName(QStringLiteral("noticeFrame"));
    new QVBoxLayout(noticeFrame);

    auto *grid = new QGridLayout(central);
    grid->addWidget(toolbar, 0, 0, 1, 2);
    auto *left = new QVBoxLayout;
    left->addWidget(account);
    left->addWidget(manualArea, 1);
    grid->addLayout(left, 1, 0);
    auto *right = new QVBoxLayout;
    m_shopView = new ShopMonitorView(m_session->monitor(), m_sstab1, account, this);
    column->addWidget(m_shopView->labels());
    right->addWidget(m_shopView->area(), 3);
    right->addWidget(noticeFrame, 1);
    grid->addLayout(right, 1, 1);
    grid->setColumnStretch(1, 1);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("状态栏"));
    setStatusBar(m_statusBar);
}

void Form2::buildToolbar(QWidget *parent)
{
    auto *row = new QHBoxLayout(parent);
    row->setContentsMargins(0, 0, 0, 0);
    for (int n = 1; n <= 10; ++n) {
        auto *button = new iButton(parent);
        button->setObjectName(QStringLiteral("iButton%1").arg(n));
        button->setBackPicture(QPixmap(QStringLiteral(":/buttons/toolbar%1.png").arg(n)));
        m_toolbar.insert(n, button);
        row->addWidget(button);
    }
    row->addStretch();

    const auto as = [this](int n, const QString &command) {
        connect(m_toolbar.value(n), &iButton::Click, this,
                [this, command] { runCommand(command); });
    };
    as(1, QStringLiteral("监控拍拍"));
    connect(m_toolbar.value(2), &iButton::Click, this, [this] {
        emit sellerNickResetRequested(); // even while the gate is shut
        runCommand(QStringLiteral("监控淘宝"));
    });
    as(3, QStringLiteral("硬件绑定"));
    as(4, QStringLiteral("程序加款"));
    as(5, QStringLiteral("开通代理"));
    as(6, QStringLiteral("产品销售"));
    as(8, QStringLiteral("无限卡密"));
    as(9, QStringLiteral("m代理网站生成"));
    connect(m_toolbar.value(10), &iButton::Click, this, &Form2::showWholesaleMessage);
}

void Form2::installCommands()
{
    const struct
    {
        const char *command;
        const char *form;
    } pages[] = {
        {"帐号信息", "Form5"},    {"密码修改", "Form11"},  {"硬件绑定", "Form23"},
        {"程序加款", "Form10"},   {"余额转账", "Form9"},   {"余额提现", "Form15"},
        {"M佣金管理", "Form49"},  {"产品销售", "Form4"},   {"下级销售", "Form8"},
        {"mWAP手机版", "Form27"}, {"开通代理", "Form6"},   {"m快递查询", "Form28"},
        {"m建议投诉", "Form31"},  {"视频教程", "Form17"},  {"m娱乐小游戏", "Form29"},
        {"开通供货", "Form20"},   {"酒店预订", "Form21"},  {"预订查询", "Form22"},
        {"m实体加盟", "Form34"},  {"m私人贷款", "Form32"},
    };
    for (const auto &page : pages) {
        const QString form = QString::fromUtf8(page.form);
        setCommandHandler(QString::fromUtf8(page.command), [this, form] { openAccountPage(form); });
    }
    setCommandHandler(QStringLiteral("商品管理"), [this] {
        m_supplyMode = true;
        openAccountPage(QStringLiteral("Form19"));
    });
    setCommandHandler(QStringLiteral("充值管理"), [this] {
        m_supplyMode = false;
        openAccountPage(QStringLiteral("Form19"));
    });
    setCommandHandler(QStringLiteral("复制订单"), [this] {
        m_orderLists->复制订单(m_sstab1->tabText(m_sstab1->currentIndex()));
    });
    setCommandHandler(QStringLiteral("打印收据"), [this] { 打印收据(); });
    // The receipt settings file lives in the working directory.
    setCommandHandler(QStringLiteral("打印设置"), [this] {
        openWindow(QStringLiteral("Form26"), [] { return new Form26(QDir::currentPath()); });
    });
    // Opens the receipt as it stands; an open one is only brought forward.
    setCommandHandler(QStringLiteral("打印小票"), [this] { openReceipt(false); });
    // The goods and card-code files live in the working directory.
    setCommandHandler(QStringLiteral("货物设置"), [this] {
        openWindow(QStringLiteral("Form7"), [] { return new Form7(QDir::currentPath()); });
    });
    setCommandHandler(QStringLiteral("自存卡密"), [this] {
        openWindow(QStringLiteral("Form16"), [] { return new Form16(QDir::currentPath()); });
    });
    setCommandHandler(QStringLiteral("无限卡密"),
                      [this] { openWindow(QStringLiteral("Form12"), [] { return new Form12; }); });
    setCommandHandler(QStringLiteral("话费查询"), [this] {
        openWindow(QStringLiteral("Form25"),
                   [] { return new Form25(WebProfile::instance().networkAccess()); });
    });
    setCommandHandler(QStringLiteral("m代理网站生成"), [this] {
        openWindow(QStringLiteral("Form35"),
                   [] { return new Form35(WebProfile::instance().networkAccess()); });
    });
    setCommandHandler(QStringLiteral("m订单查询"), [this] {
        openWindow(QStringLiteral("订单查询"), [this] { return m_desk->createHistoryWindow(); });
    });
    setCommandHandler(QStringLiteral("m待处理订单"), [this] {
        openWindow(QStringLiteral("待处理订单"),
                   [this] { return m_desk->createUnresolvedWindow(); });
    });
    setCommandHandler(QStringLiteral("m提醒设置"), [this] { m_desk->editAlertSettings(); });
    setCommandHandler(QStringLiteral("退出系统"), [this] { exitClient(); });
    setCommandHandler(QStringLiteral("退出"), [this] { exitClient(); });
    setCommandHandler(QStringLiteral("m计算器"), [] {
        Launcher::instance().startDetached(currentConfig().calculatorProgram, {});
    });
    setCommandHandler(QStringLiteral("官方网站"),
                      [this] { openExternal(currentConfig().officialSiteUrl); });
    setCommandHandler(QStringLiteral("数据包下载"),
                      [this] { openExternal(currentConfig().dataPackageUrl); });
    for (const CommandEntry &entry : commandTable()) {
        const QString name = QString::fromUtf8(entry.name);
        if (isWholesaleEntry(name))
            setCommandHandler(name, [this] { showWholesaleMessage(); });
    }

    for (auto it = m_commands.actions.cbegin(); it != m_commands.actions.cend(); ++it) {
        if (m_commands.menus.contains(it.key()))
            continue; // a submenu opens; it does nothing of its own
        const QString name = it.key();
        connect(it.value(), &QAction::triggered, this, [this, name] { runCommand(name); });
    }
}

void Form2::setCommandHandler(const QString &name, std::function<void()> handler)
{
    m_handlers.insert(name, std::move(handler));
}

void Form2::runCommand(const QString &name)
{
    const CommandEntry *entry = findCommand(name);
    if (entry && entry->gated && !unlocked())
        return; // silently, as the agent has not entered the trade password yet
    const auto handler = m_handlers.constFind(name);
    if (handler != m_handlers.cend() && *handler)
        (*handler)();
}

bool Form2::unlocked() const
{
    return m_frame4->isHidden();
}

QWidget *Form2::openWindow(const QString &name, const std::function<QWidget *()> &create)
{
    QPointer<QWidget> &slot = m_windows[name];
    if (!slot) {
        QWidget *window = create();
        if (!window) {
            m_windows.remove(name);
            return nullptr;
        }
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (window->windowIcon().isNull())
            window->setWindowIcon(windowIcon());
        slot = window;
    }
    QWidget *window = slot;
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void Form2::openAccountPage(const QString &formName)
{
    openWindow(formName, [this, formName] { return createAccountPage(formName, this); });
}

void Form2::openExternal(const QString &url)
{
    if (!url.isEmpty())
        Launcher::instance().openUrl(url);
}

void Form2::showWholesaleMessage()
{
    Prompter::instance().inform(SessionInfo().appTitle, kWholesaleMessage);
}

void Form2::load()
{
    // 1.
    m_frame4->raise();
    m_frame4->show();
    qobject_cast<QStackedLayout *>(m_frame4->parentWidget()->layout())->setCurrentWidget(m_frame4);
    m_statusBar->hide();
    m_sstab1->setTabEnabled(3, false);
    // 2.
    加载配置();
    // 3.
    获取商品信息();
    // 4.
    const SessionInfoRecord &session = SessionInfo();
    setWindowTitle(session.appTitle);
    // 6.
    const ClientConfig &config = currentConfig();
    m_webckm->navigate(config.platformPage(QStringLiteral("jcform.asp")));
    m_notice->navigate(config.platformPage(QStringLiteral("notice.asp?sessionkey=")) +
                       session.sessionKey);
    m_manualPanel->loadBusinesses();
    // 7.
    m_jusername->setText(QStringLiteral("用户名称：") + session.userName);
    m_userid1->setText(QStringLiteral("用户编号：  ") + session.userId);
    m_label4->setText(QStringLiteral("用户类型： ") + session.userLevel);
    m_jprice->setText(session.balance + kUnitYuan);
    m_desk->alerts().balanceText(session.balance);
    m_label11->setText(QStringLiteral("冻结资金： ") + session.frozenFunds + kUnitYuan);
    // 8.
    m_label3->setText(tradeCountText(0));
    m_exiting = false;
    // 9. Today's orders, the pending feedback, the polls and the delivery.
    m_session->start();
    加载状态栏();

    m_timer->start();
}

void Form2::淘宝拍拍发货()
{
    m_session->delivery().淘宝拍拍发货();
}

void Form2::wireSession()
{
    CatalogueController *catalogue = &m_session->catalogue();
    connect(catalogue, &CatalogueController::rowsAdded, this, [this](qsizetype count) {
        showCatalogueRows(m_orderLists->listViewPlist(), m_session->catalogue().catalogue(), count);
    });
    connect(catalogue, &CatalogueController::categoriesLoaded, m_titleGenerator,
            &TitleGeneratorPanel::addCategories);
    // A step of an order the store did not keep: its row says so too.
    connect(&m_session->ledger(), &OrderLedger::notSaved, this,
            [this](const QString &, const QString &text) { showStatus(text); });
    connect(m_session.get(), &RechargeSession::storeUnavailable, this, [](const QString &text) {
        Prompter::instance().inform(SessionInfo().appTitle + QStringLiteral("提醒您"), text);
    });
    connect(catalogue, &CatalogueController::catalogueMissing, this, [](const QString &reason) {
        // Without a catalogue every order is refused; the agent must know why.
        QString text = QStringLiteral("商品列表没有取到，订单无法匹配商品；客户端会每隔一会儿重新获"
                                      "取，取到之前订单不会被接收");
        if (!reason.isEmpty())
            text += QStringLiteral("（") + reason + QStringLiteral("）");
        Prompter::instance().inform(SessionInfo().appTitle + QStringLiteral("提醒您"), text);
    });
    connect(&m_session->feedback(), &FeedbackQueue::changed, m_list反馈,
            [this](const QStringList &lines) {
                m_list反馈->clear();
                m_list反馈->addItems(lines);
            });

    SubmissionController *submission = &m_session->submission();
    connect(submission, &SubmissionController::balanceTextChanged, this, &Form2::setBalanceText);
    connect(submission, &SubmissionController::tradeCountChanged, m_label3,
            [this](int, const QString &text) { m_label3->setText(text); });
    connect(submission, &SubmissionController::czMayBeEnabled, m_manualPanel,
            [this] { m_manualPanel->setRechargeEnabled(true); });
    connect(submission, &SubmissionController::manualBusyChanged, m_manualPanel,
            &ManualRechargePanel::setSubmissionBusy);
    connect(m_manualPanel, &ManualRechargePanel::balanceQueryRequested, this,
            &Form2::openBalanceQuery);
    connect(m_manualPanel, &ManualRechargePanel::quickQueryRequested, this,
            &Form2::quickBalanceQuery);
    connect(&m_session->tracker(), &StatusTracker::recordIgnored, this, &Form2::showStatus);
    connect(m_manualPanel, &ManualRechargePanel::preSaleReceiptRequested, this, &Form2::售前打印);
}

Form24 *Form2::openReceipt(bool reload)
{
    bool created = false;
    auto *form = qobject_cast<Form24 *>(openWindow(QStringLiteral("Form24"), [this, &created] {
        created = true;
        return new Form24(*m_printHost, QDir::currentPath());
    }));
    if (form && (created || reload))
        form->load(m_receiptInfo);
    return form;
}

void Form2::打印收据()
{
    const QString orderNo =
        m_orderLists->selectedOrderNo(m_sstab1->tabText(m_sstab1->currentIndex()));
    const OrderBook &book = m_session->book();
    const int row = book.rowOf(orderNo);
    if (orderNo.isEmpty() || row < 0)
        return;
    const OrderEntry e = book.at(row);
    m_receiptInfo = orderCellText(e, QStringLiteral("t9"));
    // An open window is laid out again too: the info line of the order
    // asked for before must not stand on this one's receipt.
    Form24 *form = openReceipt(true);
    if (!form)
        return;
    form->fillOrder(orderCellText(e, QStringLiteral("t1")), orderCellText(e, QStringLiteral("t2")),
                    orderCellText(e, QStringLiteral("t3")), orderCellText(e, QStringLiteral("t5")));
}

void Form2::售前打印(const QString &number, const QString &product, const QString &amount)
{
    m_receiptInfo.clear();
    Form24 *form = openReceipt(true);
    if (!form)
        return;
    form->fillPreSale(number, product, amount, orderTimeText(CurrentDateTime()));
}

void Form2::openBalanceQuery(const QString &number)
{
    if (number.size() != 11 && number.size() != 12)
        return;
    auto *form = qobject_cast<Form25 *>(openWindow(QStringLiteral("Form25"), [] {
        return new Form25(WebProfile::instance().networkAccess());
    }));
    if (form)
        form->queryFromMainWindow(number);
}

void Form2::quickBalanceQuery(const QString &number, const QString &region)
{
    if (!quickQueryApplies(number, region))
        return;
    if (!m_winsock1) {
        m_winsock1 = new BalanceExchange(this);
        m_winsock1->setObjectName(QStringLiteral("Winsock1"));
        connect(m_winsock1, &BalanceExchange::replied, m_manualPanel, [this](const QString &reply) {
            m_manualPanel->setQuickQueryText(quickQueryResult(reply));
        });
        connect(m_winsock1, &BalanceExchange::failed, m_manualPanel, [this](const QString &reason) {
            m_manualPanel->setQuickQueryText(QStringLiteral("查询失败！") + reason);
        });
    }
    // A new click ends the query still running, as the design closes first.
    m_winsock1->abort();
    m_manualPanel->setQuickQueryText(kQuickQueryRunning + number);
    m_winsock1->start(currentConfig().balanceQueryHost, quint16(currentConfig().balanceQueryPort),
                      number);
}

void Form2::wireShops()
{
    ShopMonitor *monitor = &m_session->monitor();
    setCommandHandler(QStringLiteral("监控淘宝"), [monitor] { monitor->startTaobao(); });
    setCommandHandler(QStringLiteral("监控拍拍"), [monitor] { monitor->startPaipai(); });
    setCommandHandler(QStringLiteral("m退出淘宝监控"), [monitor] { monitor->stopTaobao(); });
    setCommandHandler(QStringLiteral("m退出拍拍监控"), [monitor] { monitor->stopPaipai(); });
    setCommandHandler(QStringLiteral("淘宝刷新"), [this] { setRefreshInterval(); });
    // Empties the list only: each order still waits at the desk for a decision.
    setCommandHandler(QStringLiteral("清除不能发货商品"),
                      [this] { m_session->unmatchedList().clear(); });
    setCommandHandler(QStringLiteral("m店铺设置"), [this] {
        openWindow(QStringLiteral("Form30"), [] { return new Form30(SessionInfo().appTitle); });
    });
    connect(this, &Form2::sellerNickResetRequested, this,
            [this] { m_session->taobao().resetSellerNick(); });
    connect(monitor, &ShopMonitor::loginExpired, this, [this](const QString &message) {
        showStatus(message);
        if (m_tray->iconShown())
            m_tray->icon()->showMessage(SessionInfo().appTitle, message, QSystemTrayIcon::Warning);
    });
    connect(&m_session->taobao(), &TaobaoHarvester::statusLine, this, &Form2::showStatus);
    connect(&m_session->paipai(), &PaipaiHarvester::statusLine, this, &Form2::showStatus);
    connect(&m_session->paipai(), &PaipaiHarvester::tradePasswordAsked, this,
            [this](const QString &url) { m_shopView->webpp()->navigate(url); });
    DeliveryController *delivery = &m_session->delivery();
    connect(delivery, &DeliveryController::cardSent, this, &Form2::卡密发送添加);
    connect(delivery, &DeliveryController::deliveryNote, this, &Form2::showStatus);

    MessengerHandOver *messenger = &m_session->messenger();
    messenger->setNavigate([this](const QString &url) { m_webww->navigate(url); });
    messenger->setEnabled(m_check1->isChecked());
    connect(m_check1, &QCheckBox::toggled, messenger, &MessengerHandOver::setEnabled);
    connect(messenger, &MessengerHandOver::handedOver, this,
            [this](const QString &buyer, const QString &cardCode) {
                showHandOver(buyer, cardCode, DeliveryController::订单状态(1));
            });
    connect(messenger, &MessengerHandOver::handOverFailed, this,
            [this](const QString &buyer, const QString &cardCode, const QString &reason) {
                showHandOver(buyer, cardCode, kHandOverFailed);
                showStatus(QStringLiteral("旺旺发卡密失败（买家 %1，卡密 %2）：%3")
                               .arg(buyer, cardCode, reason));
            });
}

void Form2::showHandOver(const QString &buyer, const QString &cardCode, const QString &state)
{
    // Hand-overs run in the order they came: the oldest row of this card
    // still waiting (the newest rows are at the top).
    KeyedListView *list = m_orderLists->listView2();
    for (int row = list->rowCount() - 1; row >= 0; --row) {
        if (list->text(row, QStringLiteral("t4")) == buyer &&
            list->text(row, QStringLiteral("t2")) == cardCode &&
            list->text(row, QStringLiteral("t6")) == kHandOverWaiting) {
            list->setText(row, QStringLiteral("t6"), state);
            return;
        }
    }
}

void Form2::setRefreshInterval()
{
    const QString title = SessionInfo().appTitle + QStringLiteral("提醒你");
    const int seconds = m_session->monitor().taobaoTimer()->interval() / 1000;
    const auto answer = Prompter::instance().input(
        QStringLiteral("淘宝页面宝贝刷新时间（秒） 不可以比60大"),
        QStringLiteral("淘宝页面刷新时间设定"), QString::number(seconds));
    if (!answer)
        return;
    switch (m_session->monitor().setRefreshInterval(*answer).kind) {
    case RefreshAnswer::Ignored:
        return;
    case RefreshAnswer::OutOfRange:
        Prompter::instance().inform(
            title, QStringLiteral("你好 不能设置比60秒多的哦 也不要设置太短 注意点哦"));
        return;
    case RefreshAnswer::Accepted:
        Prompter::instance().inform(title, QStringLiteral("设置完成"));
        return;
    }
}

void Form2::showStatus(const QString &text)
{
    加载状态栏();
    m_statusBar->show();
    m_statusPanel2->setText(text);
}

void Form2::卡密发送添加(const SentCard &card)
{
    KeyedListView *list = m_orderLists->listView2();
    const int row = list->insertTop(card.product);
    list->setText(row, QStringLiteral("t2"), card.cardCode);
    list->setText(row, QStringLiteral("t3"), QString::number(card.quantity));
    list->setText(row, QStringLiteral("t4"), card.buyer);
    list->setText(row, QStringLiteral("t5"), card.platform);
    // "已发" only for a code that reached its buyer: a Paipai one with the
    // mark, a Taobao one once the messenger typed it.
    const QString state = card.delivery == SentCard::Sent      ? DeliveryController::订单状态(1)
                          : card.delivery == SentCard::Waiting ? kHandOverWaiting
                                                               : kHandOverOff;
    list->setText(row, QStringLiteral("t6"), state);
    list->setText(row, QStringLiteral("t7"), orderTimeText(card.time));
}

void Form2::加载配置()
{
    setWindowIcon(QIcon(kAppIcon));
    加载listview();
}

void Form2::加载listview()
{
    m_orderLists->加载listview();
}

void Form2::待反馈编码(int mode, const QString &line)
{
    m_session->feedback().待反馈编码(mode, line);
}

void Form2::获取商品信息()
{
    m_session->catalogue().获取商品信息();
}

void Form2::加载状态栏()
{
    if (!m_statusPanel) {
        m_statusPanel = new QLabel(QStringLiteral("提示："), m_statusBar);
        m_statusPanel->setObjectName(QStringLiteral("Panel1"));
        m_statusBar->addWidget(m_statusPanel);
        m_statusPanel2 = new QLabel(m_statusBar);
        m_statusPanel2->setObjectName(QStringLiteral("Panel2"));
        m_statusBar->addWidget(m_statusPanel2, 1);
    }
    m_statusPanel->setFixedWidth(qMax(1, m_statusBar->width() / 15));
}

void Form2::setCommissions(const QString &sales, const QString &bonus)
{
    m_label33->setText(QStringLiteral("销售佣金： ") + sales + kUnitYuan);
    m_label32->setText(QStringLiteral("提成佣金： ") + bonus + kUnitYuan);
}

void Form2::setBalanceText(const QString &text)
{
    m_jprice->setText(text);
    m_desk->alerts().balanceText(text);
}

void Form2::reprintReceipt(const RechargeOrder &order)
{
    // The list's print cell holds the card code the platform gave (the store
    // keeps 打印 empty), so a reprint from the store prints the card code too.
    m_receiptInfo = order.printMark.isEmpty() ? order.cardCode : order.printMark;
    Form24 *form = openReceipt(true);
    if (!form)
        return;
    form->fillOrder(order.rechargeAccount, order.productName, orderNumberText(order.salePrice),
                    orderTimeText(order.rechargeTime));
}

void Form2::refreshAccountFigures()
{
    const SessionInfoRecord &session = SessionInfo();
    m_notice->navigate(currentConfig().platformPage(QStringLiteral("notice.asp?sj=")) +
                       NewSjValue() + QStringLiteral("&hardware=") + session.machineId +
                       QStringLiteral("&sessionkey=") + session.sessionKey);
}

void Form2::onNoticeLoaded(const QString &url)
{
    if (!QUrlQuery(QUrl(url)).hasQueryItem(QStringLiteral("sj")))
        return; // the notice itself, not a refresh
    // An error page must not be read as figures.
    if (!m_notice->loadSucceeded())
        return;
    for (const AccountLabelText &figure : accountFigureTexts(m_notice->title())) {
        switch (figure.label) {
        case AccountLabel::Balance:
            m_jprice->setText(figure.text);
            m_desk->alerts().balanceText(figure.text);
            break;
        case AccountLabel::FrozenFunds:
            m_label11->setText(figure.text);
            break;
        case AccountLabel::SalesCommission:
            m_label33->setText(figure.text);
            break;
        case AccountLabel::BonusCommission:
            m_label32->setText(figure.text);
            break;
        }
    }
}

void Form2::submitTradePassword()
{
    const SessionInfoRecord &session = SessionInfo();
    m_webjymm->navigate(currentConfig().platformPage(QStringLiteral("jymm.asp?sj=")) +
                        NewSjValue() + QStringLiteral("&hardware=") + session.machineId +
                        QStringLiteral("&sessionkey=") + session.sessionKey +
                        QStringLiteral("&jymm=") + escapeValue(m_text1->text()));
}

void Form2::onTradePasswordPage(const QString &url)
{
    if (!url.contains(QStringLiteral("jymm")))
        return;
    const QString caption = SessionInfo().appTitle + QStringLiteral("提醒您");
    if (!m_webjymm->loadSucceeded()) {
        Prompter::instance().inform(
            caption, QStringLiteral("无法连接平台服务器，交易密码没有验证，请稍后重试"));
        return;
    }
    if (m_webjymm->title() == QStringLiteral("正确")) {
        m_frame4->hide();
        m_text1->clear();
        return;
    }
    Prompter::instance().inform(caption, QStringLiteral("错误"));
}

void Form2::exitClient()
{
    m_exiting = true;
    m_tray->removeIcon();
    closeEveryOtherWindow();
    close();
}

void Form2::closeEveryOtherWindow()
{
    // The client's windows, not the ones Qt keeps for itself (the tray
    // icon's, hidden helpers): those go with their owners.
    QList<QPointer<QWidget>> windows(m_windows.cbegin(), m_windows.cend());
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != this && !w->parentWidget() && w->isVisible() && !qobject_cast<QMenu *>(w))
            windows.append(w);
    }
    for (const QPointer<QWidget> &w : windows) {
        if (w)
            w->close();
    }
}

bool Form2::waitForAnswers()
{
    if (m_exitWaitOver)
        return false;
    SubmissionController *submission = &m_session->submission();
    const int out = submission->outstanding();
    if (out == 0)
        return false;
    m_statusBar->show();
    m_statusBar->showMessage(QStringLiteral("正在等待 %1 个订单的平台应答，收到后退出……").arg(out));
    if (m_waitingForAnswers)
        return true;
    m_waitingForAnswers = true;
    // Closed again when the last answer is in, or when the wait is over; an
    // order still out then is shown as of unknown outcome at the next start.
    connect(
        submission, &SubmissionController::allAnswered, this, [this] { close(); },
        Qt::QueuedConnection);
    const int waitMs =
        m_exitWaitMs >= 0 ? m_exitWaitMs : submission->inet充值(0)->timeoutMs() + 5000;
    QTimer::singleShot(waitMs, this, [this] {
        m_exitWaitOver = true;
        close();
    });
    return true;
}

void Form2::closeEvent(QCloseEvent *event)
{
    if (m_exiting) {
        if (waitForAnswers())
            event->ignore();
        else
            event->accept();
        return;
    }
    QString question = kTrayQuestion;
    if (const int out = m_session->submission().outstanding(); out > 0)
        question +=
            QStringLiteral("\n还有 %1 个订单在等待平台的应答，退出时会先等它们应答。").arg(out);
    if (Prompter::instance().ask(SessionInfo().appTitle, question)) {
        m_tray->enterTray();
        event->ignore();
        return;
    }
    m_exiting = true; // the windows closing now must not ask again
    m_tray->removeIcon();
    closeEveryOtherWindow();
    if (waitForAnswers())
        event->ignore();
    else
        event->accept();
}

void Form2::contextMenuEvent(QContextMenuEvent *event)
{
    if (QMenu *menu = m_commands.menus.value(QStringLiteral("menu")))
        menu->popup(event->globalPos());
    event->accept();
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_label7 && isLeftRelease(event)) {
        refreshAccountFigures();
        m_session->读取订单(); // and what the other seats took today
        return true;
    }
    if (watched == m_text1 && event->type() == QEvent::MouseButtonPress)
        m_text1->clear();
    return QMainWindow::eventFilter(watched, event);
}
