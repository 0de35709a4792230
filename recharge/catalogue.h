#pragma once

#include "orders/rechargeorder.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct ClientConfig;

// The product catalogue: the platform's products, matched against every order.

// One product of the catalogue. The field names are the catalogue table's column keys.
struct ProductItem
{
    QString list;  // category
    QString name;  // orders are matched on it
    QString price; // multiplier of the face values of a product in "元"
    QString qu;    // "号": no area needed; anything else: the product needs an area
    QString value; // FaceValueList: unit|label=cost|label=cost...

    bool operator==(const ProductItem &) const = default;
};

// Order sources, as stored in orderType and sent as lx.
namespace OrderSource {
constexpr int Manual = 0;
constexpr int Taobao = 1;
constexpr int Paipai = 2;
} // namespace OrderSource

// ---- The catalogue request ----

inline const QString kCataloguePage = QStringLiteral("newproduct.asp");
// The client's fixed access token for the catalogue page.
inline const QString kCatalogueApiToken = QStringLiteral("507318642");
inline const QString kCatalogueOperation = QStringLiteral("GET");
// newproduct.asp?api=<token>&sj=<sj>&sessionkey=<key> below the platform base URL.
QString catalogueRequestUrl(const QString &baseUrl, const QString &sessionKey, const QString &sj);
QString catalogueRequestUrl(const ClientConfig &config, const QString &sessionKey,
                            const QString &sj);
// The same with a fresh sj.
QString catalogueRequestUrl(const ClientConfig &config, const QString &sessionKey);

// ---- Reading the answer ----

struct CatalogueListing
{
    QList<ProductItem> records; // in the order of the answer
    QStringList categories;     // as the category list gets them: once per run of records
};

// Reads every record of a catalogue answer: while the rest holds "<PRODUCT_LIST>",
// the five tagged fields in order, each cut with ExtractBetween from what the field
// before left. A missing end tag gives an empty field (or, when a later record has
// that end tag, a field that runs on to it), and the record is still taken. A
// category joins the list when it is not empty and differs from the category of
// the record before. Text around and between records is ignored.
CatalogueListing 加载商品列表(const QString &response);

// ---- The catalogue table ----

struct CatalogueRow
{
    QString key; // "wawa0", "wawa1", ... in the order the rows were added
    ProductItem item;
};

// The rows of the catalogue table. Every new row goes on top, so the table lists
// the products in the reverse of the order they came in, and every scan runs from
// the top: among products that qualify alike, the one sent last wins.
class Catalogue
{
public:
    // Each record goes on top in turn, with the next key; the key counter is never reset.
    void addRecords(const QList<ProductItem> &records);
    void addRecord(const ProductItem &record);

    qsizetype size() const { return m_rows.size(); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    // Top-first, as the table shows them.
    QList<CatalogueRow> rows() const;
    // Row at position index from the top, 0 <= index < size().
    const CatalogueRow &rowFromTop(qsizetype index) const;

    // The CatalogueMatch of an order: the first row from the top whose name is not
    // empty and equals the product text (manual orders) or occurs in it (shop
    // orders) decides alone, through 判断数量 on its value and multiplier. Nothing
    // when no row qualifies, when that row has no matching amount, and for a source
    // that is none of the three.
    std::optional<CatalogueMatch> 判断业务名称(const QString &productText,
                                               const QString &amountText, int source) const;

    // The products a counter order can be matched to, from the top, each
    // name once (the row an exact match takes), with its amounts.
    QList<ProductChoice> productChoices() const;

private:
    QList<CatalogueRow> m_rows;               // in the order added; the top row is the last
    QHash<QString, qsizetype> m_newestByName; // exact matches: the highest row of a name
    quint64 m_nextKey = 0;
};

// The figures of a CatalogueMatch for one product (its platformProduct left
// empty): the first entry of the value text whose display amount equals the
// amount text exactly, then for a manual order the amount and "1", for a shop
// order the face value read from the item title and the amount (the bought
// count). Nothing when no entry matches; entries with an empty label never match.
std::optional<CatalogueMatch> 判断数量(const QString &valueText, const QString &amountText,
                                       const QString &multiplier, const QString &productText,
                                       int source);

// The face value an item title names: the first keyword of a fixed table found in
// it, tried in order ("汀柘存款" 1, "600个", "300个", "100元", "50元", "30元", "20元",
// "10元", "12个", "10个", "6个", "5元", "3个"); 1 when none is found.
int 订单名称转换面值(const QString &productText);
