// Small pages for the client's component tests: cookies, echo, sizes.
#include "sim/pages.h"

namespace sim {

namespace {

// /cookie/set?name=N&value=V
Page setCookie(const Request &r, State &)
{
    const QString name = r.queryValue(QStringLiteral("name"));
    if (name.isEmpty()) {
        Page p = Page::html(QStringLiteral("参数错误！"), {});
        p.status = 400;
        return p;
    }
    const QString value = r.queryValue(QStringLiteral("value"));
    Page p = Page::html(QStringLiteral("cookie"), escapeHtml(name + QLatin1Char('=') + value));
    p.extraHeaders.append({"Set-Cookie", toGbk(name) + '=' + toGbk(value) + "; Path=/"});
    return p;
}

Page echoCookie(const Request &r, State &)
{
    return Page::text(r.header("Cookie"));
}

// The method, the raw target, then the body byte for byte.
Page echo(const Request &r, State &)
{
    Page p = Page::text({});
    p.bytes = r.method.toLatin1() + ' ' + r.target.toLatin1() + '\n' + r.body;
    return p;
}

Page big(const Request &r, State &)
{
    bool ok = false;
    const int n = r.queryValue(QStringLiteral("n")).toInt(&ok);
    return Page::text(PlatformSim::bigText(ok ? qBound(0, n, 10'000'000) : 0));
}

Page empty(const Request &, State &)
{
    return Page::text({});
}

} // namespace

void addUtilityPages(PlatformSim &sim)
{
    sim.addPage(QStringLiteral("/cookie/set"), setCookie);
    sim.addPage(QStringLiteral("/cookie/echo"), echoCookie);
    sim.addPage(QStringLiteral("/echo"), echo);
    sim.addPage(QStringLiteral("/big"), big);
    sim.addPage(QStringLiteral("/empty"), empty);
}

} // namespace sim
