#include "orders/storeindexprogress.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

namespace {

// Indexes that are there take a few milliseconds to find: no dialog flashes.
constexpr int kShowAfterMs = 400;

} // namespace

void buildStoreIndexes(const OrderDatabase &database, QWidget *parent, const QString &title,
                       bool showDialog, QObject *context,
                       std::function<void(const IndexBuild &)> done)
{
    // Owned by the application, so that a build still running when it ends
    // is waited for rather than cut off.
    auto *builder = new StoreIndexBuilder(database, 5000, QCoreApplication::instance());
    QPointer<QProgressDialog> dialog;
    if (showDialog) {
        dialog = new QProgressDialog(QStringLiteral("正在整理订单数据库，请稍候…"), QString(), 0, 0,
                                     parent);
        dialog->setObjectName(QStringLiteral("索引进度"));
        dialog->setWindowTitle(title);
        dialog->setCancelButton(nullptr);
        dialog->setWindowFlag(Qt::WindowCloseButtonHint, false);
        dialog->setWindowModality(Qt::WindowModal);
        QTimer::singleShot(kShowAfterMs, dialog, [d = dialog.data()] { d->show(); });
    }
    QObject::connect(builder, &StoreIndexBuilder::finished, context,
                     [builder, done = std::move(done)] { done(builder->result()); });
    // After done: a window it shows keeps the application from ending with
    // the dialog as its last window.
    QObject::connect(builder, &StoreIndexBuilder::finished, builder, [builder, dialog] {
        delete dialog.data();
        builder->deleteLater();
    });
    builder->start();
}

QString indexBuildFailureText(const IndexBuild &build)
{
    return QStringLiteral("订单查询所需的索引没有建好：%1\n订单没有受影响；订单查询打开时会再建。")
        .arg(build.error);
}
