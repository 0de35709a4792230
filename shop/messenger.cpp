#include "shop/messenger.h"

#include "app/core/gbk.h"

#include <QTimer>

QString MessengerWindows::title(const QString &buyer, const QString &seller) const
{
    // One pass, so that a nickname holding "{seller}" stays as it is.
    QString out;
    for (qsizetype i = 0; i < titleForm.size();) {
        const QStringView rest = QStringView(titleForm).sliced(i);
        if (rest.startsWith(u"{buyer}")) {
            out += buyer;
            i += 7;
        } else if (rest.startsWith(u"{seller}")) {
            out += seller;
            i += 8;
        } else {
            out += titleForm.at(i++);
        }
    }
    return out;
}

bool MessengerWindows::parseLink(const QString &text, Link *link)
{
    const QString trimmed = text.trimmed();
    const qsizetype colon = trimmed.lastIndexOf(QLatin1Char(':'));
    Link out;
    out.className = colon < 0 ? trimmed : trimmed.left(colon).trimmed();
    if (colon >= 0) {
        bool ok = false;
        out.nth = trimmed.mid(colon + 1).trimmed().toInt(&ok);
        if (!ok || out.nth < 1)
            return false;
    }
    if (out.className.isEmpty())
        return false;
    if (link)
        *link = out;
    return true;
}

MessengerHandOver::MessengerHandOver(DesktopWindows *desktop, QString messengerSite,
                                     SellerNick sellerNick, MessengerWindows windows,
                                     QObject *parent)
    : QObject(parent), m_desktop(desktop), m_site(std::move(messengerSite)),
      m_sellerNick(std::move(sellerNick)), m_windows(std::move(windows)), m_find(new QTimer(this)),
      m_close(new QTimer(this))
{
    setObjectName(QStringLiteral("messenger"));
    m_find->setObjectName(QStringLiteral("找窗口"));
    m_find->setInterval(kSearchIntervalMs);
    m_close->setObjectName(QStringLiteral("关闭窗口"));
    m_close->setInterval(kCloseDelayMs);
    connect(m_find, &QTimer::timeout, this, &MessengerHandOver::找窗口tick);
    connect(m_close, &QTimer::timeout, this, &MessengerHandOver::关闭窗口tick);
}

QString MessengerHandOver::dispatchLink(const QString &buyer) const
{
    QString site = m_site;
    if (site.endsWith(QLatin1Char('/')))
        site.chop(1);
    return site +
           QStringLiteral("/webim/common/online_dispatch_v6.html?fromsite=cntaobao&fromid=") +
           escapeValue(m_sellerNick()) + QStringLiteral("&sendsite=cntaobao&sendid=") +
           escapeValue(buyer);
}

void MessengerHandOver::handOver(const HandOver &handOver)
{
    if (!m_enabled || handOver.cardCode.isEmpty())
        return;
    m_queue.append({handOver, 0});
    if (!m_busy)
        startNext();
}

void MessengerHandOver::startNext()
{
    m_busy = !m_queue.isEmpty();
    if (!m_busy)
        return;
    if (!m_desktop || !m_desktop->available()) {
        fail(QStringLiteral("没有可用的桌面，不能打开旺旺聊天窗口"));
        return;
    }
    open(m_queue.first().what.buyer);
    m_find->start();
}

void MessengerHandOver::open(const QString &buyer)
{
    if (m_navigate && !m_sellerNick().isEmpty())
        m_navigate(dispatchLink(buyer));
}

void MessengerHandOver::找窗口tick()
{
    if (m_queue.isEmpty()) {
        m_find->stop();
        m_busy = false;
        return;
    }
    Pending &current = m_queue.first();
    m_window = 0;
    m_process = 0;
    const QString seller = m_sellerNick();
    const QString title = m_windows.title(current.what.buyer, seller);
    // Without the seller's nickname the title is not known yet: the tick
    // counts, and the next one looks again.
    const DesktopWindows::WindowId chat = seller.isEmpty() ? 0 : m_desktop->findTopLevel(title);
    if (!chat) {
        if (++current.searches >= kMaxSearches) {
            fail(seller.isEmpty() ? QStringLiteral("不知道卖家的旺旺昵称")
                                  : QStringLiteral("没有找到旺旺聊天窗口“%1”").arg(title));
            return;
        }
        open(current.what.buyer);
        return;
    }
    m_find->stop();
    if (m_beforeTyping && !current.what.orderNo.isEmpty() && !m_beforeTyping(current.what)) {
        m_queue.removeFirst();
        startNext();
        return;
    }
    m_window = chat;
    m_process = m_desktop->processId(chat);

    QString missing;
    const DesktopWindows::WindowId input = inputBox(chat, &missing);
    if (!input) {
        fail(QStringLiteral("旺旺聊天窗口里没有找到输入框（%1）").arg(missing));
        return;
    }
    // Shown before it is written: a desktop types into a window only while
    // it is shown.
    m_desktop->showNormal(chat);
    if (!m_desktop->setText(input, current.what.cardCode)) {
        fail(QStringLiteral("卡密没能完整写进旺旺聊天窗口（窗口不见了或失去了焦点），没有发送"));
        return;
    }
    if (!m_desktop->SendKeyCombo(chat, DesktopWindows::kEnter, DesktopWindows::kControl)) {
        fail(QStringLiteral("旺旺聊天窗口没有成为活动窗口，卡密没有发出"));
        return;
    }
    m_desktop->SendKeyCombo(chat, DesktopWindows::kEnter);
    const HandOver done = m_queue.takeFirst().what;
    m_close->start();
    emit handedOver(done.buyer, done.cardCode, done.orderNo);
}

DesktopWindows::WindowId MessengerHandOver::inputBox(DesktopWindows::WindowId chat,
                                                     QString *missing)
{
    DesktopWindows::WindowId parent = chat;
    for (const QString &text : std::as_const(m_windows.classChain)) {
        MessengerWindows::Link link;
        if (!MessengerWindows::parseLink(text, &link)) {
            *missing = text;
            return 0;
        }
        DesktopWindows::WindowId child = 0;
        for (int i = 0; i < link.nth; ++i) {
            child = m_desktop->findChild(parent, child, link.className);
            if (!child)
                break;
        }
        if (!child) {
            *missing = text;
            return 0;
        }
        parent = child;
    }
    return parent;
}

void MessengerHandOver::关闭窗口tick()
{
    m_close->stop();
    if (m_window && m_desktop)
        m_desktop->postClose(m_window);
    m_window = 0;
    startNext();
}

void MessengerHandOver::fail(const QString &reason)
{
    m_find->stop();
    const HandOver failed = m_queue.takeFirst().what;
    emit handOverFailed(failed.buyer, failed.cardCode, reason, failed.orderNo);
    startNext();
}
