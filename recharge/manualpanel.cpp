#include "recharge/manualpanel.h"

#include "app/core/config.h"
#include "app/core/digitspeaker.h"
#include "app/core/platform.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/web/browser.h"
#include "app/web/transfer.h"
#include "app/web/webprofile.h"
#include "recharge/catalogue.h"
#include "widgets/namedwidgets.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <utility>

namespace {

const QString kMobileBusiness = QStringLiteral("手机充值");
const QString kKeywordPrompt = QStringLiteral("关键字");
const QString kChooseAmount = QStringLiteral("请选择");
const QString kChooseQuantity = QStringLiteral("请选择数量");
const QString kChooseArea = QStringLiteral("请选择");
const QString kManualBuyer = QStringLiteral("手工订单");
const QString kManualOperation = QStringLiteral("手工操作");
constexpr int kMobileNumberLength = 12;
constexpr int kAccountLength = 50;

QComboBox *editableCombo(const char *name, const QString &text, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QString::fromUtf8(name));
    box->setEditable(true);
    // What the agent types stays typed: Enter neither adds it to the list nor
    // picks a different entry by completion.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setEditText(text);
    return box;
}

} // namespace

ManualRechargePanel::ManualRechargePanel(InsertOrder insert, SubmitOrders submit, Matcher matcher,
                                         QWidget *parent)
    : QWidget(parent), m_insert(std::move(insert)), m_submit(std::move(submit)),
      m_matcher(std::move(matcher))
{
    setObjectName(QStringLiteral("ManualRechargePanel"));
    auto *frame = new QGroupBox(QStringLiteral("手工充值"), this);
    frame->setObjectName(QStringLiteral("manualFrame"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    m_yw = editableCombo("yw", kMobileBusiness, frame);
    m_ywxz = editableCombo("ywxz", QStringLiteral("默认渠道"), frame);
    m_num = editableCombo("num", QStringLiteral("30"), frame);
    m_unit = namedLabel("单位", QString(), frame);
    m_haoma = new QLineEdit(frame);
    m_haoma->setObjectName(QStringLiteral("haoma"));
    m_haoma->setMaxLength(kMobileNumberLength);
    m_picture1 = namedLabel("Picture1", QStringLiteral("朗读"), frame);
    m_picture1->setToolTip(QStringLiteral("朗读号码"));
    m_picture1->setCursor(Qt::PointingHandCursor);
    m_picture1->installEventFilter(this);
    m_label9 = namedLabel("Label9", QStringLiteral("区服："), frame);
    m_xiequ = editableCombo("xiequ", kChooseArea, frame);
    m_label8 = namedLabel("Label8", QStringLiteral("库存 显示进价"), frame);
    m_label8->setCursor(Qt::PointingHandCursor);
    m_label8->setStyleSheet(priceLabelStyle(kPromptColour));
    m_label8->installEventFilter(this);
    m_label13 = namedLabel("Label13", kRegionHint, frame);
    m_label14 = namedLabel("Label14", QString(), frame);
    m_label14->setCursor(Qt::PointingHandCursor);
    m_label14->setToolTip(QStringLiteral("查询话费余额"));
    m_label14->setMinimumHeight(m_label14->fontMetrics().height());
    m_label14->installEventFilter(this);
    m_cz = new QPushButton(QStringLiteral("立即充值"), frame);
    m_cz->setObjectName(QStringLiteral("cz"));
    m_balance = new QPushButton(QStringLiteral("余额查询"), frame);
    m_balance->setObjectName(QStringLiteral("btn余额查询"));
    m_balance->setEnabled(false); // no region known yet
    m_command2 = new QPushButton(QStringLiteral("售前打印"), frame);
    m_command2->setObjectName(QStringLiteral("Command2"));

    m_listqh = new QListWidget(this);
    m_listqh->setObjectName(QStringLiteral("Listqh"));
    m_listqh->addItems(fixedLineAreaTable());
    m_listqh->hide();

    // sgcz carries the product pages only; the agent never looks at it, so it has no view.
    m_sgcz = new Browser(this);
    m_sgcz->setObjectName(QStringLiteral("sgcz"));
    m_inet3 = new Transfer(WebProfile::instance().networkAccess(), this);
    m_inet3->setObjectName(QStringLiteral("Inet3"));
    m_readOut = new NumberReadOut(this);

    auto *grid = new QGridLayout(frame);
    grid->addWidget(new QLabel(QStringLiteral("充值目录："), frame), 0, 0);
    grid->addWidget(m_yw, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("充值商品："), frame), 1, 0);
    grid->addWidget(m_ywxz, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("充值金额："), frame), 2, 0);
    grid->addWidget(m_num, 2, 1);
    grid->addWidget(m_unit, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("充值号码："), frame), 3, 0);
    grid->addWidget(m_haoma, 3, 1);
    grid->addWidget(m_picture1, 3, 2);
    grid->addWidget(m_label9, 4, 0);
    grid->addWidget(m_xiequ, 4, 1, 1, 2);
    grid->addWidget(m_label8, 5, 0, 1, 3);
    grid->addWidget(m_label13, 6, 0, 1, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cz);
    buttons->addWidget(m_balance);
    buttons->addWidget(m_command2);
    grid->addLayout(buttons, 7, 0, 1, 3);
    grid->addWidget(m_label14, 8, 0, 1, 3);
    grid->setRowStretch(9, 1);
    grid->setColumnStretch(1, 1);
    m_label9->hide();
    m_xiequ->hide();

    connect(m_sgcz, &Browser::documentComplete, this, &ManualRechargePanel::onPageLoaded);
    connect(m_command2, &QPushButton::clicked, this, [this] {
        emit preSaleReceiptRequested(m_haoma->text(), m_ywxz->currentText(), m_num->currentText());
    });
    connect(m_yw, &QComboBox::activated, this, &ManualRechargePanel::chooseBusiness);
    // A business typed as a keyword is searched with Enter.
    connect(m_yw->lineEdit(), &QLineEdit::returnPressed, this,
            &ManualRechargePanel::chooseBusiness);
    connect(m_ywxz, &QComboBox::activated, this, &ManualRechargePanel::chooseProduct);
    connect(m_num, &QComboBox::activated, this, &ManualRechargePanel::chooseAmount);
    connect(m_haoma, &QLineEdit::textChanged, this, &ManualRechargePanel::onNumberChanged);
    connect(m_inet3, &Transfer::stateChanged, this, &ManualRechargePanel::onRegionAnswer);
    connect(m_cz, &QPushButton::clicked, this, &ManualRechargePanel::recharge);
    connect(m_balance, &QPushButton::clicked, this,
            [this] { emit balanceQueryRequested(m_haoma->text()); });
}

