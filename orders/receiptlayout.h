#pragma once

#include <QLine>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

// The receipt ("小票") as the receipt window Form24 lays it out: every element
// at its position in twips (1440 to the inch, 15 to a pixel on a 96 dpi
// screen). The window shows it and the printer draws it from the same layout.

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kTwipsPerPoint = 20;
// The size of the receipt window's face, in twips.
inline constexpr int kReceiptWidth = 2640;
inline constexpr int kReceiptHeight = 4425;
// The window's own font size, for the labels that do not set one.
inline constexpr double kReceiptDefaultPointSize = 9;

inline const QString kReceiptSettingsFile = QStringLiteral("打印设置");
inline const QString kQueryFailedInfo = QStringLiteral("查询失败！");

struct ReceiptElement
{
    enum class Kind
    {
        Label,
        Line,
        Button, // on the window only, never printed
    };
    QString name; // the control's name: "a", "商品名称", "Line1", …
    Kind kind = Kind::Label;
    QRect rect; // labels and the button, in twips
    QLine line; // lines, in twips
    bool visible = true;
    QString text;
    double pointSize = kReceiptDefaultPointSize;
};

class ReceiptLayout
{
public:
    // The design: template texts, the info line hidden, nothing moved.
    ReceiptLayout();

    // Default title and footer from the session record, and the captions.
    static QString defaultTitle(const QString &brandWord);
    static QString defaultFooter(const QString &appTitle);
    static QString receiptCaption(const QString &appTitle);
    static QString settingsCaption(const QString &appTitle);

    // Arranges the middle block by the receipt info text and moves the lower
    // block down as far as the info line's length needs. Starts again from
    // the design positions, so it may run for every receipt.
    void arrange(const QString &info);
    // How far the lower block moved, in twips.
    int shift() const { return m_shift; }
    QSize size() const { return {kReceiptWidth, kReceiptHeight + m_shift}; }

    void setTitle(const QString &title) { setText(QStringLiteral("a"), title); }
    void setFooter(const QString &footer) { setText(QStringLiteral("Label1"), footer); }
    // The four lines of a listed order: its number, product, price and time.
    void fillOrder(const QString &number, const QString &product, const QString &price,
                   const QString &time);
    // Before the order is placed: the date is the moment of confirmation.
    void fillPreSale(const QString &number, const QString &product, const QString &amount,
                     const QString &dateTime);

    const QList<ReceiptElement> &elements() const { return m_elements; }
    // The element of that name; an empty one for a name the receipt lacks.
    ReceiptElement element(const QString &name) const;
    void setText(const QString &name, const QString &text);

private:
    ReceiptElement *find(const QString &name);

    QList<ReceiptElement> m_elements;
    int m_shift = 0;
};

// The first line of "打印设置": the title, "&", the footer. A line without "&"
// gives only the title.
struct ReceiptSettings
{
    QString title;
    std::optional<QString> footer;
};

ReceiptSettings parseReceiptSettings(const QString &line);
// nullopt when the file is missing or unreadable.
std::optional<ReceiptSettings> readReceiptSettings(const QString &path);

// What was written: "&" and line breaks cannot stand in the one line of the
// file ("&" would move the footer, a line break would cut it off), so they
// are taken out, and `mended` says so.
struct SavedReceiptSettings
{
    bool ok = false;
    QString title;
    QString footer;
    bool mended = false;
    QString error;
};

SavedReceiptSettings saveReceiptSettings(const QString &path, const QString &title,
                                         const QString &footer);
