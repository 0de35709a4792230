#include "recharge/cataloguecontroller.h"

#include "app/core/platform.h"
#include "app/web/transfer.h"

#include <QTimer>

namespace {
constexpr int kDefaultRetryMs = 30000;
}

CatalogueController::CatalogueController(NetworkAccess &network, const PlatformEndpoint &endpoint,
                                         QObject *parent)
    : QObject(parent), m_endpoint(endpoint), m_inet(new Transfer(network, this)),
      m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    m_retry->setInterval(kDefaultRetryMs);
    connect(m_retry, &QTimer::timeout, this, [this] {
        if (m_catalogue.size() == 0)
            获取商品信息();
    });
    setObjectName(QStringLiteral("catalogue"));
    m_inet->setObjectName(QStringLiteral("Inet商品"));
    m_inet->setTag(QStringLiteral("0"));
    connect(m_inet, &Transfer::stateChanged, this, &CatalogueController::onStateChanged);
}

void CatalogueController::获取商品信息()
{
    m_inet->execute(catalogueRequestUrl(m_endpoint.baseUrl, m_endpoint.sessionKey, NewSjValue()),
                    kCatalogueOperation, QString(), kFormContentTypeHeader);
}

int CatalogueController::retryIntervalMs() const
{
    return m_retry->interval();
}

void CatalogueController::setRetryIntervalMs(int ms)
{
    m_retry->setInterval(ms);
}

void CatalogueController::missing(const QString &reason)
{
    if (m_catalogue.size() > 0)
        return;
    if (!m_missingTold) {
        m_missingTold = true;
        emit catalogueMissing(reason);
    }
    m_retry->start();
}

void CatalogueController::onStateChanged(int state)
{
    if (state == Transfer::Error) {
        missing(m_inet->errorText());
        return;
    }
    if (state == Transfer::ResponseCompleted)
        加载商品列表(m_inet->readChunks(102400));
}

void CatalogueController::加载商品列表(const QString &response)
{
    const CatalogueListing listing = ::加载商品列表(response);
    if (listing.records.isEmpty()) {
        missing(QString());
        return;
    }
    m_missingTold = false;
    const qsizetype before = m_catalogue.size();
    m_catalogue.addRecords(listing.records);
    emit rowsAdded(m_catalogue.size() - before);
    if (!listing.categories.isEmpty())
        emit categoriesLoaded(listing.categories);
}
