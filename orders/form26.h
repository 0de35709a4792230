#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QPushButton;

// The receipt settings window: the receipt's template with the title and the
// footer in edit boxes, and "保存设置", which writes "打印设置".
class Form26 : public QWidget
{
    Q_OBJECT
public:
    explicit Form26(const QString &settingsDir, QWidget *parent = nullptr);

public slots:
    // Command1 "保存设置".
    void saveSettings();

private:
    void load();

    QString m_settingsPath;
    QLineEdit *m_text2 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QPushButton *m_command1 = nullptr;
};