ManualRechargePanel::~ManualRechargePanel() = default;

void ManualRechargePanel::loadBusinesses()
{
    m_sgcz->navigate(businessListUrl(currentConfig().platformBaseUrl, SessionInfo().sessionKey,
                                     SessionInfo().machineId, NewSjValue()));
}

void ManualRechargePanel::setRechargeEnabled(bool enabled)
{
    m_cz->setEnabled(enabled && !m_submissionBusy);
}

void ManualRechargePanel::setSubmissionBusy(bool busy)
{
    m_submissionBusy = busy;
    m_cz->setEnabled(!busy);
}

void ManualRechargePanel::setQuickQueryText(const QString &text)
{
    m_label14->setText(text);
}

bool ManualRechargePanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_picture1 && isLeftRelease(event)) {
        m_readOut->start(m_haoma->text());
        return true;
    }
    if (watched == m_label8 && isLeftRelease(event)) {
        clickPurchasePrice();
        return true;
    }
    if (watched == m_label14 && isLeftRelease(event)) {
        emit quickQueryRequested(m_haoma->text(), m_label13->text());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- The product pages ----

void ManualRechargePanel::onPageLoaded(const QString &url)
{
    if (url.contains(QLatin1String("action=ss")))
        readProducts();
    else if (url.contains(QLatin1String("?sj")))
        readBusinesses();
}

void ManualRechargePanel::readProducts()
{
    m_products = readProductPage(m_sgcz->bodyHtml());
    m_costs.clear();
    {
        const QSignalBlocker quietProducts(m_ywxz);
        const QSignalBlocker quietAmounts(m_num);
        m_ywxz->clear();
        m_num->clear();
        m_num->addItem(kChooseQuantity);
        if (!m_products.isEmpty()) {
            const AmountChoices first = amountChoices(m_products.first());
            m_unit->setText(first.unit);
            m_num->addItems(first.amounts);
            m_costs = first.costs;
        }
        for (const ManualProduct &p : std::as_const(m_products))
            m_ywxz->addItem(p.name);
        m_num->setCurrentIndex(0);
        if (m_ywxz->count() > 0)
            m_ywxz->setCurrentIndex(0);
    }
    if (m_ywxz->count() > 0)
        chooseProduct();
}

void ManualRechargePanel::readBusinesses()
{
    const QStringList businesses = readBusinessList(m_sgcz->bodyHtml());
    if (businesses.isEmpty())
        return;
    {
        // A page read twice must not list every business twice.
        const QSignalBlocker quiet(m_yw);
        m_yw->clear();
        m_yw->addItems(businesses);
        m_yw->setCurrentIndex(0);
    }
    chooseBusiness();
}

// ---- The choices ----

void ManualRechargePanel::loadProducts(const QString &business)
{
    m_sgcz->navigate(productPageUrl(currentConfig().platformBaseUrl, SessionInfo().sessionKey,
                                    business, SessionInfo().machineId, NewSjValue(), NewSjValue()));
}

void ManualRechargePanel::chooseBusiness()
{
    const QString business = m_yw->currentText();
    m_haoma->setMaxLength(business == kMobileBusiness ? kMobileNumberLength : kAccountLength);
    if (business.isEmpty() || business == kKeywordPrompt) {
        Prompter::instance().inform(SessionInfo().appTitle + QStringLiteral("提示"),
                                    QStringLiteral("关键字不能为空"));
    } else {
        m_label8->setText(kShowPurchasePrice);
        m_label8->setStyleSheet(priceLabelStyle(kPromptColour));
        loadProducts(business);
        // A second order confirmed while one is out would find component 6
        // busy: cz opens with the business only when none is.
        setRechargeEnabled(true);
    }
    setRegionText(kRegionHint);
}

void ManualRechargePanel::chooseProduct()
{
    const int n = m_ywxz->currentIndex();
    if (n < 0 || n >= m_products.size())
        return;
    if (m_label8->text() != kShowPurchasePrice)
        m_label8->setText(kPurchasePricePrefix + costAt(m_num->currentIndex()).value_or(QString()));

    const ManualProduct &product = m_products.at(n);
    const AmountChoices choices = amountChoices(product);
    {
        const QSignalBlocker quiet(m_num);
        m_num->clear();
        m_num->addItem(kChooseAmount);
        m_num->setCurrentIndex(0);
        m_num->addItems(choices.amounts);
    }
    m_unit->setText(choices.unit);
    m_costs = choices.costs;
    m_label9->setVisible(product.needsArea);
    m_xiequ->setVisible(product.needsArea);
}

void ManualRechargePanel::chooseAmount()
{
    if (m_label8->text() != kShowPurchasePrice)
        m_label8->setText(kPurchasePricePrefix + costAt(m_num->currentIndex()).value_or(QString()));
}

std::optional<QString> ManualRechargePanel::costAt(int numIndex) const
{
    // Entry 0 of num is the prompt, which has no cost.
    if (numIndex < 1 || numIndex > m_costs.size())
        return std::nullopt;
    return m_costs.at(numIndex - 1);
}

std::optional<QString> ManualRechargePanel::chosenCost() const
{
    // A typed amount picks no entry, even when it reads like one.
    const int index = m_num->currentIndex();
    if (index < 0 || m_num->currentText() != m_num->itemText(index))
        return std::nullopt;
    return costAt(index);
}

void ManualRechargePanel::clickPurchasePrice()
{
    const auto label =
        purchasePriceClick(m_label8->text(), m_ywxz->currentIndex() >= 0, chosenCost());
    if (!label)
        return;
    m_label8->setText(label->text);
    m_label8->setStyleSheet(priceLabelStyle(label->colour));
}

// ---- The number ----

void ManualRechargePanel::onNumberChanged(const QString &text)
{
    m_label14->clear();
    if (const auto sound = soundForTyping(m_previousNumber, text))
        DigitSpeaker::instance().play(*sound);
    m_previousNumber = text;

    switch (numberAction(text)) {
    case NumberAction::RegionRequest:
        requestRegion(text);
        break;
    case NumberAction::FixedLineRegion:
        setRegionText(获取电信号码区(text.left(3)));
        break;
    case NumberAction::DisableBalance:
        m_balance->setEnabled(false);
        break;
    }
}

void ManualRechargePanel::requestRegion(const QString &number)
{
    const QString prefix = number.left(7);
    if (m_inet3->stillExecuting()) {
        // One request at a time: the newest number is asked about when the
        // running one ends.
        m_pendingPrefix = prefix;
        return;
    }
    const QString service = currentConfig().numberInfoUrl;
    if (service.isEmpty())
        return;
    m_regionPrefix = prefix;
    m_pendingPrefix.clear();
    m_inet3->execute(numberInfoUrl(service), kNumberInfoOperation, numberInfoBody(number),
                     kFormContentTypeHeader);
}

void ManualRechargePanel::onRegionAnswer(int state)
{
    const QString number = m_haoma->text();
    const bool stillAsked = numberAction(number) == NumberAction::RegionRequest;
    if (state == Transfer::ResponseCompleted && stillAsked && number.left(7) == m_regionPrefix) {
        if (const auto region = readNumberRegion(m_inet3->readChunks(1024))) {
            setRegionText(*region);
            m_balance->setEnabled(true);
        }
    }
    // The answer for an earlier number is not shown beside a later one; the
    // later one is asked about now.
    if (!m_pendingPrefix.isEmpty() && stillAsked && number.left(7) == m_pendingPrefix &&
        m_pendingPrefix != m_regionPrefix)
        requestRegion(number);
    m_pendingPrefix.clear();
}

void ManualRechargePanel::setRegionText(const QString &text)
{
    m_label13->setText(text);
    m_balance->setEnabled(!text.isEmpty() && text != kRegionHint);
}

// ---- Recharge ----

void ManualRechargePanel::recharge()
{
    const QString title = SessionInfo().appTitle;
    const QString product = m_ywxz->currentText();
    const QString number = m_haoma->text();
    if (product.isEmpty() || number.isEmpty()) {
        Prompter::instance().inform(title, number.isEmpty() ? QStringLiteral("帐号没有填写")
                                                            : QStringLiteral("业务没有选择"));
        return;
    }
    const QString amount = m_num->currentText();
    if (!isAmountText(amount)) {
        Prompter::instance().inform(title, QStringLiteral("数目填写错误"));
        return;
    }
    const QString notInCatalogue =
        QStringLiteral("商品列表中没有这个商品或金额（%1，%2），订单没有提交，请重新选择")
            .arg(product, amount);
    // Asked before the question: the agent is not asked to confirm an order
    // that cannot be stored, and cz stays usable.
    if (m_matcher && !m_matcher(product, amount, OrderSource::Manual)) {
        Prompter::instance().inform(title, notInCatalogue);
        return;
    }
    if (!Prompter::instance().ask(title, QStringLiteral("确认充值吗")))
        return;

    m_cz->setEnabled(false);
    const QString region = m_label13->text() == kRegionHint ? QString() : m_label13->text();
    const QString token = RandomLetterToken();
    const QString area = m_xiequ->currentText() == kChooseArea ? QString() : m_xiequ->currentText();
    const bool stored = m_insert && m_insert(NewOrder{.type = OrderSource::Manual,
                                                      .shipNo = token,
                                                      .orderNo = token,
                                                      .buyerNick = kManualBuyer,
                                                      .rechargeAccount = number,
                                                      .operationLabel = kManualOperation,
                                                      .quantityText = amount,
                                                      .productName = product,
                                                      .serverArea = area,
                                                      .queryArea = region});
    if (!stored) {
        // Nothing was stored, so nothing will answer and enable cz again. Without
        // a matcher of its own the panel takes the intake's usual reason.
        const bool known = m_matcher && m_matcher(product, amount, OrderSource::Manual).has_value();
        Prompter::instance().inform(
            title, known ? QStringLiteral("订单没有保存，也没有提交，请再试一次") : notInCatalogue);
        m_cz->setEnabled(true);
        return;
    }
    if (m_submit)
        m_submit(OrderSource::Manual);
}
