#include "app/core/machineid.h"

#include <QFile>

QString formatMachineId(quint32 serial)
{
    return QString::number(serial, 16).toUpper();
}

QString computeMachineId()
{
    // systemd's id first, then the D-Bus one that older systems keep.
    for (const char *path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        QFile file(QString::fromLatin1(path));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray id = file.readLine(64).trimmed();
        if (id.size() < 8)
            continue;
        bool ok = false;
        const quint32 serial = id.left(8).toUInt(&ok, 16);
        if (ok)
            return formatMachineId(serial);
    }
    return QStringLiteral("0");
}
