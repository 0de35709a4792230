#include "widgets/systemclipboard.h"

#include <QClipboard>
#include <QGuiApplication>

void SystemClipboard::setText(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}
