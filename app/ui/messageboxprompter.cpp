#include "app/ui/messageboxprompter.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

void MessageBoxPrompter::inform(const QString &title, const QString &text)
{
    QMessageBox::information(QApplication::activeWindow(), title, text, QMessageBox::Ok);
}

bool MessageBoxPrompter::ask(const QString &title, const QString &text)
{
    return QMessageBox::question(QApplication::activeWindow(), title, text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> MessageBoxPrompter::input(const QString &title, const QString &prompt,
                                                 const QString &defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                               QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}
