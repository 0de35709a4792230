#pragma once

#include <QMainWindow>

class QLabel;

// The main window. For now: its caption and the account panel.
class Form2 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form2(QWidget *parent = nullptr);

    void load();
    // Set by the login from its answer; not kept in the session record.
    void setCommissions(const QString &sales, const QString &bonus);

private:
    QLabel *addLabel(const char *name);

    QLabel *m_jusername = nullptr;
    QLabel *m_userid1 = nullptr;
    QLabel *m_label4 = nullptr;
    QLabel *m_jprice = nullptr;
    QLabel *m_label11 = nullptr;
    QLabel *m_label33 = nullptr;
    QLabel *m_label32 = nullptr;
};
