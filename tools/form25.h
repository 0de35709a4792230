#pragma once

#include <QString>
#include <QWidget>

class BalanceExchange;
class NetworkAccess;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class Transfer;

// The balance query window: asks the platform for the query server, finds
// the number's region and operator, and asks the query server over TCP for
// the subscriber's name and balance.
class Form25 : public QWidget
{
    Q_OBJECT
public:
    explicit Form25(NetworkAccess &network, QWidget *parent = nullptr);
    ~Form25() override;

    // Opened from the main window's balance button: the number is looked up
    // and queried once by itself.
    void queryFromMainWindow(const QString &number);

    QString queryServer() const { return m_queryServer; }
    bool autoQuery() const { return m_autoQuery; }
    Transfer *inet1() const { return m_inet1; }
    BalanceExchange *winsock1() const { return m_winsock1; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void requestServerList();
    void onTransferDone(int state);
    void onPhoneChanged(const QString &text);
    void query();
    void onConnected(quint16 localPort, quint16 remotePort);
    void onReply(const QString &reply);
    void onFailure(const QString &description);

    QGroupBox *m_frame1;
    QLineEdit *m_phone;
    QPushButton *m_command1;
    QLabel *m_label3;
    QLabel *m_feedback;
    QLabel *m_name;
    QLabel *m_balance;
    QLabel *m_label4;
    QPushButton *m_showLog;
    QListWidget *m_list1;
    QListWidget *m_list2;
    QListWidget *m_listqh;
    Transfer *m_inet1;
    BalanceExchange *m_winsock1;

    QString m_queryServer;
    bool m_autoQuery = false;
    bool m_lookupPending = false; // the number changed while Inet1 was busy
};
