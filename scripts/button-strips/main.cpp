// Paints the five-frame picture strips of the iButton controls: frame 0
// normal, 1 mouse over, 2 pressed, 3 disabled, 4 unused (a copy of frame 0).
// Usage: button-strips OUTPUT_DIR   (run with QT_QPA_PLATFORM=offscreen)

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <cstdio>
#include <functional>

namespace {

enum Frame
{
    Normal,
    Hover,
    Pressed,
    Disabled,
    Unused,
    FrameCount
};

const QString kFontFamily = QStringLiteral("WenQuanYi Micro Hei");

struct Look
{
    QColor top, bottom, border, ink, accent;
};

// The login window's "登 录": the solid blue of the skin's highlight.
Look primaryLook(int frame)
{
    switch (frame) {
    case Hover:
        return {QColor("#66bdee"), QColor("#3598d8"), QColor("#1f78b4"), Qt::white, {}};
    case Pressed:
        return {QColor("#1f7fc0"), QColor("#15669e"), QColor("#0b4f7c"), QColor("#e8f4fc"), {}};
    case Disabled:
        return {QColor("#d3dbe2"), QColor("#bcc6cf"), QColor("#a5b1bc"), QColor("#f3f5f7"), {}};
    default:
        return {QColor("#45a9e4"), QColor("#2282c4"), QColor("#1668a3"), Qt::white, {}};
    }
}

// The login window's "关 闭": light, outlined, like the skin's push buttons.
Look secondaryLook(int frame)
{
    switch (frame) {
    case Hover:
        return {QColor("#ffffff"), QColor("#e6f3fc"), QColor("#2f8fce"), QColor("#0b5f8f"), {}};
    case Pressed:
        return {QColor("#bcdcf1"), QColor("#a7d0ec"), QColor("#0b5f8f"), QColor("#0b4f7c"), {}};
    case Disabled:
        return {QColor("#eef1f3"), QColor("#e0e4e7"), QColor("#bcc6cf"), QColor("#9aa6b1"), {}};
    default:
        return {QColor("#ffffff"), QColor("#d6eaf7"), QColor("#5f9cc8"), QColor("#0b5f8f"), {}};
    }
}

// Toolbar tiles: a pale panel, the icon in blue with a teal accent.
Look toolbarLook(int frame)
{
    switch (frame) {
    case Hover:
        return {QColor("#ffffff"), QColor("#e3f2fc"), QColor("#2f8fce"), QColor("#1a7fc0"),
                QColor("#19b3a6")};
    case Pressed:
        return {QColor("#b8daf0"), QColor("#a2cde9"), QColor("#0b5f8f"), QColor("#0b4f7c"),
                QColor("#0f8a80")};
    case Disabled:
        return {QColor("#eef1f3"), QColor("#e1e5e8"), QColor("#c3ccd4"), QColor("#a3adb6"),
                QColor("#bcc4cb")};
    default:
        return {QColor("#f5fafd"), QColor("#dbecf8"), QColor("#a9cbe3"), QColor("#0b6aa6"),
                QColor("#14a096")};
    }
}

void panel(QPainter &p, const QRectF &r, const Look &look, qreal radius)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, look.top);
    g.setColorAt(1, look.bottom);
    p.setPen(QPen(look.border, 1));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

