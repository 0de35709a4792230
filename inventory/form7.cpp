#include "inventory/form7.h"

#include "app/core/config.h"
#include "app/core/platform.h"
#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/web/browser.h"
#include "inventory/goodsexport.h"

#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kNotLoaded = QStringLiteral("货物列表还没有打开，货物.txt 没有改动。请点“刷新”，"
                                          "等列表显示出来再保存");

} // namespace

Form7::Form7(const QString &folder, QWidget *parent) : QWidget(parent), m_folder(folder)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(SessionInfo().appTitle + QStringLiteral("货物设置"));

    m_webp = new Browser(this);
    m_webp->setObjectName(QStringLiteral("Webp"));
    auto *frame = new QGroupBox(QStringLiteral("操作"), this);
    m_command2 = new QPushButton(QStringLiteral("刷新"), frame);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command1 = new QPushButton(QStringLiteral("保存"), frame);
    m_command1->setObjectName(QStringLiteral("Command1"));
    auto *buttons = new QHBoxLayout(frame);
    buttons->addWidget(m_command2);
    buttons->addWidget(m_command1);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_webp->createView(this), 1);
    layout->addWidget(frame);

    connect(m_command2, &QPushButton::clicked, this, &Form7::navigate);
    connect(m_command1, &QPushButton::clicked, this, &Form7::save);

    resize(900, 600);
    navigate();
}

QString Form7::exportFile() const
{
    return QDir(m_folder).filePath(kGoodsExportFileName);
}

void Form7::navigate()
{
    m_webp->navigate(currentConfig().platformPage(QStringLiteral("productlist.asp?sj=")) +
                     NewSjValue() + QStringLiteral("&hardware=") + SessionInfo().machineId);
}

void Form7::save()
{
    const QString title = SessionInfo().appTitle + QStringLiteral("提示");
    // Only a goods page shown in full is saved: an error page or one still
    // loading would empty the file and be told as a success.
    const std::optional<QList<GoodsRow>> rows = m_webp->isLoading() || !m_webp->loadSucceeded()
                                                    ? std::nullopt
                                                    : readGoodsRows(m_webp->bodyHtml());
    if (!rows) {
        Prompter::instance().inform(title, kNotLoaded);
        return;
    }
    QString error;
    if (!writeGoodsExport(exportFile(), *rows, &error)) {
        Prompter::instance().inform(
            title, QStringLiteral("货物.txt 没有保存好，原来的内容没有改动：") + error);
        return;
    }
    Prompter::instance().inform(title, kGoodsSaved);
}
