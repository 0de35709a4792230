#include "inventory/form16.h"

#include "app/core/platform.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "widgets/keyedlistview.h"
#include "widgets/namedwidgets.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

const QString kNoGoods = QStringLiteral("0");
const QString kKeywordHint = QStringLiteral("商品关键字");
const QString kRechargeHint = QStringLiteral("商品充值地址");
const QString kPurchaseHint = QStringLiteral("平台购买地址");
const QString kKeywordLabel = QStringLiteral("商品关键字: ");

// Goods columns.
const QString kKeyword = QStringLiteral("keyword");
const QString kRecharge = QStringLiteral("recharge");
const QString kPurchase = QStringLiteral("purchase");
const QString kGoodsId = QStringLiteral("id");
// Card columns.
const QString kNumber = QStringLiteral("number");
const QString kPassword = QStringLiteral("password");
const QString kState = QStringLiteral("state");
const QString kCardGoodsId = QStringLiteral("goodsId");

QPushButton *button(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromUtf8(name));
    return b;
}

QLineEdit *box(const char *name, const QString &text, QWidget *parent)
{
    auto *b = new QLineEdit(text, parent);
    b->setObjectName(QString::fromUtf8(name));
    return b;
}

QCheckBox *checkBox(const char *name, const QString &caption, QWidget *parent)
{
    auto *c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromUtf8(name));
    return c;
}

QString importSummary(const CardsImported &imported)
{
    return QStringLiteral("存入了 %1 张卡密，跳过了 %2 行读不懂的内容（卡号和密码中间空一格）")
        .arg(imported.stored)
        .arg(imported.skipped);
}

} // namespace

Form16::Form16(const QString &folder, QWidget *parent)
    : QWidget(parent), m_store(folder, SessionInfo().appTitle)
{
    setObjectName(QStringLiteral("Form16"));
    setWindowTitle(SessionInfo().appTitle + QStringLiteral("自存卡密"));

    // Goods.
    auto *goodsFrame = new QGroupBox(QStringLiteral("商品"), this);
    m_listView1 = new KeyedListView(goodsFrame);
    m_listView1->setObjectName(QStringLiteral("ListView1"));
    m_text1 = box("Text1", kKeywordHint, goodsFrame);
    m_text2 = box("Text2", kRechargeHint, goodsFrame);
    m_text8 = box("Text8", kPurchaseHint, goodsFrame);
    m_text3 = box("Text3", kNoGoods, goodsFrame);
    m_text3->setReadOnly(true);
    for (QLineEdit *hinted : {m_text1, m_text2, m_text8})
        hinted->installEventFilter(this);
    m_command1 = button("Command1", QStringLiteral("添加"), goodsFrame);
    m_command3 = button("Command3", QStringLiteral("修改"), goodsFrame);
    m_command11 = button("Command11", QStringLiteral("删除"), goodsFrame);
    m_command4 = button("Command4", QStringLiteral("刷新"), goodsFrame);

    auto *goodsFields = new QGridLayout;
    goodsFields->addWidget(m_text1, 0, 0);
    goodsFields->addWidget(m_text3, 0, 1);
    goodsFields->addWidget(m_text2, 1, 0, 1, 2);
    goodsFields->addWidget(m_text8, 2, 0, 1, 2);
    goodsFields->setColumnStretch(0, 3);
    goodsFields->setColumnStretch(1, 1);
    auto *goodsButtons = new QHBoxLayout;
    for (QPushButton *b : {m_command1, m_command3, m_command11, m_command4})
        goodsButtons->addWidget(b);
    auto *goodsColumn = new QVBoxLayout(goodsFrame);
    goodsColumn->addWidget(m_listView1, 1);
    goodsColumn->addLayout(goodsFields);
    goodsColumn->addLayout(goodsButtons);

    // Codes.
    auto *cardFrame = new QGroupBox(QStringLiteral("卡密"), this);
    m_label9 = namedLabel("Label9", QString(), cardFrame);
    m_label6 = namedLabel("Label6", QStringLiteral("状态切换"), cardFrame);
    m_label6->setCursor(Qt::PointingHandCursor);
    m_label6->installEventFilter(this);
    m_label6->hide();
    m_listView2 = new KeyedListView(cardFrame);
    m_listView2->setObjectName(QStringLiteral("ListView2"));
    m_text4 = new QPlainTextEdit(cardFrame);
    m_text4->setObjectName(QStringLiteral("Text4"));
    m_text4->viewport()->installEventFilter(this);
    auto *cardArea = new QWidget(cardFrame);
    m_cardArea = new QStackedLayout(cardArea);
    m_cardArea->addWidget(m_text4);
    m_cardArea->addWidget(m_listView2);
    m_cardArea->setCurrentWidget(m_listView2);

    m_text5 = box("Text5", QString(), cardFrame);
    m_text5->setPlaceholderText(QStringLiteral("卡号"));
    m_text6 = box("Text6", QString(), cardFrame);
    m_text6->setPlaceholderText(QStringLiteral("卡密"));
    m_check1 = checkBox("Check1", QStringLiteral("已用"), cardFrame);
    m_text7 = box("Text7", kNoGoods, cardFrame);
    m_text7->setReadOnly(true);
    m_check5 = checkBox("Check5", QStringLiteral("显示已用"), cardFrame);
    m_check6 = checkBox("Check6", QStringLiteral("显示未用"), cardFrame);
    m_check5->setChecked(true);
    m_check6->setChecked(true);
    m_command8 = button("Command8", QStringLiteral("添加"), cardFrame);
    m_command6 = button("Command6", QStringLiteral("刷新"), cardFrame);
    m_command2 = button("Command2", QStringLiteral("批量导入"), cardFrame);
    m_command5 = button("Command5", QStringLiteral("批量导出"), cardFrame);
    m_command9 = button("Command9", QStringLiteral("批量删除"), cardFrame);
    m_command10 = button("Command10", QStringLiteral("删除"), cardFrame);
    m_list1 = new QListWidget(this);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->hide(); // the store rewrites its files itself

    auto *top = new QHBoxLayout;
    top->addWidget(m_label9, 1);
    top->addWidget(m_label6);
    auto *cardFields = new QHBoxLayout;
    cardFields->addWidget(m_text5, 5);
    cardFields->addWidget(m_text6, 4);
    cardFields->addWidget(m_check1);
    cardFields->addWidget(m_text7, 1);
    auto *shown = new QHBoxLayout;
    shown->addWidget(m_check5);
    shown->addWidget(m_check6);
    shown->addStretch();
    auto *cardButtons = new QHBoxLayout;
    for (QPushButton *b : {m_command8, m_command6, m_command2, m_command5, m_command9, m_command10})
        cardButtons->addWidget(b);
    auto *cardColumn = new QVBoxLayout(cardFrame);
    cardColumn->addLayout(top);
    cardColumn->addWidget(cardArea, 1);
    cardColumn->addLayout(cardFields);
    cardColumn->addLayout(shown);
    cardColumn->addLayout(cardButtons);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(goodsFrame, 1);
    layout->addWidget(cardFrame, 1);

    connect(m_listView1, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { goodsRowClicked(index.row()); });
    connect(m_listView2, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { cardRowClicked(index.row()); });
    connect(m_command1, &QPushButton::clicked, this, &Form16::addGoods);
    connect(m_command3, &QPushButton::clicked, this, &Form16::modifyGoods);
    connect(m_command11, &QPushButton::clicked, this, &Form16::deleteGoods);
    connect(m_command4, &QPushButton::clicked, this, &Form16::reloadGoods);
    connect(m_command8, &QPushButton::clicked, this, &Form16::addCard);
    connect(m_command6, &QPushButton::clicked, this, &Form16::reloadCards);
    connect(m_command2, &QPushButton::clicked, this, &Form16::bulkImport);
    connect(m_command5, &QPushButton::clicked, this, &Form16::bulkExport);
    connect(m_command9, &QPushButton::clicked, this, &Form16::bulkDelete);
    connect(m_check5, &QCheckBox::clicked, this, &Form16::reloadCards);
    connect(m_check6, &QCheckBox::clicked, this, &Form16::reloadCards);

    resize(1000, 520);
    load();
}

