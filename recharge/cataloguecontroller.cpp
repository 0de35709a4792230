#include "recharge/cataloguecontroller.h"

#include "app/core/config.h"
#include "app/core/session.h"
#include "app/web/transfer.h"
#include "widgets/keyedlistview.h"

CatalogueController::CatalogueController(KeyedListView *listViewPlist, QObject *parent)
    : QObject(parent), m_list(listViewPlist), m_inet(new Transfer(this))
{
    setObjectName(QStringLiteral("catalogue"));
    m_inet->setObjectName(QStringLiteral("Inet商品"));
    m_inet->setTag(QStringLiteral("0"));
    connect(m_inet, &Transfer::stateChanged, this, &CatalogueController::onStateChanged);
}

void CatalogueController::获取商品信息()
{
    m_inet->execute(catalogueRequestUrl(currentConfig(), SessionInfo().sessionKey),
                    kCatalogueOperation, QString(), kFormContentTypeHeader);
}

void CatalogueController::onStateChanged(int state)
{
    if (state == Transfer::Error) {
        emit catalogueMissing(m_inet->errorText());
        return;
    }
    if (state != Transfer::ResponseCompleted)
        return;
    QString response;
    for (QString chunk = m_inet->getChunk(102400); !chunk.isEmpty();
         chunk = m_inet->getChunk(102400))
        response += chunk;
    加载商品列表(response);
}

void CatalogueController::加载商品列表(const QString &response)
{
    const CatalogueListing listing = ::加载商品列表(response);
    if (listing.records.isEmpty()) {
        emit catalogueMissing(QString());
        return;
    }
    const qsizetype before = m_catalogue.size();
    m_catalogue.addRecords(listing.records);
    // The new rows stand on top of the catalogue, newest first.
    for (qsizetype i = m_catalogue.size() - before - 1; i >= 0; --i) {
        const CatalogueRow &row = m_catalogue.rowFromTop(i);
        QTreeWidgetItem *item = m_list->insertTop(row.item.list);
        item->setData(0, kCatalogueKeyRole, row.key);
        m_list->setText(item, QStringLiteral("name"), row.item.name);
        m_list->setText(item, QStringLiteral("price"), row.item.price);
        m_list->setText(item, QStringLiteral("qu"), row.item.qu);
        m_list->setText(item, QStringLiteral("value"), row.item.value);
    }
    if (!listing.categories.isEmpty())
        emit categoriesLoaded(listing.categories);
}
