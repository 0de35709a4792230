#pragma once

#include "app/core/endpoint.h"
#include "recharge/catalogue.h"

#include <QObject>
#include <QStringList>

class NetworkAccess;
class QTimer;
class Transfer;

// Fetches the catalogue once at the main window's load on its own transfer
// component Inet商品 and keeps it; the list ListViewplist shows it. A fetch
// that brings no catalogue is told once and tried again every
// retryIntervalMs until one arrives: without it every order is refused.
class CatalogueController : public QObject
{
    Q_OBJECT
public:
    CatalogueController(NetworkAccess &network, const PlatformEndpoint &endpoint,
                        QObject *parent = nullptr);

    Transfer *transfer() const { return m_inet; }
    const Catalogue &catalogue() const { return m_catalogue; }

    void 获取商品信息();
    int retryIntervalMs() const;
    void setRetryIntervalMs(int ms);
    // Reads the whole answer into the catalogue and announces what it added.
    void 加载商品列表(const QString &response);

    std::optional<CatalogueMatch> 判断业务名称(const QString &productText,
                                               const QString &amountText, int source) const
    {
        return m_catalogue.判断业务名称(productText, amountText, source);
    }

signals:
    // The catalogue gained this many rows, on top (Catalogue::rowFromTop 0 …).
    void rowsAdded(qsizetype count);
    // The categories for Combo1, once per run of adjacent records.
    void categoriesLoaded(const QStringList &categories);
    // The request failed or the answer held no product.
    void catalogueMissing(const QString &reason);

private:
    void onStateChanged(int state);
    void missing(const QString &reason);

    PlatformEndpoint m_endpoint;
    Transfer *m_inet;
    QTimer *m_retry;
    bool m_missingTold = false;
    Catalogue m_catalogue;
};
