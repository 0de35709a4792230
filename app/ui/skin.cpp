#include "app/ui/skin.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

bool attachSkin(const QString &dir)
{
    const QString path = QDir(dir).absoluteFilePath(kSkinFileName);
    if (!QFile::exists(path)) {
        QFile resource(QStringLiteral(":/skin/skin.qss"));
        QSaveFile out(path);
        if (!resource.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return false;
        out.write(resource.readAll());
        if (!out.commit())
            return false;
    }
    QFile skin(path);
    if (!skin.open(QIODevice::ReadOnly))
        return false;
    qApp->setStyleSheet(QString::fromUtf8(skin.readAll()));
    return true;
}
