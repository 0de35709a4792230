#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What the manual recharge panel computes from text: its two product pages,
// the number's region, and the purchase-price label. No widget in here.

// ---- Requests ----

inline const QString kProductPage = QStringLiteral("product.asp");
inline const QString kNumberInfoPage = QStringLiteral("mobinfo.do");
inline const QString kNumberInfoOperation = QStringLiteral("POST");

// product.asp?sj=<sj>&sessionkey=<key>&hardware=<machine id> below the base URL:
// the businesses.
QString businessListUrl(const QString &baseUrl, const QString &sessionKey, const QString &machineId,
                        const QString &sj);
// product.asp?action=ss&sessionkey=<key>&yw=<business>&sj=<sj>&hardware=<id>&sj=<sj2>:
// the products of one business. The business is typed by the agent and escaped.
QString productPageUrl(const QString &baseUrl, const QString &sessionKey, const QString &business,
                       const QString &machineId, const QString &sj, const QString &secondSj);
// The number-information service's address: its configured folder + "mobinfo.do".
QString numberInfoUrl(const QString &serviceUrl);
// "mobilenum=" + the first 7 digits.
QString numberInfoBody(const QString &number);

// ---- The product pages ----

// At most this many products of one business are read, and this many amounts
// of one product.
inline constexpr int kMaxManualProducts = 501;
inline constexpr int kMaxManualAmounts = 500;

// One product of a business, as its product page lists it.
struct ManualProduct
{
    QString name;
    QString price;          // multiplier
    QString qu;             // area marker
    QString value;          // FaceValueList
    bool needsArea = false; // the marker is anything but "号"

    bool operator==(const ManualProduct &) const = default;
};

// Every "<PRODUCT_NAME>" business "</PRODUCT_NAME>" of the business page, in order.
QStringList readBusinessList(const QString &bodyHtml);

// The records of a products page: while the rest holds "<PRODUCT_NAME>", the four
// fields of the next record, each between the first start tag and the first end tag
// after it in the rest, then the rest continues after that record's "</PRODUCT_DW>".
// A record without "</PRODUCT_DW>" is the last one read. Entities the browser wrote
// into the body (&amp; and the like) are read back as characters, so names equal
// those of the catalogue.
QList<ManualProduct> readProductPage(const QString &bodyHtml);

// The amount list of a product: its unit, the display amounts (the labels, or with
// the unit "元" label × multiplier, as the catalogue matches them) and the cost of
// each, in the order of the value text. An item without "=" ends the list there.
struct AmountChoices
{
    QString unit;
    QStringList amounts;
    QStringList costs; // costs[i] belongs to amounts[i]
};
AmountChoices amountChoices(const ManualProduct &product);

// ---- The number ----

// The hint Label13 shows while no region is known.
inline const QString kRegionHint = QStringLiteral("提示：手机固话可以查询余额");

// A phone number: only ASCII digits, at least one.
bool isNumberText(const QString &text);

// What an edit of the number box leads to.
enum class NumberAction
{
    RegionRequest,   // 11 digits beginning with 1: ask the number-information service
    FixedLineRegion, // more than 2 digits beginning with 0: look the area code up
    DisableBalance,  // anything else: no balance query
};
NumberAction numberAction(const QString &text);

// The 307 entries of Listqh: region text immediately followed by the area code,
// in the order the lookup goes through them (duplicates and all).
const QStringList &fixedLineAreaTable();

// The region of a fixed-line number from its first three digits: the first entry
// containing them anywhere, up to that entry's first "0", + "固定电话"; empty when
// none contains them.
QString 获取电信号码区(const QString &firstThree);
QString 获取电信号码区(const QStringList &table, const QString &firstThree);

// The number-information answer: fields separated by "|", field 1 + "-" + field 2;
// nothing when the answer has fewer than three fields.
std::optional<QString> readNumberRegion(const QString &answer);

// ---- The purchase-price label Label8 ----

inline const QString kShowPurchasePrice = QStringLiteral("显示进货价");
inline const QString kPurchasePricePrefix = QStringLiteral("进货价为：");
// The prompt in blue (&HFF0000 of the window design, blue-green-red), the price in
// &HFF0 (red 240, green 15).
inline const QString kPromptColour = QStringLiteral("#0000ff");
inline const QString kPriceColour = QStringLiteral("#f00f00");

// A cost as the label shows it on a click: 3 decimals with a leading zero (9.980,
// 0.500), rounded half away from zero on the decimal text itself; a cost that is
// no plain decimal number as it stands.
QString formatPurchasePrice(const QString &cost);

struct PriceLabel
{
    QString text;
    QString colour; // #rrggbb
    bool operator==(const PriceLabel &) const = default;
};

// A click on Label8: back to the prompt when it shows a price or no product is
// chosen; otherwise the chosen amount's formatted cost. Nothing changes with the
// prompt entry chosen (no cost).
std::optional<PriceLabel> purchasePriceClick(const QString &labelText, bool productChosen,
                                             const std::optional<QString> &cost);

// An amount typed or chosen in num: a plain decimal number (blanks around it, an
// optional sign and point). The prompts "请选择" and "请选择数量" are none.
bool isAmountText(const QString &text);

// Label8's colour as a style sheet, so that it holds under the skin's.
QString priceLabelStyle(const QString &colour);
