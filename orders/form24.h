#pragma once

#include "orders/receiptlayout.h"

#include <QHash>
#include <QString>
#include <QWidget>

class PrintHost;
class QLabel;
class QFrame;
class QPushButton;

// The receipt window: the receipt at the size of the paper, and its button
// "打印". It shows a ReceiptLayout and prints the same layout.
class Form24 : public QWidget
{
    Q_OBJECT
public:
    // The settings file "打印设置" is looked for in settingsDir.
    Form24(PrintHost &printHost, const QString &settingsDir, QWidget *parent = nullptr);

    // The load step: default title and footer, the middle block by the
    // receipt info text, the caption, the settings file, the shift.
    void load(const QString &info);
    void fillOrder(const QString &number, const QString &product, const QString &price,
                   const QString &time);
    void fillPreSale(const QString &number, const QString &product, const QString &amount,
                     const QString &dateTime);

    const ReceiptLayout &layout() const { return m_layout; }

public slots:
    // Command1: preview, printer dialog, the pages; closes once printed.
    void printReceipt();

private:
    void showLayout();

    PrintHost &m_printHost;
    QString m_settingsPath;
    ReceiptLayout m_layout;
    QHash<QString, QWidget *> m_controls;
    QPushButton *m_command1 = nullptr;
};
