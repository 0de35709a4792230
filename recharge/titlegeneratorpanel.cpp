#include "recharge/titlegeneratorpanel.h"

#include "recharge/catalogue.h"
#include "recharge/titlegenerator.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

TitleGeneratorPanel::TitleGeneratorPanel(const Catalogue &catalogue, QWidget *parent)
    : QWidget(parent), m_catalogue(catalogue), m_combo1(new QComboBox(this)),
      m_combo2(new QComboBox(this)), m_combo3(new QComboBox(this)), m_text4(new QLineEdit(this)),
      m_text5(new QLineEdit(this))
{
    setObjectName(QStringLiteral("titleGenerator"));
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo3->setObjectName(QStringLiteral("Combo3"));
    m_text4->setObjectName(QStringLiteral("Text4"));
    m_text5->setObjectName(QStringLiteral("Text5"));
    m_text5->setReadOnly(true);
    m_text5->installEventFilter(this);

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("分类;"), m_combo1);
    form->addRow(QStringLiteral("业务:"), m_combo2);
    form->addRow(QStringLiteral("面值:"), m_combo3);
    form->addRow(QStringLiteral("其他:"), m_text4);
    form->addRow(QStringLiteral("标题:"), m_text5);
    auto *hint = new QLabel(QStringLiteral("双击复制标题，发布商品宝贝即可。"), this);
    hint->setObjectName(QStringLiteral("titleHint"));
    form->addRow(hint);

    connect(m_combo1, &QComboBox::currentIndexChanged, this, &TitleGeneratorPanel::com加载商品列表);
    connect(m_combo2, &QComboBox::currentIndexChanged, this, &TitleGeneratorPanel::加载面值);
    connect(m_combo3, &QComboBox::currentIndexChanged, this, &TitleGeneratorPanel::composeTitle);
    connect(m_text4, &QLineEdit::textChanged, this, &TitleGeneratorPanel::composeTitle);
}

void TitleGeneratorPanel::addCategories(const QStringList &categories)
{
    const bool wasEmpty = m_combo1->count() == 0;
    m_combo1->addItems(categories);
    // The first addition already chose entry 0; choosing it again would
    // change nothing, so the cascade has run either way.
    if (!wasEmpty)
        m_combo1->setCurrentIndex(0);
}

void TitleGeneratorPanel::com加载商品列表()
{
    const CategoryProducts products = ::com加载商品列表(m_catalogue, m_combo1->currentText());
    m_sideString = products.sideString;
    const QSignalBlocker quiet(m_combo2); // the product is chosen once, below
    m_combo2->clear();
    m_combo2->addItems(products.names);
    if (m_combo2->count() > 0)
        m_combo2->setCurrentIndex(0);
    加载面值();
}

void TitleGeneratorPanel::加载面值()
{
    const int product = m_combo2->currentIndex();
    const FaceValueChoices choices =
        product < 0 ? FaceValueChoices{} : ::加载面值(m_sideString, product);
    m_unit = choices.unit;
    const QSignalBlocker quiet(m_combo3);
    m_combo3->clear();
    m_combo3->addItems(choices.amounts);
    if (m_combo3->count() > 0)
        m_combo3->setCurrentIndex(0);
    composeTitle();
}

void TitleGeneratorPanel::composeTitle()
{
    m_text5->setText(listingTitle(m_combo1->currentText(), m_combo2->currentText(),
                                  m_combo3->currentText(), m_unit, m_text4->text()));
}

bool TitleGeneratorPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_text5 && event->type() == QEvent::MouseButtonDblClick) {
        QClipboard *clipboard = QApplication::clipboard();
        clipboard->clear();
        clipboard->setText(m_text5->text());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
