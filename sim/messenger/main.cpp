// messenger-sim [--chat BUYER --seller SELLER] [--sim ROOT_URL] [--out FILE]
//               [--steal-after N]
// A tiny stand-in for the market place's messenger program: one window per
// chat, titled buyer + " - " + seller, with one text box. What is sent in it
// (Enter or Ctrl+Enter) goes to FILE as "<title>\t<text>" lines and to
// standard output. With --chat it shows that chat; with --sim it opens a chat
// for each opening of the simulator's dispatch link, as the real messenger
// does for its web page. With --steal-after, a second window ("弹窗") opens
// and takes the focus once the chat's box holds N characters, as a chat that
// pops up while a code is typed does.
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

namespace {

class ChatWindow : public QWidget
{
public:
    ChatWindow(const QString &buyer, const QString &seller, QString outFile, int stealAfter = 0)
        : m_outFile(std::move(outFile))
    {
        setObjectName(QStringLiteral("chat"));
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(buyer + QStringLiteral(" - ") + seller);
        auto *layout = new QVBoxLayout(this);
        m_last = new QLabel(QStringLiteral("（还没有消息）"), this);
        m_last->setObjectName(QStringLiteral("sent"));
        m_input = new QLineEdit(this);
        m_input->setObjectName(QStringLiteral("input"));
        m_input->installEventFilter(this);
        layout->addWidget(m_last);
        layout->addWidget(m_input);
        resize(360, 120);
        m_input->setFocus();
        if (stealAfter > 0) {
            connect(m_input, &QLineEdit::textChanged, this, [this, stealAfter](const QString &t) {
                if (m_popup || t.size() < stealAfter)
                    return;
                m_popup = new ChatWindow(QStringLiteral("弹窗"), QString(), m_outFile);
                m_popup->setWindowTitle(QStringLiteral("弹窗"));
                m_popup->show();
                m_popup->raise();
                m_popup->activateWindow();
            });
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_input && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            // Ctrl+Enter or Enter, as the real messenger sends.
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                send();
                return true;
            }
        }
        return QWidget::eventFilter(watched, event);
    }

private:
    void send()
    {
        const QString text = m_input->text();
        if (text.isEmpty())
            return;
        const QByteArray line = (windowTitle() + QLatin1Char('\t') + text).toUtf8() + '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
        if (!m_outFile.isEmpty()) {
            QFile out(m_outFile);
            if (out.open(QIODevice::WriteOnly | QIODevice::Append))
                out.write(line);
        }
        m_last->setText(QStringLiteral("已发送：") + text);
        m_input->clear();
    }

    QString m_outFile;
    QLabel *m_last;
    QLineEdit *m_input;
    ChatWindow *m_popup = nullptr;
};

// Asks the simulator every second which chats its dispatch link opened.
class DispatchWatcher : public QObject
{
public:
    DispatchWatcher(QString rootUrl, QString outFile)
        : m_url(rootUrl + (rootUrl.endsWith(QLatin1Char('/')) ? "" : "/") +
                QStringLiteral("wangwang/dispatches")),
          m_outFile(std::move(outFile))
    {
        connect(&m_timer, &QTimer::timeout, this, &DispatchWatcher::poll);
        m_timer.start(1000);
    }

private:
    void poll()
    {
        if (m_busy)
            return;
        m_busy = true;
        QNetworkReply *reply = m_network.get(QNetworkRequest(QUrl(m_url)));
        connect(reply, &QNetworkReply::finished, this, [this, reply] {
            reply->deleteLater();
            m_busy = false;
            if (reply->error() != QNetworkReply::NoError)
                return;
            const QList<QByteArray> lines = reply->readAll().split('\n');
            for (const QByteArray &line : lines) {
                const QList<QByteArray> fields = line.split('\t');
                if (fields.size() != 3 || fields.at(0).toInt() <= m_seen)
                    continue;
                m_seen = fields.at(0).toInt();
                auto *chat = new ChatWindow(QString::fromUtf8(fields.at(2)),
                                            QString::fromUtf8(fields.at(1)), m_outFile);
                chat->show();
            }
        });
    }

    QString m_url;
    QString m_outFile;
    QNetworkAccessManager m_network;
    QTimer m_timer;
    int m_seen = 0;
    bool m_busy = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A tiny messenger for the demo and tests."));
    parser.addHelpOption();
    const QCommandLineOption chat(QStringLiteral("chat"),
                                  QStringLiteral("Buyer of a chat to show."),
                                  QStringLiteral("buyer"));
    const QCommandLineOption seller(QStringLiteral("seller"), QStringLiteral("Seller of the chat."),
                                    QStringLiteral("seller"));
    const QCommandLineOption sim(QStringLiteral("sim"),
                                 QStringLiteral("Simulator root URL to take chats from."),
                                 QStringLiteral("url"));
    const QCommandLineOption out(QStringLiteral("out"),
                                 QStringLiteral("File to append sent messages to."),
                                 QStringLiteral("file"));
    const QCommandLineOption steal(QStringLiteral("steal-after"),
                                   QStringLiteral("Open a window that takes the focus once the "
                                                  "chat's box holds this many characters."),
                                   QStringLiteral("n"));
    parser.addOptions({chat, seller, sim, out, steal});
    parser.process(app);
    if (!parser.isSet(chat) && !parser.isSet(sim)) {
        std::fputs("messenger-sim: give --chat BUYER --seller SELLER, or --sim URL\n", stderr);
        return 2;
    }
    std::unique_ptr<DispatchWatcher> watcher;
    if (parser.isSet(sim)) {
        app.setQuitOnLastWindowClosed(false);
        watcher = std::make_unique<DispatchWatcher>(parser.value(sim), parser.value(out));
    }
    if (parser.isSet(chat)) {
        auto *window = new ChatWindow(parser.value(chat), parser.value(seller), parser.value(out),
                                      parser.value(steal).toInt());
        window->show();
    }
    return app.exec();
}
