#include "recharge/catalogue.h"

#include "app/core/config.h"
#include "app/core/platform.h"
#include "recharge/facevalue.h"

#include <QSet>

#include <array>

namespace {

struct Tag
{
    QStringView start;
    QStringView end;
};

const Tag kListTag{u"<PRODUCT_LIST>", u"</PRODUCT_LIST>"};
const Tag kNameTag{u"<PRODUCT_NAME>", u"</PRODUCT_NAME>"};
const Tag kPriceTag{u"<PRODUCT_JHJ>", u"</PRODUCT_JHJ>"};
const Tag kAreaTag{u"<PRODUCT_HAO>", u"</PRODUCT_HAO>"};
const Tag kValueTag{u"<PRODUCT_DW>", u"</PRODUCT_DW>"};

// ExtractBetween over the answer, for one tag pair. A malformed answer can miss a
// tag in every record; searching for it anew from each record would rescan the
// whole rest of a long answer every time. The text only ever loses its front, so
// once the reading position is past the tag's last occurrence in the answer the
// search cannot succeed and is skipped, with ExtractBetween's own outcome.
class FieldReader
{
public:
    explicit FieldReader(const QString &answer) : m_text(answer), m_length(answer.size()) {}

    struct Field
    {
        Tag tag;
        qsizetype lastStart;
        qsizetype lastEnd;
    };

    static Field field(const Tag &tag, const QString &answer)
    {
        return {tag, answer.lastIndexOf(tag.start), answer.lastIndexOf(tag.end)};
    }

    bool hasStart(const Field &f) const { return position() <= f.lastStart; }

    QString read(const Field &f)
    {
        if (!hasStart(f))
            return QString(); // start tag absent: the text stays as it is
        if (position() > f.lastEnd) {
            // End tag absent: cut after the start tag, empty result.
            const qsizetype at = m_text.view().indexOf(f.tag.start);
            m_text.advance(at + f.tag.start.size());
            return QString();
        }
        return ExtractBetween(f.tag.start, f.tag.end, m_text);
    }

private:
    qsizetype position() const { return m_length - m_text.size(); }

    CutText m_text;
    qsizetype m_length;
};

struct Keyword
{
    const char16_t *text;
    int value;
};

// Tried in this order; the first found decides (so "110元" gives 10, "15元" 5).
constexpr std::array<Keyword, 13> kFaceValueKeywords = {{
    {u"汀柘存款", 1},
    {u"600个", 600},
    {u"300个", 300},
    {u"100元", 100},
    {u"50元", 50},
    {u"30元", 30},
    {u"20元", 20},
    {u"10元", 10},
    {u"12个", 12},
    {u"10个", 10},
    {u"6个", 6},
    {u"5元", 5},
    {u"3个", 3},
}};

bool isShopSource(int source)
{
    return source == OrderSource::Taobao || source == OrderSource::Paipai;
}

} // namespace

QString catalogueRequestUrl(const QString &baseUrl, const QString &sessionKey, const QString &sj)
{
    return baseUrl + kCataloguePage + QStringLiteral("?api=") + kCatalogueApiToken +
           QStringLiteral("&sj=") + sj + QStringLiteral("&sessionkey=") + sessionKey;
}

QString catalogueRequestUrl(const ClientConfig &config, const QString &sessionKey,
                            const QString &sj)
{
    return catalogueRequestUrl(config.platformBaseUrl, sessionKey, sj);
}

QString catalogueRequestUrl(const ClientConfig &config, const QString &sessionKey)
{
    return catalogueRequestUrl(config, sessionKey, NewSjValue());
}

CatalogueListing 加载商品列表(const QString &response)
{
    CatalogueListing listing;
    FieldReader reader(response);
    const auto list = FieldReader::field(kListTag, response);
    const auto name = FieldReader::field(kNameTag, response);
    const auto price = FieldReader::field(kPriceTag, response);
    const auto area = FieldReader::field(kAreaTag, response);
    const auto value = FieldReader::field(kValueTag, response);

    QString previousCategory;
    while (reader.hasStart(list)) {
        ProductItem item;
        item.list = reader.read(list);
        if (!item.list.isEmpty() && item.list != previousCategory)
            listing.categories.append(item.list);
        previousCategory = item.list;
        item.name = reader.read(name);
        item.price = reader.read(price);
        item.qu = reader.read(area);
        item.value = reader.read(value);
        listing.records.append(std::move(item));
    }
    return listing;
}