void Form16::load()
{
    tell(m_store.createMissingFiles());
    m_listView1->setColumns({{kKeyword, QStringLiteral("商品关键字"), 0.4},
                             {kRecharge, QStringLiteral("充值地址"), 0.4},
                             {kPurchase, QStringLiteral("平台购买"), 0},
                             {kGoodsId, QStringLiteral("id"), 0.2}});
    m_listView2->setColumns({{kNumber, QStringLiteral("卡号"), 5.0 / 12},
                             {kPassword, QStringLiteral("卡密"), 4.0 / 12},
                             {kState, QStringLiteral("状态"), 2.0 / 12},
                             {kCardGoodsId, QStringLiteral("ID"), 1.0 / 12}});
    reloadGoods();
}

bool Form16::inBulkInput() const
{
    return !m_label6->isHidden();
}

QString Form16::messageTitle() const
{
    return SessionInfo().appTitle + QStringLiteral("温馨提示");
}

void Form16::tell(const StoreResult &result)
{
    if (!result.ok() && !result.error.isEmpty())
        Prompter::instance().inform(messageTitle(), result.error);
}

QString Form16::selectedGoods() const
{
    return m_text3->text();
}

GoodsFields Form16::typedGoods() const
{
    return {m_text1->text(), m_text2->text(), m_text8->text()};
}

void Form16::reloadGoods()
{
    m_listView1->clearRows();
    QString error;
    const auto goods = m_store.goods(&error);
    if (!goods) {
        tell(StoreResult::failed(error));
        return;
    }
    // Each row goes on top, so the last line is put first.
    for (auto it = goods->crbegin(); it != goods->crend(); ++it) {
        const int row = m_listView1->insertTop(it->keyword);
        m_listView1->setText(row, kRecharge, it->rechargeAddress);
        m_listView1->setText(row, kPurchase, it->purchaseAddress);
        m_listView1->setText(row, kGoodsId, it->id);
    }
}

