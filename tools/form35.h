#pragma once

#include <QString>
#include <QWidget>

class NetworkAccess;
class QLabel;
class QLineEdit;
class QPushButton;
class Transfer;

// The agent website window: the agent's site address, to open and copy, and
// the five settings the site shows, read when the window opens and saved
// with 生成.
class Form35 : public QWidget
{
    Q_OBJECT
public:
    explicit Form35(NetworkAccess &network, QWidget *parent = nullptr);
    ~Form35() override;

    QString siteAddress() const { return m_siteAddress; }
    Transfer *inet1() const { return m_inet1; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void read();
    void save();
    void onReply(int state);
    void openSite();

    QLabel *m_label1;
    QLabel *m_label2;
    QLineEdit *m_texts[5];
    QLabel *m_label8;
    QPushButton *m_command1;
    Transfer *m_inet1;
    QString m_siteAddress;
};