QFont captionFont(int pixelSize, bool bold)
{
    QFont f(kFontFamily);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

using Painter = std::function<void(QPainter &, const QRect &, int frame)>;

QImage strip(QSize frameSize, const Painter &paintFrame)
{
    QImage image(frameSize.width() * FrameCount, frameSize.height(),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (int k = 0; k < FrameCount; ++k) {
        const QRect r(k * frameSize.width(), 0, frameSize.width(), frameSize.height());
        p.save();
        p.setClipRect(r);
        paintFrame(p, r, k == Unused ? Normal : k);
        p.restore();
    }
    return image;
}

Painter textButton(const QString &text, Look (*lookOf)(int))
{
    return [text, lookOf](QPainter &p, const QRect &r, int frame) {
        const Look look = lookOf(frame);
        panel(p, r, look, 4);
        if (frame == Pressed) { // a little inner shadow along the top
            p.setPen(QPen(QColor(0, 0, 0, 40), 1));
            p.drawLine(QPointF(r.left() + 3, r.top() + 1.5), QPointF(r.right() - 2, r.top() + 1.5));
        }
        p.setFont(captionFont(14, true));
        p.setPen(look.ink);
        const int shift = frame == Pressed ? 1 : 0;
        p.drawText(r.translated(shift, shift), Qt::AlignCenter, text);
    };
}

// --- toolbar icons, drawn in a 32 x 32 box --------------------------------

using Icon = void (*)(QPainter &, const Look &);

QPen line(const QColor &c, qreal w = 2.2)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void iconMonitor(QPainter &p, const Look &l) // 拍拍监控
{
    p.setPen(line(l.ink));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(3, 4, 26, 18), 2, 2);
    p.drawLine(QPointF(16, 22), QPointF(16, 27));
    p.drawLine(QPointF(10, 28), QPointF(22, 28));
    p.setPen(line(l.accent, 2));
    p.drawPolyline(QPolygonF({{7, 17}, {12, 12}, {16, 15}, {21, 9}, {25, 12}}));
}

void iconBag(QPainter &p, const Look &l) // 淘宝监控
{
    p.setPen(line(l.ink));
    p.setBrush(Qt::NoBrush);
    QPainterPath bag;
    bag.moveTo(6, 11);
    bag.lineTo(26, 11);
    bag.lineTo(28, 29);
    bag.lineTo(4, 29);
    bag.closeSubpath();
    p.drawPath(bag);
    p.drawArc(QRectF(11, 3, 10, 14), 0, 180 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(l.accent);
    p.drawEllipse(QPointF(16, 21), 3.5, 3.5);
}

void iconChip(QPainter &p, const Look &l) // 硬件绑定
{
    p.setPen(line(l.ink, 1.8));
    for (int i = 0; i < 4; ++i) {
        const qreal c = 9.5 + i * 4.3;
        p.drawLine(QPointF(c, 2), QPointF(c, 7));
        p.drawLine(QPointF(c, 25), QPointF(c, 30));
        p.drawLine(QPointF(2, c), QPointF(7, c));
        p.drawLine(QPointF(25, c), QPointF(30, c));
    }
    p.setPen(line(l.ink));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(7, 7, 18, 18), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(l.accent);
    p.drawRect(QRectF(12, 12, 8, 8));
}

void iconCoin(QPainter &p, const Look &l) // 程序加款
{
    p.setPen(line(l.ink));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(3, 5, 22, 22));
    p.setFont(captionFont(14, true));
    p.drawText(QRectF(3, 5, 22, 22), Qt::AlignCenter, QStringLiteral("¥"));
    p.setPen(Qt::NoPen);
    p.setBrush(l.accent);
    p.drawEllipse(QRectF(19, 1, 12, 12));
    p.setPen(line(Qt::white, 2));
    p.drawLine(QPointF(25, 4), QPointF(25, 10));
    p.drawLine(QPointF(22, 7), QPointF(28, 7));
}

void iconAgent(QPainter &p, const Look &l) // 开通代理
{
    p.setPen(line(l.ink));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(8, 3, 11, 11));
    QPainterPath body;
    body.moveTo(2, 29);
    body.cubicTo(2, 18, 25, 18, 25, 29);
    p.drawPath(body);
    p.setPen(line(l.accent, 2.6));
    p.drawLine(QPointF(26, 6), QPointF(26, 16));
    p.drawLine(QPointF(21, 11), QPointF(31, 11));
}

void iconRecord(QPainter &p, const Look &l) // 销售记录
{
    p.setPen(line(l.ink));
    p.setBrush(Qt::NoBrush);
    QPainterPath page;
    page.moveTo(6, 2);
    page.lineTo(21, 2);
    page.lineTo(27, 8);
    page.lineTo(27, 30);
    page.lineTo(6, 30);
    page.closeSubpath();
    p.drawPath(page);
    p.drawPolyline(QPolygonF({{21, 2}, {21, 8}, {27, 8}}));
    p.setPen(line(l.accent, 2));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(10, 14 + i * 5), QPointF(23, 14 + i * 5));
}

