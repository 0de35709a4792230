#include "orders/receiptpainter.h"

#include <QPainter>
#include <QPrinter>

QFont receiptFont(double pointSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(pointSize);
    return font;
}

void paintReceipt(QPainter &painter, const ReceiptLayout &layout)
{
    painter.save();
    painter.setPen(QPen(Qt::black, kTwipsPerPixel));
    for (const ReceiptElement &e : layout.elements()) {
        if (!e.visible)
            continue;
        switch (e.kind) {
        case ReceiptElement::Kind::Button:
            break;
        case ReceiptElement::Kind::Line:
            painter.drawLine(e.line);
            break;
        case ReceiptElement::Kind::Label: {
            // The size in twips, so that the painter's scale sizes the text too.
            QFont font = receiptFont(e.pointSize);
            font.setPixelSize(qRound(e.pointSize * kTwipsPerPoint));
            painter.setFont(font);
            // Not cut at the label's height: a footer a little too long for
            // one line still prints whole, on the line below.
            painter.drawText(
                e.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextDontClip, e.text);
            break;
        }
        }
    }
    painter.restore();
}

bool printReceiptPages(QPrinter *printer, const ReceiptLayout &layout)
{
    const int copies = qMax(1, printer->copyCount());
    printer->setCopyCount(1);
    QPainter painter;
    if (!painter.begin(printer)) {
        printer->setCopyCount(copies);
        return false;
    }
    const double scale = printer->resolution() / 1440.0;
    painter.scale(scale, scale);
    for (int copy = 0; copy < copies; ++copy) {
        if (copy > 0 && !printer->newPage())
            break;
        paintReceipt(painter, layout);
    }
    const bool ok = painter.end();
    printer->setCopyCount(copies);
    return ok;
}
