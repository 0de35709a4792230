#include "shop/shopview.h"

#include "app/web/browser.h"
#include "widgets/namedwidgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QStackedLayout>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <tuple>

namespace {

const QString kOff = QStringLiteral("未开启");
const QString kOn = QStringLiteral("已开启");
const QString kLoggedOut = QStringLiteral("登录已失效");

} // namespace

Form30::Form30(const QString &appTitle, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form30"));
    setWindowTitle(appTitle + QStringLiteral("店铺设置"));
    const QString rating = QStringLiteral("感谢您使用【") + appTitle +
                           QStringLiteral("】自动充值软件！全面支持淘宝、拍拍自动充值！");
    auto *grid = new QGridLayout(this);
    int row = 0;
    for (const auto &[check, caption, text] : {std::tuple{"Check1", "启用淘宝自动评价", "Text1"},
                                               std::tuple{"Check2", "启用拍拍自动评价", "Text2"}}) {
        auto *box = new QCheckBox(QString::fromUtf8(caption), this);
        box->setObjectName(QString::fromUtf8(check));
        auto *edit = new QLineEdit(rating, this);
        edit->setObjectName(QString::fromUtf8(text));
        grid->addWidget(box, row++, 0, 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("评价内容："), this), row, 0);
        grid->addWidget(edit, row++, 1);
    }
    resize(420, 160);
}

ShopMonitorView::ShopMonitorView(ShopMonitor &monitor, QTabWidget *tabs, QWidget *labelParent,
                                 QObject *parent)
    : QObject(parent), m_monitor(monitor), m_tabs(tabs)
{
    setObjectName(QStringLiteral("shopMonitorView"));
    QWidget *window = tabs->parentWidget();
    m_area = new QWidget(window);
    m_area->setObjectName(QStringLiteral("shopArea"));
    m_stack = new QStackedLayout(m_area);
    m_webtb = new Browser(window);
    m_webtb->setObjectName(QStringLiteral("Webtb"));
    m_webpp = new Browser(window);
    m_webpp->setObjectName(QStringLiteral("Webpp"));
    m_stack->addWidget(tabs);
    m_webtbView = m_webtb->createView(m_area);
    m_webppView = m_webpp->createView(m_area);
    m_stack->addWidget(m_webtbView);
    m_stack->addWidget(m_webppView);
    m_stack->setCurrentWidget(tabs);

    m_labels = new QWidget(labelParent);
    m_labels->setObjectName(QStringLiteral("monitorLabels"));
    auto *row = new QHBoxLayout(m_labels);
    row->setContentsMargins(0, 0, 0, 0);
    m_label18 = namedLabel("Label18", kOff, m_labels);
    m_label19 = namedLabel("Label19", kOff, m_labels);
    row->addWidget(namedLabel("Label16", QStringLiteral("淘宝监控："), m_labels));
    row->addWidget(m_label18);
    row->addSpacing(12);
    row->addWidget(namedLabel("Label17", QStringLiteral("拍拍监控："), m_labels));
    row->addWidget(m_label19);
    row->addStretch();

    connect(&monitor, &ShopMonitor::showTaobaoBrowser, this, [this](const QString &url) {
        m_webtb->navigate(url);
        m_stack->setCurrentWidget(m_webtbView);
    });
    connect(&monitor, &ShopMonitor::showPaipaiBrowser, this, [this](const QString &url) {
        m_webpp->navigate(url);
        m_stack->setCurrentWidget(m_webppView);
    });
    connect(&monitor, &ShopMonitor::showTabs, this, [this] { m_stack->setCurrentWidget(m_tabs); });
    connect(&monitor, &ShopMonitor::taobaoStateChanged, this,
            [this](ShopMonitor::State state) { show(m_label18, state); });
    connect(&monitor, &ShopMonitor::paipaiStateChanged, this,
            [this](ShopMonitor::State state) { show(m_label19, state); });
    connect(m_webtb, &Browser::documentComplete, this,
            [this] { m_monitor.taobaoPageLoaded(m_webtb->title()); });
    connect(m_webpp, &Browser::documentComplete, this,
            [this](const QString &url) { m_monitor.paipaiPageLoaded(url, m_webpp->title()); });
}

QWidget *ShopMonitorView::front() const
{
    return m_stack->currentWidget();
}

QString ShopMonitorView::labelText(ShopMonitor::State state, const QString &shown)
{
    switch (state) {
    case ShopMonitor::State::Off:
        return kOff;
    case ShopMonitor::State::On:
        return kOn;
    case ShopMonitor::State::LoggedOut:
        return kLoggedOut;
    case ShopMonitor::State::LoggingIn:
        break;
    }
    return shown; // logging in: the label says what it said
}

void ShopMonitorView::show(QLabel *label, ShopMonitor::State state)
{
    label->setText(labelText(state, label->text()));
    label->setStyleSheet(state == ShopMonitor::State::LoggedOut ? QStringLiteral("color: #ff0000;")
                                                                : QString());
}