void iconHelp(QPainter &p, const Look &l) // 帮助中心
{
    p.setPen(line(l.ink));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setPen(line(l.accent, 2.6));
    QPainterPath q;
    q.moveTo(11.5, 12.5);
    q.cubicTo(11.5, 6.5, 21, 6.5, 20.5, 12.5);
    q.cubicTo(20.2, 16, 16, 16, 16, 20);
    p.drawPath(q);
    p.setPen(Qt::NoPen);
    p.setBrush(l.accent);
    p.drawEllipse(QPointF(16, 24.5), 1.7, 1.7);
}

void iconCard(QPainter &p, const Look &l) // 无限卡密
{
    p.setPen(line(l.ink));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(2, 7, 28, 19), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(l.ink);
    p.drawRect(QRectF(2, 11, 28, 4));
    p.setBrush(l.accent);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(8 + i * 5, 21), 1.6, 1.6);
}

void iconGlobe(QPainter &p, const Look &l) // 代理网站
{
    p.setPen(line(l.ink));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.setPen(line(l.accent, 1.8));
    p.drawEllipse(QRectF(10, 3, 12, 26));
    p.drawLine(QPointF(4, 12), QPointF(28, 12));
    p.drawLine(QPointF(4, 20), QPointF(28, 20));
    p.drawLine(QPointF(16, 3), QPointF(16, 29));
}

void iconBoxes(QPainter &p, const Look &l) // 批发业务
{
    p.setPen(line(l.ink));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3, 16, 12, 12));
    p.drawRect(QRectF(17, 16, 12, 12));
    p.drawRect(QRectF(10, 4, 12, 12));
    p.setPen(line(l.accent, 2));
    p.drawLine(QPointF(9, 16), QPointF(9, 20));
    p.drawLine(QPointF(23, 16), QPointF(23, 20));
    p.drawLine(QPointF(16, 4), QPointF(16, 8));
}

Painter toolbarTile(const QString &caption, Icon icon)
{
    return [caption, icon](QPainter &p, const QRect &r, int frame) {
        const Look look = toolbarLook(frame);
        panel(p, QRectF(r).adjusted(1, 1, -1, -1), look, 5);
        const int shift = frame == Pressed ? 1 : 0;
        p.save();
        p.translate(r.left() + (r.width() - 32) / 2 + shift, 6 + shift);
        icon(p, look);
        p.restore();
        p.setFont(captionFont(12, false));
        p.setPen(look.ink);
        p.drawText(QRect(r.left() + shift, 42 + shift, r.width(), 18), Qt::AlignCenter, caption);
    };
}

bool save(const QImage &image, const QDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    if (!QFontDatabase::families().contains(kFontFamily)) {
        std::fprintf(stderr, "font \"%s\" is not installed (fonts-wqy-microhei)\n",
                     qPrintable(kFontFamily));
        return 1;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    bool ok = true;
    const QSize small(80, 28);
    ok &= save(strip(small, textButton(QStringLiteral("登 录"), primaryLook)), dir,
               QStringLiteral("login.png"));
    ok &= save(strip(small, textButton(QStringLiteral("关 闭"), secondaryLook)), dir,
               QStringLiteral("close.png"));

    struct Tool
    {
        const char *caption;
        Icon icon;
    };
    const Tool tools[] = {
        {"拍拍监控", iconMonitor}, {"淘宝监控", iconBag},   {"硬件绑定", iconChip},
        {"程序加款", iconCoin},    {"开通代理", iconAgent}, {"销售记录", iconRecord},
        {"帮助中心", iconHelp},    {"无限卡密", iconCard},  {"代理网站", iconGlobe},
        {"批发业务", iconBoxes},
    };
    const QSize tile(72, 64);
    int n = 1;
    for (const Tool &t : tools) {
        ok &= save(strip(tile, toolbarTile(QString::fromUtf8(t.caption), t.icon)), dir,
                   QStringLiteral("toolbar%1.png").arg(n++));
    }

    // The window and tray icon: the coin of 程序加款 on the login button's blue.
    QImage icon(64, 64, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    {
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        const Look look = primaryLook(Normal);
        panel(p, QRectF(2, 2, 60, 60), look, 12);
        p.scale(2, 2);
        iconCoin(p, look);
    }
    ok &= save(icon, dir, QStringLiteral("appicon.png"));
    return ok ? 0 : 1;
}
