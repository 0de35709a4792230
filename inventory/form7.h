#pragma once

#include <QString>
#include <QWidget>

class Browser;
class QPushButton;

inline const QString kGoodsSaved = QStringLiteral("添加成功");

// The goods settings window: the platform's list of the agent's goods in the
// browser Webp, and its export into "货物.txt" in folder.
class Form7 : public QWidget
{
    Q_OBJECT
public:
    explicit Form7(const QString &folder, QWidget *parent = nullptr);

    Browser *webp() const { return m_webp; }
    QString exportFile() const;

private:
    void navigate();
    void save();

    QString m_folder;
    Browser *m_webp = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command1 = nullptr;
};
