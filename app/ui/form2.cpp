#include "app/ui/form2.h"

#include "app/core/session.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

Form2::Form2(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto *central = new QWidget(this);
    auto *panel = new QGroupBox(QStringLiteral("帐户信息"), central);
    panel->setObjectName(QStringLiteral("accountPanel"));
    auto *column = new QVBoxLayout(panel);
    m_jusername = addLabel("jusername");
    m_userid1 = addLabel("userid1");
    m_label4 = addLabel("Label4");
    m_jprice = addLabel("jprice");
    m_label11 = addLabel("Label11");
    m_label33 = addLabel("Label33");
    m_label32 = addLabel("Label32");
    for (QLabel *label :
         {m_jusername, m_userid1, m_label4, m_jprice, m_label11, m_label33, m_label32}) {
        label->setParent(panel);
        column->addWidget(label);
    }
    column->addStretch();
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(panel);
    setCentralWidget(central);
    resize(800, 560);
}

QLabel *Form2::addLabel(const char *name)
{
    auto *label = new QLabel(this);
    label->setObjectName(QString::fromUtf8(name));
    return label;
}

void Form2::load()
{
    const SessionInfoRecord &session = SessionInfo();
    setWindowTitle(session.appTitle);
    m_jusername->setText(QStringLiteral("用户名称：") + session.userName);
    m_userid1->setText(QStringLiteral("用户编号：  ") + session.userId);
    m_label4->setText(QStringLiteral("用户类型： ") + session.userLevel);
    m_jprice->setText(session.balance + QStringLiteral(" 元"));
    m_label11->setText(QStringLiteral("冻结资金： ") + session.frozenFunds + QStringLiteral(" 元"));
}

void Form2::setCommissions(const QString &sales, const QString &bonus)
{
    m_label33->setText(QStringLiteral("销售佣金： ") + sales + QStringLiteral(" 元"));
    m_label32->setText(QStringLiteral("提成佣金： ") + bonus + QStringLiteral(" 元"));
}
