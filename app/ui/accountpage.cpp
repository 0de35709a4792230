#include "app/ui/accountpage.h"

#include "app/core/config.h"
#include "app/core/platform.h"
#include "app/core/session.h"
#include "app/ui/accountpanelhost.h"
#include "app/web/browser.h"

#include <QShowEvent>
#include <QStringList>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace {

// The order of the common parameters after the page.
enum class Params
{
    None,    // a fixed page
    KeySjHw, // "?sessionkey=" + key + "&sj=" + sj + "&hardware=" + id
    SjHwKey, // "?sj=" + sj + "&hardware=" + id + "&sessionkey=" + key
};

enum class Extra
{
    None,
    BalanceFromTitle, // the page's title is the agent's new balance
    RefreshFigures,   // every page loaded may have changed the account figures
    StaysOpen,        // a page may not close the window
};

struct WindowEntry
{
    QStringView form;
    QStringView caption;
    QStringView browser;
    QStringView page;
    QStringView supplyPage; // instead of page while the main window is in supply mode
    Params params;
    Extra extra;
};

using P = Params;
using E = Extra;

// clang-format off
const WindowEntry kWindows[] = {
    {u"Form4", u"销售记录", u"Websale", u"BuyCardHistory.asp", {}, P::KeySjHw, E::None},
    {u"Form5", u"个人信息", u"Webxx", u"Personal.asp", {}, P::KeySjHw, E::None},
    {u"Form6", u"软件销售", u"Webxs", u"salecx.asp", {}, P::SjHwKey, E::BalanceFromTitle},
    {u"Form8", u"下级销售", u"Websale", u"BuyCardHistory2.asp", {}, P::KeySjHw, E::None},
    {u"Form9", u"资金管理", u"Webxs", u"monycz.asp", {}, P::KeySjHw, E::None},
    {u"Form10", u"加款", u"Webxs", u"jk.asp", {}, P::KeySjHw, E::RefreshFigures},
    {u"Form11", u"密码管理", u"Webxs", u"modifypassword1.asp", {}, P::KeySjHw, E::None},
    {u"Form15", u"提现", u"Webxs", u"monycz1.asp", {}, P::KeySjHw, E::None},
    {u"Form17", u"视频教程", u"WebBrowser1", u"jc.asp", {}, P::None, E::None},
    {u"Form19", u"供货管理", u"Webxs", u"xs.asp", u"gh.asp", P::KeySjHw, E::StaysOpen},
    {u"Form20", u"供货权限开通", u"Webxs", u"salegh.asp", {}, P::SjHwKey, E::BalanceFromTitle},
    {u"Form21", u"酒店预订", u"Webxs", u"yd.asp", {}, P::SjHwKey, E::None},
    {u"Form22", u"预订记录", u"Websale", u"ydBuyCardHistory.asp", {}, P::KeySjHw, E::None},
    {u"Form23", u"硬件管理", u"Webxs", u"BindHardware.asp", {}, P::SjHwKey, E::None},
    {u"Form27", u"手机WAP", u"Web", u"wap", {}, P::None, E::None},
    {u"Form28", u"快递查询", u"Web", u"kd", {}, P::None, E::None},
    {u"Form29", u"娱乐小游戏", u"Web", u"flash", {}, P::None, E::None},
    {u"Form31", u"投诉补单", u"Websale", u"BuyCardHistoryc.asp", {}, P::KeySjHw, E::None},
    {u"Form32", u"个人贷款", u"Web", u"dk.asp", {}, P::None, E::None},
    {u"Form34", u"实体加盟", u"Web", u"st.asp", {}, P::None, E::None},
    {u"Form49", u"佣金记录", u"Web", u"BuyCardHistoryyj.asp", {}, P::KeySjHw, E::None},
};
// clang-format on

const WindowEntry *findWindow(QStringView form)
{
    for (const WindowEntry &entry : kWindows) {
        if (entry.form == form)
            return &entry;
    }
    return nullptr;
}

// The address of one opening: a fresh sj every time. The key and the machine
// id are hex and ASCII and go out as they are.
QString pageAddress(const WindowEntry &entry, bool supplyMode)
{
    const QStringView page =
        supplyMode && !entry.supplyPage.isEmpty() ? entry.supplyPage : entry.page;
    const SessionInfoRecord &session = SessionInfo();
    const QString sessionKey = QStringLiteral("sessionkey=") + session.sessionKey;
    const QString sj = QStringLiteral("sj=") + NewSjValue();
    const QString hardware = QStringLiteral("hardware=") + session.machineId;
    QStringList params;
    switch (entry.params) {
    case Params::None:
        break;
    case Params::KeySjHw:
        params = {sessionKey, sj, hardware};
        break;
    case Params::SjHwKey:
        params = {sj, hardware, sessionKey};
        break;
    }
    QString relative = page.toString();
    if (!params.isEmpty())
        relative += QLatin1Char('?') + params.join(QLatin1Char('&'));
    return currentConfig().platformPage(relative);
}

class AccountPage : public QWidget
{
    Q_OBJECT
public:
    AccountPage(const WindowEntry &entry, AccountPanelHost *host, QWidget *parent)
        : QWidget(parent), m_entry(entry), m_host(host)
    {
        setObjectName(entry.form.toString());
        setAttribute(Qt::WA_DeleteOnClose);
        resize(800, 600);

        // The main window may go before its account windows do.
        if (auto *hostObject = dynamic_cast<QObject *>(host))
            connect(hostObject, &QObject::destroyed, this, [this] { m_host = nullptr; });

        m_browser = new Browser(this);
        m_browser->setObjectName(entry.browser.toString());
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(m_browser->createView(this));

        connect(m_browser, &Browser::documentComplete, this, &AccountPage::onDocumentComplete);
        connect(m_browser, &Browser::windowClosing, this, &AccountPage::onWindowClosing);
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QWidget::showEvent(event);
        if (!m_loaded && !event->spontaneous()) {
            m_loaded = true;
            load();
        }
    }

private:
    void load()
    {
        setWindowTitle(SessionInfo().appTitle + m_entry.caption.toString());
        m_browser->navigate(pageAddress(m_entry, m_host && m_host->supplyMode()));
    }

    void onDocumentComplete()
    {
        if (!m_host)
            return;
        switch (m_entry.extra) {
        case Extra::BalanceFromTitle:
            // The browser's own error page has a title too, and it is no balance.
            if (m_browser->loadSucceeded() && !m_browser->title().isEmpty())
                m_host->setBalanceText(m_browser->title() + QStringLiteral(" 元"));
            break;
        case Extra::RefreshFigures:
            m_host->refreshAccountFigures();
            break;
        case Extra::None:
        case Extra::StaysOpen:
            break;
        }
    }

    void onWindowClosing(bool, bool *cancel)
    {
        if (m_entry.extra == Extra::StaysOpen) {
            if (cancel)
                *cancel = true;
            return;
        }
        // The window holds nothing but the page: when the page is done, so is it.
        close();
    }

    const WindowEntry &m_entry;
    AccountPanelHost *m_host;
    Browser *m_browser = nullptr;
    bool m_loaded = false;
};

} // namespace

QWidget *createAccountPage(const QString &formName, AccountPanelHost *host, QWidget *parent)
{
    const WindowEntry *entry = findWindow(formName);
    return entry ? new AccountPage(*entry, host, parent) : nullptr;
}

#include "accountpage.moc"