void Catalogue::addRecords(const QList<ProductItem> &records)
{
    m_rows.reserve(m_rows.size() + records.size());
    for (const ProductItem &record : records)
        addRecord(record);
}

void Catalogue::addRecord(const ProductItem &record)
{
    m_rows.append({QStringLiteral("wawa") + QString::number(m_nextKey++), record});
    if (!record.name.isEmpty())
        m_newestByName.insert(record.name, m_rows.size() - 1);
}

QList<CatalogueRow> Catalogue::rows() const
{
    return QList<CatalogueRow>(m_rows.crbegin(), m_rows.crend());
}

const CatalogueRow &Catalogue::rowFromTop(qsizetype index) const
{
    return m_rows.at(m_rows.size() - 1 - index);
}

QList<ProductChoice> Catalogue::productChoices() const
{
    QList<ProductChoice> choices;
    QSet<QString> named;
    for (auto it = m_rows.crbegin(); it != m_rows.crend(); ++it) {
        const ProductItem &item = it->item;
        if (item.name.isEmpty() || named.contains(item.name))
            continue;
        named.insert(item.name);
        ProductChoice choice{item.name, {}};
        const QList<QStringView> items = QStringView(item.value).split(u'|');
        for (qsizetype i = 1; i < items.size(); ++i) {
            const QStringView label = faceValueLabel(items.at(i));
            if (!label.isEmpty())
                choice.amounts.append(faceValueDisplayAmount(label, items.first(), item.price));
        }
        choices.append(choice);
    }
    return choices;
}

std::optional<CatalogueMatch> Catalogue::判断业务名称(const QString &productText,
                                                      const QString &amountText, int source) const
{
    const CatalogueRow *candidate = nullptr;
    if (source == OrderSource::Manual) {
        // The highest row of exactly this name is the first a scan from the top meets.
        const auto it = m_newestByName.constFind(productText);
        if (it != m_newestByName.cend())
            candidate = &m_rows.at(it.value());
    } else if (isShopSource(source)) {
        for (auto it = m_rows.crbegin(); it != m_rows.crend(); ++it) {
            if (!it->item.name.isEmpty() && productText.contains(it->item.name)) {
                candidate = &*it;
                break;
            }
        }
    }
    if (!candidate)
        return std::nullopt;

    std::optional<CatalogueMatch> match =
        判断数量(candidate->item.value, amountText, candidate->item.price, productText, source);
    if (match)
        match->platformProduct = candidate->item.name;
    return match;
}

std::optional<CatalogueMatch> 判断数量(const QString &valueText, const QString &amountText,
                                       const QString &multiplier, const QString &productText,
                                       int source)
{
    QString quantity;
    QString actualQuantity;
    if (source == OrderSource::Manual) {
        quantity = amountText;
        actualQuantity = QStringLiteral("1");
    } else if (isShopSource(source)) {
        quantity = QString::number(订单名称转换面值(productText));
        actualQuantity = amountText;
    } else {
        return std::nullopt;
    }

    const QList<QStringView> items = QStringView(valueText).split(u'|');
    const QStringView unit = items.first();
    for (qsizetype i = 1; i < items.size(); ++i) {
        const QStringView label = faceValueLabel(items.at(i));
        if (label.isEmpty())
            continue; // a stray "|" is no face value
        const QString amount = faceValueDisplayAmount(label, unit, multiplier);
        if (amount == amountText)
            return CatalogueMatch{QString(), amount, quantity, actualQuantity};
    }
    return std::nullopt;
}

int 订单名称转换面值(const QString &productText)
{
    for (const Keyword &k : kFaceValueKeywords) {
        if (productText.contains(QStringView(k.text)))
            return k.value;
    }
    return 1;
}
