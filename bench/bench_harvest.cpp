#include "app/core/gbk.h"
#include "shop/shoppages.h"

#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstring>
#include <iomanip>
#include <iterator>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

// Reading the seller's Taobao order list, the page the harvester loads on every
// refresh. The client's reading (GBK bytes decoded, then the orders cut from the
// text) beside two yardsticks on the same bytes: one memmem pass for the block
// marker, the floor of any reading that looks at every byte, and a full HTML
// parse by gumbo, what reading the page as a document would cost.

namespace {

constexpr int kOrders = 500;
// About 4 KB of page per order (2 MB in all): a real list carries item
// pictures, prices, status and operation links around every order block.
constexpr qsizetype kBytesPerOrder = 3800;

const QString kTitles[] = {
    QStringLiteral("移动话费充值 50元 自动充值 秒到账"),
    QStringLiteral("联通话费 100元 全国通用 快充"),
    QStringLiteral("QQ币 10个 自动发货"),
    QStringLiteral("网易一卡通 30元 点卡"),
    QStringLiteral("盛大游戏点券 1000点"),
    QStringLiteral("电信话费充值 30元 秒冲"),
};
const QString kBuyers[] = {
    QStringLiteral("小王的杂货铺"), QStringLiteral("张三丰"),    QStringLiteral("淘宝买家tb"),
    QStringLiteral("快乐的小鱼"),   QStringLiteral("李四_2008"), QStringLiteral("云中漫步"),
};

struct AccountForm
{
    QString part; // what the buyer filled in, as the block shows it
    QString account;
    QString area;
};

// The account forms the reader knows, and a block that names none, in turn.
AccountForm accountForm(int i)
{
    const QString n = QString::number(i);
    const QString digits = QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
    switch (i % 7) {
    case 0:
        return {QStringLiteral("手机/小灵通号码:&nbsp;138 0013 ") + digits +
                    QStringLiteral("备注:"),
                QStringLiteral("1380013") + digits, QString()};
    case 1:
        return {QStringLiteral("所在区/服:电信一区游戏帐号:玩家") + n + QStringLiteral("备注::"),
                QStringLiteral("玩家") + n, QStringLiteral("电信一区")};
    case 2:
        return {QStringLiteral("QQ:1000") + n + QStringLiteral("备注::"),
                QStringLiteral("1000") + n, QString()};
    case 3:
        return {QStringLiteral("充值用户名:user") + n + QStringLiteral("，"),
                QStringLiteral("user") + n, QString()};
    case 4:
        return {QStringLiteral("充值用户名:u") + n + QStringLiteral("充值方式:直充，"),
                QStringLiteral("u") + n, QStringLiteral("直充")};
    case 5:
        return {QStringLiteral("充值用户名:pass") + n +
                    QStringLiteral("账号类型:通行证充值方式:卡充，"),
                QStringLiteral("pass") + n, QStringLiteral("卡充")};
    default:
        return {QStringLiteral("请尽快发货，谢谢"), QString(), QString()};
    }
}

// One order block exactly as tests/shop's block() writes it.
QString block(const ShopOrder &o, const QString &accountPart)
{
    return QStringLiteral("<tbody><tr><td><span class=\"order-number\">订单编号：") + o.orderNo +
           QStringLiteral("</span></td></tr>\n<tr><td>名称：") + o.title +
           QStringLiteral(" §</td><td>数量：") + o.quantity +
           QStringLiteral("件</td><td><a params=\"nick=") + o.buyer +
           QStringLiteral("&amp;x=1\">旺旺</a></td></tr>\n<tr><td>") + accountPart +
           QStringLiteral("</td></tr></TBODY>\n<a href=\"consign.htm?order_id=") + o.orderId +
           QStringLiteral("\">发货</a>\n");
}

// The markup a seller page has between two orders: item rows with pictures,
// prices, status and links. It holds none of the reader's markers.
QString filler(int i)
{
    const QString n = QString::number(i);
    return QStringLiteral("<div class=\"order-row\"><table class=\"item-list\"><tr>"
                          "<td class=\"pic\"><a href=\"http://item.taobao.com/item.htm?id=4100") +
           n +
           QStringLiteral("\" target=\"_blank\"><img src=\"http://img.taobao.com/bao/uploaded/i") +
           n +
           QStringLiteral("/T1kLb_80x80.jpg\" width=\"80\" height=\"80\" alt=\"宝贝图片\"></a></td>"
                          "<td class=\"desc\"><p class=\"note\">商品快照 | 交易快照</p>"
                          "<span class=\"props\">面值：50元；充值方式：自动充值</span></td>"
                          "<td class=\"price\">49.80</td><td class=\"num\">1</td>"
                          "<td class=\"after\"><a href=\"refund.htm\">申请售后</a></td>"
                          "<td class=\"status\">买家已付款<br><a href=\"detail.htm?bizOrderId=") +
           n +
           QStringLiteral("\">详情</a></td><td class=\"pay\"><strong>49.80</strong>"
                          "<br>(含快递:0.00)</td><td class=\"op\"><a class=\"memo\" "
                          "href=\"memo.htm\">备忘</a>&nbsp;<a href=\"close.htm\">关闭交易</a>"
                          "</td></tr></table></div>\n");
}

struct Fixture
{
    QByteArray gbk;
    QList<ShopOrder> expected;
};

Fixture makeFixture()
{
    Fixture f;
    // The header table above the list, and the page's anti-forgery token.
    QString page = QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
        "<title>已卖出的宝贝</title><link rel=\"stylesheet\" href=\"trade.css\"></head>\n"
        "<body><div id=\"header\"><a href=\"http://www.taobao.com/\">淘宝网首页</a> | "
        "<a href=\"http://my.taobao.com/\">我的淘宝</a> | <a href=\"cart.htm\">购物车</a></div>\n"
        "<form name=\"search\" method=\"post\"><input name='_tb_token_' type='hidden' "
        "value='e3b5f7a1c9d2'>\n<table class=\"search-table\"><thead><tr><th>宝贝名称</th>"
        "<th>买家昵称</th><th>成交时间</th><th>交易状态</th></tr></thead>\n<tr><td><input "
        "name=\"itemName\"></td><td><input name=\"buyerNick\"></td><td><input "
        "name=\"start\">至<input name=\"end\"></td><td><select name=\"status\"><option>"
        "等待发货</option><option>全部</option></select></td></tr></table></form>\n"
        "<table class=\"list-head\"><tr><th>宝贝</th><th>单价(元)</th><th>数量</th><th>售后"
        "</th><th>买家</th><th>交易状态</th><th>实收款(元)</th><th>评价</th></tr></table>\n"
        "<!-- logis start -->\n<table class=\"orders\">");
    page.reserve(kOrders * kBytesPerOrder);
    for (int i = 0; i < kOrders; ++i) {
        const AccountForm form = accountForm(i);
        ShopOrder o;
        o.orderNo = QString::number(2012'0000'0000LL + i * 37);
        o.orderId = QString::number(9'100'000 + i);
        o.title = kTitles[i % std::size(kTitles)];
        o.quantity = QString::number(1 + i % 5);
        o.buyer = kBuyers[i % std::size(kBuyers)] + QString::number(i);
        o.account = form.account;
        o.area = form.area;
        f.expected.append(o);
        // Filler until this order's share of the page is reached.
        const QString orderBlock = block(o, form.part);
        page += orderBlock;
        qsizetype bytes = toGbk(orderBlock).size();
        while (bytes < kBytesPerOrder) {
            const QString more = filler(i);
            page += more;
            bytes += toGbk(more).size();
        }
    }
    page += QStringLiteral("</table>\n<!-- logis end -->\n<div id=\"footer\">"
                           "淘宝网版权所有</div></body></html>\n");
    f.gbk = toGbk(page);
    return f;
}