void Form16::addGoods()
{
    tell(m_store.addGoods(typedGoods()).result);
    reloadGoods();
}

void Form16::modifyGoods()
{
    if (!CardStore::isSelectedId(selectedGoods()))
        return;
    tell(m_store.modifyGoods(selectedGoods(), typedGoods()));
    reloadGoods();
}

void Form16::deleteGoods()
{
    if (!CardStore::isSelectedId(selectedGoods()))
        return;
    const StoreResult result = m_store.deleteGoods(selectedGoods());
    tell(result);
    if (result.ok()) {
        // The entry is gone: codes added now would belong to no goods.
        m_text3->setText(kNoGoods);
        m_text7->setText(kNoGoods);
        m_label9->clear();
        m_listView2->clearRows();
    }
    reloadGoods();
}

void Form16::goodsRowClicked(int row)
{
    m_text1->setText(m_listView1->text(row, kKeyword));
    m_text2->setText(m_listView1->text(row, kRecharge));
    m_text8->setText(m_listView1->text(row, kPurchase));
    m_text3->setText(m_listView1->text(row, kGoodsId));
    m_text7->setText(m_text3->text());
    reloadCards();
    m_label9->setText(kKeywordLabel + m_text1->text());
}

void Form16::reloadCards()
{
    if (!CardStore::isSelectedId(selectedGoods()))
        return;
    m_listView2->clearRows();
    QString error;
    const auto cards =
        m_store.cards(selectedGoods(), m_check5->isChecked(), m_check6->isChecked(), &error);
    if (!cards) {
        tell(StoreResult::failed(error));
        return;
    }
    for (auto it = cards->crbegin(); it != cards->crend(); ++it) {
        const int row = m_listView2->insertTop(it->number);
        m_listView2->setText(row, kPassword, it->password);
        m_listView2->setText(row, kState, it->state);
        m_listView2->setText(row, kCardGoodsId, it->goodsId);
    }
}

void Form16::cardRowClicked(int row)
{
    m_text5->setText(m_listView2->text(row, kNumber));
    m_text6->setText(m_listView2->text(row, kPassword));
    m_check1->setChecked(m_listView2->text(row, kState) == kCardUsed);
    m_text7->setText(m_listView2->text(row, kCardGoodsId));
}

void Form16::addCard()
{
    if (!CardStore::isSelectedId(selectedGoods())) {
        Prompter::instance().inform(messageTitle(), kSelectGoodsFirst);
        return;
    }
    if (m_text5->text().isEmpty() || m_text6->text().isEmpty())
        return;
    tell(m_store.addCard(selectedGoods(), m_text5->text(), m_text6->text(), m_check1->isChecked(),
                         CurrentDateTime()));
    reloadCards();
}

void Form16::bulkImport()
{
    if (!inBulkInput()) {
        m_cardArea->setCurrentWidget(m_text4);
        m_label6->show();
        m_text4->setPlainText(kImportPrompt);
        return;
    }
    if (!CardStore::isSelectedId(selectedGoods())) {
        Prompter::instance().inform(messageTitle(), kSelectGoodsFirst);
        return;
    }
    // The prompt itself is no code.
    const QString text =
        m_text4->toPlainText() == kImportPrompt ? QString() : m_text4->toPlainText();
    const CardsImported imported = m_store.importCards(selectedGoods(), text, CurrentDateTime());
    if (imported.result.outcome == StoreResult::Failed)
        Prompter::instance().inform(messageTitle() + QStringLiteral("："), kImportFailed);
    else
        Prompter::instance().inform(messageTitle(), importSummary(imported));
    leaveBulkInput();
    reloadCards();
}

void Form16::leaveBulkInput()
{
    m_label6->hide();
    m_cardArea->setCurrentWidget(m_listView2);
}

void Form16::bulkExport()
{
    if (!CardStore::isSelectedId(selectedGoods())) {
        Prompter::instance().inform(QStringLiteral("省的麻烦"), kSelectGoodsToExport);
        return;
    }
    const std::optional<QString> name = Prompter::instance().input(
        QStringLiteral("输入文件名"), QStringLiteral("文件夹"), m_text1->text());
    if (!name)
        return; // the agent changed their mind
    tell(m_store.exportCards(selectedGoods(), *name));
}

void Form16::bulkDelete()
{
    if (!CardStore::isSelectedId(selectedGoods()))
        return;
    tell(m_store.deleteCards(selectedGoods()));
    reloadCards();
}

bool Form16::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        const struct
        {
            QLineEdit *box;
            const QString &hint;
        } hinted[] = {{m_text1, kKeywordHint}, {m_text2, kRechargeHint}, {m_text8, kPurchaseHint}};
        for (const auto &h : hinted) {
            if (watched == h.box && h.box->text() == h.hint)
                h.box->clear();
        }
        if (watched == m_text4->viewport() && m_text4->toPlainText() == kImportPrompt)
            m_text4->clear();
    }
    if (watched == m_label6 && isLeftRelease(event)) {
        leaveBulkInput();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
