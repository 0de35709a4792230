#include "tools/form25.h"

#include "app/core/config.h"
#include "app/core/platform.h"
#include "app/core/session.h"
#include "app/web/transfer.h"
#include "recharge/manualrecharge.h"
#include "tools/balanceexchange.h"
#include "tools/balancequery.h"
#include "widgets/namedwidgets.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const QString kNamePrefix = QStringLiteral("姓名： ");
const QString kBalancePrefix = QStringLiteral("余额： ");
constexpr int kReadPiece = 1024;

} // namespace

Form25::Form25(NetworkAccess &network, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form25"));
    setWindowTitle(SessionInfo().appTitle + QStringLiteral("话费余额查询"));

    m_frame1 = new QGroupBox(QStringLiteral("全国话费余额查询"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    auto *label1 = namedLabel("Label1", QStringLiteral("号码："), m_frame1);
    m_phone = new QLineEdit(m_frame1);
    m_phone->setObjectName(QStringLiteral("phone"));
    m_command1 = new QPushButton(QStringLiteral("查询"), m_frame1);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setEnabled(false); // until the number's region is known
    m_label3 = namedLabel("Label3", kCardInfoPrefix, m_frame1);
    m_feedback = namedLabel("反馈", QStringLiteral("反馈："), m_frame1);
    m_name = namedLabel("姓名", QStringLiteral("姓名："), m_frame1);
    m_balance = namedLabel("余额", QStringLiteral("余额："), m_frame1);
    m_label4 = namedLabel(
        "Label4",
        QStringLiteral(
            "固话查询查询失败，可以试试再查询出来卡信息之后把前面的区号删除再查询试试。"),
        m_frame1);
    m_label4->setWordWrap(true);
    for (QLabel *label : {m_label3, m_feedback, m_name, m_balance})
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_showLog = new QPushButton(QStringLiteral("显示记录"), m_frame1);
    m_showLog->setObjectName(QStringLiteral("showLog"));
    m_showLog->setCheckable(true);

    m_list1 = new QListWidget(this);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->hide();
    m_list2 = new QListWidget(this);
    m_list2->setObjectName(QStringLiteral("List2"));
    m_list2->addItems(provinceList());
    m_list2->hide();
    m_listqh = new QListWidget(this);
    m_listqh->setObjectName(QStringLiteral("Listqh"));
    m_listqh->addItems(fixedLineAreaTable());
    m_listqh->hide();

    m_inet1 = new Transfer(network, this);
    m_inet1->setObjectName(QStringLiteral("Inet1"));
    m_winsock1 = new BalanceExchange(this);
    m_winsock1->setObjectName(QStringLiteral("Winsock1"));

    auto *grid = new QGridLayout(m_frame1);
    grid->addWidget(label1, 0, 0);
    grid->addWidget(m_phone, 0, 1);
    grid->addWidget(m_command1, 0, 2);
    grid->addWidget(m_label3, 1, 0, 1, 3);
    grid->addWidget(m_feedback, 2, 0, 1, 3);
    grid->addWidget(m_name, 3, 0, 1, 3);
    grid->addWidget(m_balance, 4, 0, 1, 3);
    grid->addWidget(m_label4, 5, 0, 1, 3);
    grid->addWidget(m_showLog, 6, 2);
    grid->setColumnStretch(1, 1);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(m_frame1);
    outer->addWidget(m_list1);
    resize(420, 260);

    connect(m_phone, &QLineEdit::textChanged, this, &Form25::onPhoneChanged);
    connect(m_command1, &QPushButton::clicked, this, &Form25::query);
    connect(m_showLog, &QPushButton::toggled, m_list1, &QWidget::setVisible);
    connect(m_inet1, &Transfer::stateChanged, this, &Form25::onTransferDone);
    connect(m_winsock1, &BalanceExchange::connected, this, &Form25::onConnected);
    connect(m_winsock1, &BalanceExchange::replied, this, &Form25::onReply);
    connect(m_winsock1, &BalanceExchange::failed, this, &Form25::onFailure);

    requestServerList();
}

Form25::~Form25() = default;

void Form25::queryFromMainWindow(const QString &number)
{
    m_autoQuery = true;
    {
        // Looked up below even when the window already shows this number.
        const QSignalBlocker quiet(m_phone);
        m_phone->setText(number);
    }
    onPhoneChanged(number);
}

void Form25::closeEvent(QCloseEvent *event)
{
    m_winsock1->abort();
    QWidget::closeEvent(event);
}

void Form25::requestServerList()
{
    m_inet1->setTag(kServerListKind);
    m_inet1->execute(serverListUrl(currentConfig().platformBaseUrl, NewSjValue()),
                     QStringLiteral("GET"), QString(), kFormContentTypeHeader);
}

void Form25::onTransferDone(int state)
{
    const QString kind = m_inet1->tag();
    m_inet1->setTag(QString());
    if (kind == kServerListKind) {
        if (state == Transfer::ResponseCompleted)
            m_queryServer = readQueryServer(m_inet1->readChunks(kReadPiece));
        else
            m_feedback->setText(QStringLiteral("反馈： 取查询服务器失败：") + m_inet1->errorText());
        // A number copied in before the list arrived is looked up now.
        onPhoneChanged(m_phone->text());
        return;
    }
    if (m_lookupPending) {
        // The number changed meanwhile: this answer is not its region.
        m_lookupPending = false;
        onPhoneChanged(m_phone->text());
        return;
    }
    if (state != Transfer::ResponseCompleted) {
        m_label3->setText(kCardInfoPrefix + QStringLiteral("号码信息没有取到：") +
                          m_inet1->errorText());
        m_autoQuery = false;
        return;
    }
    m_label3->setText(mobileCardInfo(m_inet1->readChunks(kReadPiece)));
    m_command1->setEnabled(true);
    if (m_autoQuery)
        query();
}

void Form25::onPhoneChanged(const QString &text)
{
    switch (phoneAction(text)) {
    case PhoneAction::NumberInfo:
        if (m_inet1->stillExecuting()) {
            // One request at a time; the server list's answer looks it up too.
            m_lookupPending = m_inet1->tag() != kServerListKind;
            return;
        }
        m_inet1->setTag(QString());
        m_inet1->execute(numberInfoUrl(currentConfig().numberInfoUrl), kNumberInfoOperation,
                         numberInfoBody(text), kFormContentTypeHeader);
        break;
    case PhoneAction::FixedLine:
        m_label3->setText(fixedLineCardInfo(text));
        m_command1->setEnabled(true);
        break;
    case PhoneAction::Nothing:
        break;
    }
}

void Form25::query()
{
    if (m_winsock1->running()) {
        m_feedback->setText(QStringLiteral("反馈： 正在查询，请稍候"));
        return;
    }
    if (m_queryServer.isEmpty()) {
        m_feedback->setText(kNoQueryServer);
        m_autoQuery = false;
        return;
    }
    const QString message = balanceQueryMessage(m_phone->text(), queryAreaPart(m_label3->text()),
                                                SessionInfo().userLevel, NewSjValue());
    m_phone->setEnabled(false);
    m_feedback->setText(QStringLiteral("反馈： 正在联接服务器"));
    m_winsock1->start(m_queryServer, quint16(currentConfig().balanceQueryPort), message);
}

void Form25::onConnected(quint16 localPort, quint16 remotePort)
{
    m_list1->addItem(QStringLiteral("Connected!   LocalPort   = ") + QLatin1Char(' ') +
                     QString::number(localPort) + QStringLiteral("   RemptePort   =   ") +
                     QLatin1Char(' ') + QString::number(remotePort));
    m_feedback->setText(QStringLiteral("反馈 ： 联接服务器成功！"));
}

void Form25::onReply(const QString &reply)
{
    const BalanceReply r = readBalanceReply(reply);
    if (r.ok) {
        m_feedback->setText(QStringLiteral("反馈： 查询成功！"));
        m_name->setText(r.name);
        m_balance->setText(kBalancePrefix + r.balance);
    } else {
        m_feedback->setText(reply);
        m_name->setText(kNamePrefix);
        m_balance->setText(kBalancePrefix);
    }
    m_phone->setEnabled(true);
    m_autoQuery = false;
    m_list1->addItem(reply);
}

void Form25::onFailure(const QString &description)
{
    m_list1->addItem(description);
    m_feedback->setText(QStringLiteral("反馈： ") + description);
    m_phone->setEnabled(true);
    m_autoQuery = false;
}