const Fixture &fixture()
{
    static const Fixture f = makeFixture();
    return f;
}

void setThroughput(benchmark::State &state)
{
    state.SetBytesProcessed(state.iterations() * fixture().gbk.size());
    state.SetItemsProcessed(state.iterations() * kOrders);
    state.counters["page_bytes"] = double(fixture().gbk.size());
}

// What the harvester does with the page it loaded: the bytes decoded as GBK and
// every order cut from the text.
void BM_HarvestParse(benchmark::State &state)
{
    const QByteArray &bytes = fixture().gbk;
    {
        // Outside the timing: the reading gives exactly the orders written.
        const TaobaoPage page = readTaobaoPage(fromGbk(bytes));
        if (page.orders != fixture().expected || page.tbToken != QStringLiteral("e3b5f7a1c9d2")) {
            state.SkipWithError("the page read differently from what was written");
            return;
        }
    }
    for (auto _ : state) {
        const TaobaoPage page = readTaobaoPage(fromGbk(bytes));
        if (page.orders.size() != kOrders) {
            state.SkipWithError("wrong number of orders");
            break;
        }
        benchmark::DoNotOptimize(page);
    }
    setThroughput(state);
}
BENCHMARK(BM_HarvestParse)->Unit(benchmark::kMillisecond);

