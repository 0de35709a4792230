#include "inventory/goodsexport.h"

#include "app/core/textfile.h"

namespace {

const QString kBegin = QStringLiteral("<!-- begin -->");
const QString kEnd = QStringLiteral("<!-- end -->");
const QString kNameCell = QStringLiteral("id=name height=47>");
const QString kPriceCell = QStringLiteral("id=price height=47>");
const QString kKeyCell = QStringLiteral("id=key height=47>");
const QString kStatusCell = QStringLiteral("id=status height=47>");
const QString kCardCell = QStringLiteral("id=ka>");
const QString kCellEnd = QStringLiteral("</TD>");
const QString kPriceUnit = QStringLiteral("元");

// The value of the first cell opened by the marker at or after from; from
// moves past the cell. A missing cell gives an empty value and leaves from.
QString cell(QStringView row, QStringView marker, qsizetype &from)
{
    const qsizetype open = row.indexOf(marker, from);
    if (open < 0)
        return {};
    const qsizetype start = open + marker.size();
    const qsizetype close = row.indexOf(kCellEnd, start);
    if (close < 0) {
        from = row.size();
        return {};
    }
    from = close + kCellEnd.size();
    return row.sliced(start, close - start).toString();
}

QString oneField(QString value)
{
    value.remove(QLatin1Char('\r'));
    value.remove(QLatin1Char('\n'));
    value.remove(QLatin1Char('|'));
    return value;
}

} // namespace

std::optional<QList<GoodsRow>> readGoodsRows(const QString &bodyHtml)
{
    const qsizetype begin = bodyHtml.indexOf(kBegin);
    if (begin < 0)
        return std::nullopt;
    const qsizetype from = begin + kBegin.size();
    const qsizetype end = bodyHtml.indexOf(kEnd, from);
    if (end < 0)
        return std::nullopt;
    const QStringView section = QStringView(bodyHtml).sliced(from, end - from);

    QList<GoodsRow> rows;
    qsizetype at = section.indexOf(kNameCell);
    while (at >= 0) {
        const qsizetype next = section.indexOf(kNameCell, at + kNameCell.size());
        const QStringView row = next < 0 ? section.sliced(at) : section.sliced(at, next - at);
        qsizetype pos = 0;
        GoodsRow goods;
        goods.name = cell(row, kNameCell, pos);
        goods.price = cell(row, kPriceCell, pos);
        if (goods.price.endsWith(kPriceUnit))
            goods.price.chop(kPriceUnit.size());
        goods.key = cell(row, kKeyCell, pos);
        goods.status = cell(row, kStatusCell, pos);
        goods.card = cell(row, kCardCell, pos);
        rows.append(goods);
        at = next;
    }
    return rows;
}

QString goodsExportLine(const GoodsRow &row)
{
    return QStringList{oneField(row.key), oneField(row.price), oneField(row.status),
                       oneField(row.card)}
        .join(QLatin1Char('|'));
}

bool writeGoodsExport(const QString &path, const QList<GoodsRow> &rows, QString *error)
{
    QStringList lines;
    lines.reserve(rows.size());
    for (const GoodsRow &row : rows)
        lines.append(goodsExportLine(row));
    return writeGbkLines(path, lines, FileAccess::Shared, error);
}
