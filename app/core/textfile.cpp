#include "app/core/textfile.h"

#include "app/core/gbk.h"

#include <QFile>
#include <QSaveFile>

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

std::optional<QStringList> readGbkLines(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fail(error, file.errorString());
        return std::nullopt;
    }

    QStringList lines;
    qsizetype from = 0;
    while (from < bytes.size()) {
        qsizetype lf = bytes.indexOf('\n', from);
        const qsizetype next = lf < 0 ? bytes.size() : lf + 1;
        qsizetype to = lf < 0 ? bytes.size() : lf;
        if (to > from && bytes[to - 1] == '\r')
            --to;
        lines.append(fromGbk(QByteArrayView(bytes).sliced(from, to - from)));
        from = next;
    }
    return lines;
}

bool writeGbkLines(const QString &path, const QStringList &lines, FileAccess access, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, file.errorString());
    // Tighten before any content is written, so the text is never readable by others.
    if (access == FileAccess::OwnerOnly && !file.setPermissions(kOwnerOnly))
        return fail(error, file.errorString());

    QByteArray bytes;
    for (const QString &line : lines)
        bytes += toGbk(line) + kLineEnd;
    if (file.write(bytes) != bytes.size())
        return fail(error, file.errorString());
    // QSaveFile::commit() puts a file whose buffered tail could not be written
    // (a full disk) in place of the old one all the same.
    if (!file.flush())
        return fail(error, qt_error_string());
    if (!file.commit())
        return fail(error, file.errorString());
    return true;
}

bool appendGbkLine(const QString &path, const QString &line, FileAccess access, QString *error)
{
    QFile file(path);
    const bool opened = access == FileAccess::OwnerOnly
                            ? file.open(QIODevice::ReadWrite | QIODevice::Append, kOwnerOnly)
                            : file.open(QIODevice::ReadWrite | QIODevice::Append);
    if (!opened)
        return fail(error, file.errorString());
    if (access == FileAccess::OwnerOnly && !file.setPermissions(kOwnerOnly))
        return fail(error, file.errorString());

    QByteArray bytes;
    // A file whose last line lacks its line end (edited by hand) would otherwise have
    // the new line glued onto that one.
    const qint64 size = file.size();
    if (size > 0) {
        char last = 0;
        if (!file.seek(size - 1) || !file.getChar(&last))
            return fail(error, file.errorString());
        if (last != '\n')
            bytes += kLineEnd;
    }
    bytes += toGbk(line) + kLineEnd;
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fail(error, file.errorString());
    return true;
}
