#pragma once

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
