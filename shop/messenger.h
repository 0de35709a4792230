#pragma once

#include "shop/delivery.h"
#include "shop/desktop/desktopwindows.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QTimer;

// What the client looks for in the messenger program; configuration, because
// it is the shape of one messenger build.
struct MessengerWindows
{
    // "{buyer}" and "{seller}" stand for the two nicknames.
    QString titleForm = QStringLiteral("{buyer} - {seller}");
    // From the chat window down to its input box: class names, each the
    // first child of that class, or with ":n" the n-th. Empty: the chat
    // window takes the text itself.
    QStringList classChain = {QStringLiteral("SplitterBar"), QStringLiteral("StandardWindow:2"),
                              QStringLiteral("RichEditComponent")};

    QString title(const QString &buyer, const QString &seller) const;
    // Parsed "Name" or "Name:n"; false for a link that is not one.
    struct Link
    {
        QString className;
        int nth = 1;
    };
    static bool parseLink(const QString &text, Link *link);
};

// The messenger hand-over: a Taobao buyer's card code typed into the chat
// window the messenger's dispatch link opens. One hand-over at a time, in
// the order they came: 找窗口 looks for the window every 6 s, a bounded number
// of times, and writes and sends the code; 关闭窗口 closes it 2 s later.
class MessengerHandOver : public QObject, public CardHandOver
{
    Q_OBJECT
public:
    static constexpr int kSearchIntervalMs = 6000;
    static constexpr int kCloseDelayMs = 2000;
    static constexpr int kMaxSearches = 10;

    using Navigate = std::function<void(const QString &url)>;
    using SellerNick = std::function<QString()>;

    // desktop may be null: every hand-over then fails at once, saying so.
    // sellerNick: the seller's messenger name as the Taobao harvester knows it now.
    MessengerHandOver(DesktopWindows *desktop, QString messengerSite, SellerNick sellerNick,
                      MessengerWindows windows = {}, QObject *parent = nullptr);

    // The browser that opens the dispatch link (Webww); none: not opened.
    void setNavigate(Navigate navigate) { m_navigate = std::move(navigate); }
    // Asked just before a code is typed, to note that it is being typed;
    // false when it no longer waits (the agent marked it sent by hand) or the
    // note could not be kept: it is then dropped, untyped.
    void setBeforeTyping(std::function<bool(const HandOver &)> beforeTyping)
    {
        m_beforeTyping = std::move(beforeTyping);
    }
    // Check1: off, new hand-overs are not taken (those waiting still run).
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool isEnabled() const { return m_enabled; }

    bool takesCodes() const override { return m_enabled; }
    // Queued unless switched off or without a code; waits in the store until
    // handedOver or handOverFailed says how it ended.
    void handOver(const HandOver &handOver) override;
    void handOver(const QString &buyer, const QString &cardCode)
    {
        handOver(HandOver{.buyer = buyer, .cardCode = cardCode});
    }

    QTimer *找窗口() const { return m_find; }
    QTimer *关闭窗口() const { return m_close; }
    int waiting() const { return int(m_queue.size()); }
    DesktopWindows::WindowId chatWindow() const { return m_window; }
    qint64 chatProcess() const { return m_process; }

    QString dispatchLink(const QString &buyer) const;
    void 找窗口tick();
    void 关闭窗口tick();

signals:
    // The card code was written into the buyer's chat window and sent.
    void handedOver(const QString &buyer, const QString &cardCode, const QString &orderNo);
    // It was not; reason says why, for the agent.
    void handOverFailed(const QString &buyer, const QString &cardCode, const QString &reason,
                        const QString &orderNo);

private:
    struct Pending
    {
        HandOver what;
        int searches = 0;
    };

    void startNext();
    void fail(const QString &reason);
    DesktopWindows::WindowId inputBox(DesktopWindows::WindowId chat, QString *missing);
    void open(const QString &buyer);

    DesktopWindows *m_desktop;
    QString m_site;
    SellerNick m_sellerNick;
    MessengerWindows m_windows;
    Navigate m_navigate;
    std::function<bool(const HandOver &)> m_beforeTyping;
    bool m_enabled = true;
    QTimer *m_find;
    QTimer *m_close;
    QList<Pending> m_queue; // the first is the one being handed over
    bool m_busy = false;
    DesktopWindows::WindowId m_window = 0;
    qint64 m_process = 0;
};
