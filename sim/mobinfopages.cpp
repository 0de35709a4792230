// The mobile-number information service: mobinfo.do answers the region of a
// number's first seven digits as fields separated by "|": the prefix, the
// province, the city and the card.
#include "sim/pages.h"

namespace sim {

namespace {

const QString kPath = QStringLiteral("/numinfo/mobinfo.do");

struct Segment
{
    const char *prefix; // the longest prefix that matches decides
    const char *province;
    const char *city;
    const char *card;
};

// A few number blocks, enough to show each operator and a fallback per
// operator prefix.
const Segment kSegments[] = {
    {"1380013", "广东", "深圳", "广东移动全球通卡"},
    {"1380000", "北京", "北京", "北京移动全球通卡"},
    {"1390311", "河北", "石家庄", "河北移动神州行卡"},
    {"1301234", "上海", "上海", "上海联通如意通卡"},
    {"1331234", "浙江", "杭州", "浙江电信天翼卡"},
    {"1399130", "陕西", "渭南", "陕西移动神州行卡"},
    {"138", "北京", "北京", "北京移动全球通卡"},
    {"139", "广东", "广州", "广东移动神州行卡"},
    {"130", "天津", "天津", "天津联通如意通卡"},
    {"133", "重庆", "重庆", "重庆电信天翼卡"},
};

Page numberInfo(const Request &r, State &)
{
    const QString number = r.formValue(QStringLiteral("mobilenum"));
    const Segment *best = nullptr;
    for (const Segment &segment : kSegments) {
        const QString prefix = QString::fromUtf8(segment.prefix);
        if (number.startsWith(prefix) && (!best || prefix.size() > int(qstrlen(best->prefix))))
            best = &segment;
    }
    if (!best || number.size() != 7)
        return Page::text(number + QStringLiteral("|未知|未知|未知"));
    return Page::text(number + QLatin1Char('|') + QString::fromUtf8(best->province) +
                      QLatin1Char('|') + QString::fromUtf8(best->city) + QLatin1Char('|') +
                      QString::fromUtf8(best->card));
}

} // namespace

void addMobinfoPages(PlatformSim &sim)
{
    sim.addPage(kPath, numberInfo);
}

} // namespace sim