// The floor: one memmem pass over the bytes counting the block marker. A
// reading that finds the blocks cannot do less than this.
void BM_MemmemFloor(benchmark::State &state)
{
    const QByteArray &bytes = fixture().gbk;
    const QByteArray marker = toGbk(taobaoMarkers().block);
    for (auto _ : state) {
        const char *at = bytes.constData();
        const char *const end = at + bytes.size();
        int found = 0;
        while (const void *hit =
                   memmem(at, size_t(end - at), marker.constData(), size_t(marker.size()))) {
            ++found;
            at = static_cast<const char *>(hit) + marker.size();
        }
        if (found != kOrders) {
            state.SkipWithError("wrong number of blocks");
            break;
        }
        benchmark::DoNotOptimize(found);
    }
    setThroughput(state);
}
BENCHMARK(BM_MemmemFloor)->Unit(benchmark::kMillisecond);

// A full HTML parse into a document tree, on the same GBK bytes. gumbo reads
// UTF-8, so the Chinese text comes out as U+FFFD, but the markup, where the
// tokenizer and tree builder spend their time, is ASCII either way: the bytes
// serve for comparing times, not for reading the text. Each invalid sequence
// is also recorded as a parse error (about 190,000 on this page), which makes
// this parse roughly a fifth slower than gumbo's on the page in UTF-8.
void BM_GumboParse(benchmark::State &state)
{
    const QByteArray &bytes = fixture().gbk;
    for (auto _ : state) {
        GumboOutput *output = gumbo_parse_with_options(&kGumboDefaultOptions, bytes.constData(),
                                                       size_t(bytes.size()));
        const bool parsed = output != nullptr && output->root != nullptr;
        if (parsed)
            benchmark::DoNotOptimize(output->root);
        if (output != nullptr)
            gumbo_destroy_output(&kGumboDefaultOptions, output);
        if (!parsed) {
            state.SkipWithError("no document");
            break;
        }
    }
    setThroughput(state);
}
BENCHMARK(BM_GumboParse)->Unit(benchmark::kMillisecond);

// The display the flags ask for, followed by the parse's ratios to the two
// yardsticks of the same run, so that they need not be worked out by hand.
class RatioReporter : public benchmark::BenchmarkReporter
{
public:
    explicit RatioReporter(benchmark::BenchmarkReporter *display) : m_display(display) {}

    bool ReportContext(const Context &context) override
    {
        return m_display->ReportContext(context);
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate &&
                                run.aggregate_name == "median" &&
                                run.aggregate_unit == benchmark::kTime;
            if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median))
                continue;
            // With repetitions the median stands for the family.
            const std::string &family = run.run_name.function_name;
            if (median || !m_hasMedian.contains(family)) {
                m_cpuSeconds[family] =
                    run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            }
            if (median)
                m_hasMedian.insert(family);
        }
        m_display->ReportRuns(runs);
    }

    void Finalize() override
    {
        m_display->Finalize();
        const auto seconds = [&](const char *family) {
            const auto it = m_cpuSeconds.find(family);
            return it == m_cpuSeconds.end() ? 0.0 : it->second;
        };
        const double parse = seconds("BM_HarvestParse");
        const double gumbo = seconds("BM_GumboParse");
        const double floor = seconds("BM_MemmemFloor");
        if (parse <= 0)
            return;
        // Machine-readable formats keep standard output to themselves.
        std::ostream &out = dynamic_cast<benchmark::ConsoleReporter *>(m_display)
                                ? m_display->GetOutputStream()
                                : GetErrorStream();
        out << std::fixed << std::setprecision(1) << "\nBM_HarvestParse, by CPU time:";
        if (gumbo > 0)
            out << " " << gumbo / parse << "x faster than BM_GumboParse;";
        if (floor > 0)
            out << " " << parse / floor << "x the time of BM_MemmemFloor";
        out << "\n";
    }

private:
    benchmark::BenchmarkReporter *m_display;
    std::map<std::string, double> m_cpuSeconds;
    std::set<std::string> m_hasMedian;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter(benchmark::CreateDefaultDisplayReporter());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
