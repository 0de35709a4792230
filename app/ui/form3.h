#pragma once

#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>
#include <QWidget>

class Browser;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// Written into a box that fails its test; it also marks the box as failed.
inline const QString kFieldMessage = QStringLiteral("必须填写且不含有标点符号");
inline const QString kRegistrationSucceeded = QStringLiteral("注册成功！");
inline const QString kAgreementNotTicked = QStringLiteral("协议没有打钩！");

// The registration window: checks the account data typed into its own boxes,
// then fills and submits the platform's registration form in the hidden
// browser zc and shows the platform's answer.
class Form3 : public QWidget
{
    Q_OBJECT
public:
    explicit Form3(QWidget *parent = nullptr);

    // The text without the characters the platform's form refuses:
    // ' ? ( ) . < > and the blank.
    static QString check(QStringView text);
    // What pd marks: an empty text, the field message itself, or a text that
    // holds a refused character.
    static bool fieldFails(QStringView text);

    static inline const QColor failedColour = QColor(0xFF, 0x00, 0x00); // &H000000FF
    static inline const QColor normalColour = QColor(0x00, 0x00, 0x00); // &H00000000

    // 1 once a box has failed, or once the form has been submitted.
    int flag() const { return m_flag; }
    // A registration has been started and its answer is still to come.
    bool attemptPending() const { return m_attempt != Attempt::Idle; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Attempt
    {
        Idle,        // the page in zc is loaded once at load and left alone
        LoadingForm, // a fresh registration form is loading, to be filled and submitted
        Submitted    // the form went out; the next page is the platform's answer
    };

    void load();
    void pd(QLineEdit *box);
    void hy(QLineEdit *box);
    void registerAccount();
    void onRegistrationPage();
    void submitForm();
    void finishAttempt(const QString &message);
    void onAttemptTimeout();
    QString registrationPage() const;
    void setBoxColour(QLineEdit *box, const QColor &colour);
    void openPlatformPage(const QString &relative);

    QLineEdit *m_zh = nullptr;
    QLineEdit *m_mm = nullptr;
    QLineEdit *m_cmm = nullptr;
    QLineEdit *m_username = nullptr;
    QLineEdit *m_userqq = nullptr;
    QLineEdit *m_userphone = nullptr;
    QLineEdit *m_usercard = nullptr;
    QLineEdit *m_jymm = nullptr;
    QLineEdit *m_cjymm = nullptr;
    QList<QLineEdit *> m_boxes;        // the nine, in the order they are checked
    QList<QLineEdit *> m_clickRestore; // the boxes a click restores
    QList<QLineEdit *> m_secretBoxes;  // passwords: hidden unless they show the message
    QLabel *m_label1 = nullptr;
    QLabel *m_label13 = nullptr;
    QLabel *m_label20 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QPushButton *m_command1 = nullptr;
    Browser *m_zc = nullptr;
    QTimer *m_attemptTimer = nullptr; // an attempt whose page never comes ends

    int m_flag = 0;
    Attempt m_attempt = Attempt::Idle;
    QHash<QString, QString> m_toSubmit; // page field id -> the text that passed the checks
};
