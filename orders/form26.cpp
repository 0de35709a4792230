#include "orders/form26.h"

#include "app/core/prompter.h"
#include "app/core/session.h"
#include "orders/receiptlayout.h"
#include "orders/receiptpainter.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QRect pixels(int left, int top, int width, int height)
{
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

} // namespace

Form26::Form26(const QString &settingsDir, QWidget *parent)
    : QWidget(parent), m_settingsPath(QDir(settingsDir).filePath(kReceiptSettingsFile))
{
    setObjectName(QStringLiteral("Form26"));
    setFont(receiptFont(kReceiptDefaultPointSize));
    setAutoFillBackground(true);
    QPalette face = palette();
    face.setColor(QPalette::Window, Qt::white);
    face.setColor(QPalette::WindowText, Qt::black);
    setPalette(face);

    // The receipt's template, its title and footer replaced by the edit boxes.
    const ReceiptLayout design;
    for (const ReceiptElement &e : design.elements()) {
        if (!e.visible || e.kind == ReceiptElement::Kind::Button || e.name == u"a" ||
            e.name == u"Label1")
            continue;
        if (e.kind == ReceiptElement::Kind::Line) {
            auto *line = new QFrame(this);
            line->setObjectName(e.name);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Plain);
            line->setGeometry(pixels(e.line.x1(), e.line.y1(), e.line.dx(), kTwipsPerPixel));
            continue;
        }
        auto *label = new QLabel(e.text, this);
        label->setObjectName(e.name);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setFont(receiptFont(e.pointSize));
        label->setGeometry(pixels(e.rect.x(), e.rect.y(), e.rect.width(), e.rect.height()));
    }
    m_text2 = new QLineEdit(this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setFont(receiptFont(15));
    m_text2->setGeometry(pixels(120, 240, 2415, 495));
    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setGeometry(pixels(120, 4080, 2415, 270));
    m_command1 = new QPushButton(QStringLiteral("保存设置"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(pixels(1440, 3670, 1095, 375));
    setFixedSize(kReceiptWidth / kTwipsPerPixel, kReceiptHeight / kTwipsPerPixel);

    connect(m_command1, &QPushButton::clicked, this, &Form26::saveSettings);
    load();
}

void Form26::load()
{
    const SessionInfoRecord &session = SessionInfo();
    m_text2->setText(ReceiptLayout::defaultTitle(session.brandWord));
    m_text1->setText(ReceiptLayout::defaultFooter(session.appTitle));
    setWindowTitle(ReceiptLayout::settingsCaption(session.appTitle));
    if (const auto settings = readReceiptSettings(m_settingsPath)) {
        m_text2->setText(settings->title);
        if (settings->footer)
            m_text1->setText(*settings->footer);
    }
}

void Form26::saveSettings()
{
    const QString title = SessionInfo().appTitle + QStringLiteral("提示");
    const SavedReceiptSettings saved =
        saveReceiptSettings(m_settingsPath, m_text2->text(), m_text1->text());
    if (!saved.ok) {
        Prompter::instance().inform(title, QStringLiteral("打印设置没有保存：") + saved.error);
        return;
    }
    if (saved.mended) {
        m_text2->setText(saved.title);
        m_text1->setText(saved.footer);
        Prompter::instance().inform(
            title, QStringLiteral("标题和底部文字里的“&”和换行不能保存，已经去掉后保存。"));
    }
}
