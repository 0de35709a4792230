#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The client's local text files ("zh.txt" and the like): GBK, CR LF line ends.

enum class FileAccess
{
    Shared,
    OwnerOnly // created with, or tightened to, read and write for the owner alone
};

// nullopt when the file is missing or cannot be read. Lines end with CR LF; a bare LF is
// taken as a line end too, and a final line end adds no empty line.
std::optional<QStringList> readGbkLines(const QString &path, QString *error = nullptr);

// Replaces the file as a whole (never half-written): every line followed by CR LF.
bool writeGbkLines(const QString &path, const QStringList &lines,
                   FileAccess access = FileAccess::Shared, QString *error = nullptr);

// Adds one line with CR LF, creating the file when it is missing.
bool appendGbkLine(const QString &path, const QString &line, FileAccess access = FileAccess::Shared,
                   QString *error = nullptr);
