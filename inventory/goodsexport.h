#pragma once

#include <QList>
#include <QString>
#include <optional>

// The export of the platform's goods page ("productlist.asp") into "货物.txt".

inline const QString kGoodsExportFileName = QStringLiteral("货物.txt");

// One goods row of the page. The name is read but not exported.
struct GoodsRow
{
    QString name;
    QString price; // without the unit "元"
    QString key;
    QString status;
    QString card;
};

// The rows between "<!-- begin -->" and "<!-- end -->" of the body as the
// browser serialises it, in page order; each row starts at its name cell and
// its other cells are looked for before the next row starts. nullopt when the
// body has no such section, so it is not the goods page (an error page, a
// login page, a page cut short).
std::optional<QList<GoodsRow>> readGoodsRows(const QString &bodyHtml);

// key|price|status|card, without line breaks or "|" inside a value.
QString goodsExportLine(const GoodsRow &row);

// Replaces the file as a whole; false with the reason when it could not.
bool writeGoodsExport(const QString &path, const QList<GoodsRow> &rows, QString *error = nullptr);
