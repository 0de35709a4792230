#include "orders/receiptlayout.h"

#include "app/core/textfile.h"

#include <QtMath>

namespace {

// The info label's template: a sample customer line of 24 characters, whose
// length alone matters (it moves the lower block when the line is hidden).
const QString kInfoTemplate = QStringLiteral("客户：张三  电话：13800138000 谢谢");

ReceiptElement label(const char *name, QRect rect, const QString &text, double pointSize)
{
    ReceiptElement e;
    e.name = QString::fromUtf8(name);
    e.rect = rect;
    e.text = text;
    e.pointSize = pointSize;
    return e;
}

ReceiptElement rule(const char *name, int y)
{
    ReceiptElement e;
    e.name = QString::fromUtf8(name);
    e.kind = ReceiptElement::Kind::Line;
    e.line = QLine(75, y, 2545, y);
    return e;
}

} // namespace

ReceiptLayout::ReceiptLayout()
{
    Q_ASSERT(kInfoTemplate.size() == 24);
    m_elements = {
        label("a", {240, 360, 2415, 375}, {}, 14.25),
        rule("Line1", 840),
        label("商品名称", {105, 1100, 2415, 615}, QStringLiteral("商品名称："), 10.5),
        label("充值号码", {120, 1800, 2535, 255}, QStringLiteral("充值号码："), 10.5),
        label("Label2", {105, 2295, 2415, 420}, kInfoTemplate, 10.5),
        rule("Line2", 2840),
        label("充值日期", {75, 2950, 2535, 495}, QStringLiteral("充值日期："),
              kReceiptDefaultPointSize),
        label("合计", {960, 3400, 1575, 375}, QStringLiteral("合计：100元"), 10.5),
        label("Command1", {1440, 3670, 1095, 375}, QStringLiteral("打印"),
              kReceiptDefaultPointSize),
        label("Label1", {120, 4080, 2415, 255}, {}, kReceiptDefaultPointSize),
    };
    find(QStringLiteral("Label2"))->visible = false;
    find(QStringLiteral("Command1"))->kind = ReceiptElement::Kind::Button;
}

QString ReceiptLayout::defaultTitle(const QString &brandWord)
{
    return brandWord + QStringLiteral("-缴费凭证");
}

QString ReceiptLayout::defaultFooter(const QString &appTitle)
{
    return QStringLiteral("该小票由") + appTitle + QStringLiteral("提供");
}

QString ReceiptLayout::receiptCaption(const QString &appTitle)
{
    return appTitle + QStringLiteral("打印管理");
}

QString ReceiptLayout::settingsCaption(const QString &appTitle)
{
    return appTitle + QStringLiteral("打印设置");
}

ReceiptElement *ReceiptLayout::find(const QString &name)
{
    for (ReceiptElement &e : m_elements) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

ReceiptElement ReceiptLayout::element(const QString &name) const
{
    for (const ReceiptElement &e : m_elements) {
        if (e.name == name)
            return e;
    }
    return {};
}

void ReceiptLayout::setText(const QString &name, const QString &text)
{
    if (ReceiptElement *e = find(name))
        e->text = text;
}

void ReceiptLayout::arrange(const QString &info)
{
    // Back to the design positions first, keeping the texts.
    const ReceiptLayout design;
    for (ReceiptElement &e : m_elements) {
        const ReceiptElement d = design.element(e.name);
        e.rect = d.rect;
        e.line = d.line;
        e.visible = d.visible;
    }
    setText(QStringLiteral("Label2"), kInfoTemplate);
    m_shift = 0;

    ReceiptElement *product = find(QStringLiteral("商品名称"));
    ReceiptElement *number = find(QStringLiteral("充值号码"));
    ReceiptElement *infoLine = find(QStringLiteral("Label2"));
    if (info.isEmpty() || info == kQueryFailedInfo) {
        product->rect.moveTo(105, 1200);
        number->rect.moveTo(105, 2000);
    } else if (!info.contains(QStringLiteral("卡号"))) {
        product->rect.moveTo(105, 1100);
        number->rect.moveTo(105, 1800);
        infoLine->rect.moveTo(105, 2300);
        infoLine->visible = true;
        infoLine->text = info;
    } else {
        product->rect.moveTo(105, 1400);
        infoLine->rect.moveTo(105, 2000);
        infoLine->visible = true;
        infoLine->text = info;
        number->visible = false;
    }

    // A long info line takes more lines: 210 twips for every 11 characters
    // past 22. The hidden template counts too, as the window measures it.
    const qsizetype length = infoLine->text.size();
    if (length > 22) {
        const int lines = qRound(double(length - 22) / 11 + 1);
        m_shift = 210 * lines;
        for (const char *name : {"充值日期", "合计", "Command1", "Label1"})
            find(QString::fromUtf8(name))->rect.translate(0, m_shift);
        infoLine->rect.setHeight(infoLine->rect.height() + m_shift);
    }
}

void ReceiptLayout::fillOrder(const QString &number, const QString &product, const QString &price,
                              const QString &time)
{
    setText(QStringLiteral("充值号码"), QStringLiteral("充值号码：") + number);
    setText(QStringLiteral("商品名称"), QStringLiteral("商品名称：") + product);
    setText(QStringLiteral("合计"), QStringLiteral("合计：") + price + QStringLiteral("元"));
    setText(QStringLiteral("充值日期"), QStringLiteral("充值日期：") + time);
}

void ReceiptLayout::fillPreSale(const QString &number, const QString &product,
                                const QString &amount, const QString &dateTime)
{
    setText(QStringLiteral("充值号码"), QStringLiteral("充值号码：") + number);
    setText(QStringLiteral("商品名称"), QStringLiteral("商品名称：") + product);
    setText(QStringLiteral("合计"), QStringLiteral("合计：") + amount + QStringLiteral("元"));
    setText(QStringLiteral("充值日期"), QStringLiteral("确认日期：") + dateTime);
}

ReceiptSettings parseReceiptSettings(const QString &line)
{
    const QStringList parts = line.split(QLatin1Char('&'));
    ReceiptSettings settings;
    settings.title = parts.value(0);
    if (parts.size() > 1)
        settings.footer = parts.at(1);
    return settings;
}

std::optional<ReceiptSettings> readReceiptSettings(const QString &path)
{
    const std::optional<QStringList> lines = readGbkLines(path);
    if (!lines)
        return std::nullopt;
    return parseReceiptSettings(lines->value(0));
}

SavedReceiptSettings saveReceiptSettings(const QString &path, const QString &title,
                                         const QString &footer)
{
    const auto clean = [](QString text) {
        text.remove(QLatin1Char('&'));
        text.remove(QLatin1Char('\r'));
        text.remove(QLatin1Char('\n'));
        text.remove(QChar::LineSeparator);
        text.remove(QChar::ParagraphSeparator);
        return text;
    };
    SavedReceiptSettings saved;
    saved.title = clean(title);
    saved.footer = clean(footer);
    saved.mended = saved.title != title || saved.footer != footer;
    saved.ok = writeGbkLines(path, {saved.title + QLatin1Char('&') + saved.footer},
                             FileAccess::Shared, &saved.error);
    return saved;
}
