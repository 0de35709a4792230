#pragma once

#include "recharge/catalogue.h"

#include <QObject>
#include <QStringList>

class KeyedListView;
class Transfer;

// The role under which a row of ListViewplist keeps its key ("wawa0", …).
inline constexpr int kCatalogueKeyRole = Qt::UserRole + 2;

// Fetches the catalogue once at the main window's load on its own transfer
// component Inet商品, keeps it, and shows it in ListViewplist.
class CatalogueController : public QObject
{
    Q_OBJECT
public:
    CatalogueController(KeyedListView *listViewPlist, QObject *parent);

    Transfer *transfer() const { return m_inet; }
    const Catalogue &catalogue() const { return m_catalogue; }

    void 获取商品信息();
    // Fills the table and announces the categories; the whole answer at once.
    void 加载商品列表(const QString &response);

    QString 判断业务名称(const QString &productText, const QString &amountText, int source) const
    {
        return m_catalogue.判断业务名称(productText, amountText, source);
    }

signals:
    // The categories for Combo1, once per run of adjacent records.
    void categoriesLoaded(const QStringList &categories);
    // The request failed or the answer held no product.
    void catalogueMissing(const QString &reason);

private:
    void onStateChanged(int state);

    KeyedListView *m_list;
    Transfer *m_inet;
    Catalogue m_catalogue;
};
