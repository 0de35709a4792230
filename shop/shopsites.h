#pragma once

#include "app/core/config.h"

#include <QString>

// The market places' sites, from the configuration; each ends in "/".
struct ShopSites
{
    QString taobaoLogistics;
    QString taobaoMember;
    QString paipaiTrade;
    QString paipaiLogistics;
    QString messenger;
};

inline ShopSites shopSitesOf(const ClientConfig &c)
{
    return {c.taobaoLogisticsUrl, c.taobaoMemberUrl, c.paipaiTradeUrl, c.paipaiLogisticsUrl,
            c.messengerUrl};
}
