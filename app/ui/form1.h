#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "app/core/loginanswer.h"

class Browser;
class Form3;
class Form14;
class Transfer;
class iButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

inline const QString kSavedAccountsFile = QStringLiteral("zh.txt");
inline const QString kLoginSucceeded = QStringLiteral("登陆成功！");
inline const QString kClientVersion = QStringLiteral("1.5");

// One saved line of zh.txt: the account is cut at the first "&", the password
// is all that follows it (so a password holding "&" survives).
struct SavedAccount
{
    QString account;
    QString password;
};
SavedAccount parseSavedAccount(const QString &line);

// The login window: the first window of the client.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);

    bool loginPending() const { return m_loginPending; }
    // What the version page announced: BB the version, xzdz the address.
    QString BB() const { return m_bb; }
    QString xzdz() const { return m_xzdz; }

signals:
    void registrationRequested();
    void loggedIn(QWidget *mainWindow);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void load();
    void loadSavedAccounts();
    void logIn();
    void onLoginPage(const QString &url);
    void onAccountChosen();
    void onVersionPage();
    void openRegistration();

    QComboBox *m_zh = nullptr;
    QLineEdit *m_mm = nullptr;
    QCheckBox *m_check1 = nullptr;
    QComboBox *m_combo2 = nullptr;
    QLabel *m_label1 = nullptr;
    QLabel *m_label2 = nullptr;
    QLabel *m_label3 = nullptr;
    QLabel *m_label4 = nullptr;
    QGroupBox *m_frame1 = nullptr;
    iButton *m_iButton1 = nullptr;
    iButton *m_iButton2 = nullptr;
    Browser *m_dl = nullptr;
    Browser *m_web = nullptr;
    Browser *m_webp = nullptr;
    Transfer *m_inet1 = nullptr;
    bool m_loginPending = false;
    QString m_sentAccount;
    QString m_sentPassword;
    QString m_bb;
    QString m_xzdz;
    QPointer<Form3> m_form3;
    QPointer<Form14> m_form14;
};
