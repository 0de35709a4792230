#include "orders/form24.h"

#include "app/core/session.h"
#include "orders/printhost.h"
#include "orders/receiptpainter.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>

namespace {

QRect pixels(const QRect &twips)
{
    return {twips.x() / kTwipsPerPixel, twips.y() / kTwipsPerPixel, twips.width() / kTwipsPerPixel,
            twips.height() / kTwipsPerPixel};
}

} // namespace

Form24::Form24(PrintHost &printHost, const QString &settingsDir, QWidget *parent)
    : QWidget(parent), m_printHost(printHost),
      m_settingsPath(QDir(settingsDir).filePath(kReceiptSettingsFile))
{
    setObjectName(QStringLiteral("Form24"));
    setFont(receiptFont(kReceiptDefaultPointSize));
    setAutoFillBackground(true);
    QPalette face = palette();
    face.setColor(QPalette::Window, Qt::white);
    face.setColor(QPalette::WindowText, Qt::black);
    setPalette(face);
    for (const ReceiptElement &e : m_layout.elements()) {
        QWidget *control = nullptr;
        switch (e.kind) {
        case ReceiptElement::Kind::Label: {
            auto *label = new QLabel(this);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setFont(receiptFont(e.pointSize));
            control = label;
            break;
        }
        case ReceiptElement::Kind::Line: {
            auto *line = new QFrame(this);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Plain);
            control = line;
            break;
        }
        case ReceiptElement::Kind::Button:
            m_command1 = new QPushButton(this);
            control = m_command1;
            break;
        }
        control->setObjectName(e.name);
        m_controls.insert(e.name, control);
    }
    connect(m_command1, &QPushButton::clicked, this, &Form24::printReceipt);
    showLayout();
}

void Form24::showLayout()
{
    for (const ReceiptElement &e : m_layout.elements()) {
        QWidget *control = m_controls.value(e.name);
        if (e.kind == ReceiptElement::Kind::Line) {
            const QLine l = e.line;
            control->setGeometry(l.x1() / kTwipsPerPixel, l.y1() / kTwipsPerPixel,
                                 (l.x2() - l.x1()) / kTwipsPerPixel, 1);
        } else {
            control->setGeometry(pixels(e.rect));
        }
        if (auto *label = qobject_cast<QLabel *>(control))
            label->setText(e.text);
        else if (auto *button = qobject_cast<QPushButton *>(control))
            button->setText(e.text);
        control->setVisible(e.visible);
    }
    const QSize size = m_layout.size();
    setFixedSize(size.width() / kTwipsPerPixel, size.height() / kTwipsPerPixel);
}

void Form24::load(const QString &info)
{
    const SessionInfoRecord &session = SessionInfo();
    m_layout = ReceiptLayout();
    m_layout.setTitle(ReceiptLayout::defaultTitle(session.brandWord));
    m_layout.setFooter(ReceiptLayout::defaultFooter(session.appTitle));
    setWindowTitle(ReceiptLayout::receiptCaption(session.appTitle));
    if (const auto settings = readReceiptSettings(m_settingsPath)) {
        m_layout.setTitle(settings->title);
        if (settings->footer)
            m_layout.setFooter(*settings->footer);
    }
    m_layout.arrange(info);
    showLayout();
}

void Form24::fillOrder(const QString &number, const QString &product, const QString &price,
                       const QString &time)
{
    m_layout.fillOrder(number, product, price, time);
    showLayout();
}

void Form24::fillPreSale(const QString &number, const QString &product, const QString &amount,
                         const QString &dateTime)
{
    m_layout.fillPreSale(number, product, amount, dateTime);
    showLayout();
}

void Form24::printReceipt()
{
    // The drawing leaves the button out; hidden meanwhile all the same, as
    // the agent sees the receipt as it will print.
    m_command1->hide();
    QPrinter printer(QPrinter::HighResolution);
    const ReceiptLayout layout = m_layout;
    const bool printed = m_printHost.print(
        printer, [&layout](QPrinter *p) { return printReceiptPages(p, layout); }, this);
    if (!printed) {
        // Cancelled: nothing printed, and the receipt can still be printed.
        m_command1->show();
        return;
    }
    close();
}
