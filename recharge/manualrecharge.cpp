#include "recharge/manualrecharge.h"

#include "app/core/gbk.h"
#include "recharge/facevalue.h"

namespace {

const QString kNameStart = QStringLiteral("<PRODUCT_NAME>");
const QString kNameEnd = QStringLiteral("</PRODUCT_NAME>");
const QString kPriceStart = QStringLiteral("<PRODUCT_JHJ>");
const QString kPriceEnd = QStringLiteral("</PRODUCT_JHJ>");
const QString kAreaStart = QStringLiteral("<PRODUCT_HAO>");
const QString kAreaEnd = QStringLiteral("</PRODUCT_HAO>");
const QString kValueStart = QStringLiteral("<PRODUCT_DW>");
const QString kValueEnd = QStringLiteral("</PRODUCT_DW>");
const QString kNoAreaMarker = QStringLiteral("号");
const QString kFixedLineSuffix = QStringLiteral("固定电话");

// The text between the first start tag and the first end tag after it; empty
// when either is missing.
QString between(QStringView text, QStringView start, QStringView end)
{
    const qsizetype from = text.indexOf(start);
    if (from < 0)
        return {};
    const qsizetype begin = from + start.size();
    const qsizetype to = text.indexOf(end, begin);
    if (to < 0)
        return {};
    return text.sliced(begin, to - begin).toString();
}

// The browser writes text content with these entities; the pages meant the characters.
QString decodeEntities(QString text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&nbsp;"), QString(QChar(0x00a0)));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

QString businessListUrl(const QString &baseUrl, const QString &sessionKey, const QString &machineId,
                        const QString &sj)
{
    return baseUrl + kProductPage + QStringLiteral("?sj=") + sj + QStringLiteral("&sessionkey=") +
           escapeValue(sessionKey) + QStringLiteral("&hardware=") + escapeValue(machineId);
}

QString productPageUrl(const QString &baseUrl, const QString &sessionKey, const QString &business,
                       const QString &machineId, const QString &sj, const QString &secondSj)
{
    return baseUrl + kProductPage + QStringLiteral("?action=ss&sessionkey=") +
           escapeValue(sessionKey) + QStringLiteral("&yw=") + escapeValue(business) +
           QStringLiteral("&sj=") + sj + QStringLiteral("&hardware=") + escapeValue(machineId) +
           QStringLiteral("&sj=") + secondSj;
}

QString numberInfoUrl(const QString &serviceUrl)
{
    QString url = serviceUrl;
    if (!url.isEmpty() && !url.endsWith(QLatin1Char('/')))
        url += QLatin1Char('/');
    return url + kNumberInfoPage;
}

QString numberInfoBody(const QString &number)
{
    return QStringLiteral("mobilenum=") + escapeValue(number.left(7));
}

QStringList readBusinessList(const QString &bodyHtml)
{
    QStringList out;
    QStringView rest(bodyHtml);
    while (true) {
        const qsizetype start = rest.indexOf(kNameStart);
        if (start < 0)
            break;
        const qsizetype begin = start + kNameStart.size();
        const qsizetype end = rest.indexOf(kNameEnd, begin);
        if (end < 0)
            break;
        out.append(decodeEntities(rest.sliced(begin, end - begin).toString()));
        rest = rest.sliced(end + kNameEnd.size());
    }
    return out;
}

QList<ManualProduct> readProductPage(const QString &bodyHtml)
{
    QList<ManualProduct> out;
    QStringView rest(bodyHtml);
    while (out.size() < kMaxManualProducts && rest.contains(kNameStart)) {
        ManualProduct p;
        p.name = decodeEntities(between(rest, kNameStart, kNameEnd));
        p.price = decodeEntities(between(rest, kPriceStart, kPriceEnd));
        p.qu = decodeEntities(between(rest, kAreaStart, kAreaEnd));
        p.value = decodeEntities(between(rest, kValueStart, kValueEnd));
        p.needsArea = p.qu != kNoAreaMarker;
        out.append(p);
        const qsizetype end = rest.indexOf(kValueEnd);
        if (end < 0)
            break; // nothing closes this record, so nothing after it can be told apart
        rest = rest.sliced(end + kValueEnd.size());
    }
    return out;
}

AmountChoices amountChoices(const ManualProduct &product)
{
    AmountChoices out;
    const QStringList items = product.value.split(QLatin1Char('|'));
    out.unit = items.value(0);
    for (qsizetype k = 1; k < items.size() && out.amounts.size() < kMaxManualAmounts; ++k) {
        const QString &item = items.at(k);
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq < 0)
            break;
        out.amounts.append(
            faceValueDisplayAmount(QStringView(item).left(eq), out.unit, product.price));
        out.costs.append(item.mid(eq + 1).section(QLatin1Char('='), 0, 0));
    }
    return out;
}

bool isNumberText(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), isAsciiDigit);
}

NumberAction numberAction(const QString &text)
{
    if (!isNumberText(text) || text.size() <= 2)
        return NumberAction::DisableBalance;
    if (text.startsWith(QLatin1Char('1')) && text.size() == 11)
        return NumberAction::RegionRequest;
    if (text.startsWith(QLatin1Char('0')))
        return NumberAction::FixedLineRegion;
    return NumberAction::DisableBalance;
}

const QStringList &fixedLineAreaTable()
{
    // As the window design lists them: the four cities with a leading blank,
    // 淮阴 and 淮安 sharing 0517, 雅安 and 毕节 twice, 泸州 with 08400, the
    // Shandong cities under 甘肃省.
    static const QStringList table = {
        QStringLiteral(" 北京市010"),
        QStringLiteral(" 上海市021"),
        QStringLiteral(" 天津市022"),
        QStringLiteral(" 重庆市023"),
        QStringLiteral("河北省 邯郸市0310"),
        QStringLiteral("河北省 石家庄0311"),
        QStringLiteral("河北省 保定市0312"),
        QStringLiteral("河北省 张家口0313"),
        QStringLiteral("河北省 承德市0314"),
        QStringLiteral("河北省 唐山市0315"),
        QStringLiteral("河北省 廊坊市0316"),
        QStringLiteral("河北省 沧州市0317"),
        QStringLiteral("河北省 衡水市0318"),
        QStringLiteral("河北省 邢台市0319"),
        QStringLiteral("河北省 秦皇岛0335"),
        QStringLiteral("浙江省 衢州市0570"),
        QStringLiteral("浙江省 杭州市0571"),
        QStringLiteral("浙江省 湖州市0572"),
        QStringLiteral("浙江省 嘉兴市0573"),
        QStringLiteral("浙江省 宁波市0574"),
        QStringLiteral("浙江省 绍兴市0575"),
        QStringLiteral("浙江省 台州市0576"),
        QStringLiteral("浙江省 温州市0577"),
        QStringLiteral("浙江省 丽水市0578"),
        QStringLiteral("浙江省 金华市0579"),
        QStringLiteral("浙江省 舟山市0580"),
        QStringLiteral("辽宁省 沈阳市024"),
        QStringLiteral("辽宁省 铁岭市0410"),
        QStringLiteral("辽宁省 大连市0411"),
        QStringLiteral("辽宁省 鞍山市0412"),
        QStringLiteral("辽宁省 抚顺市0413"),
        QStringLiteral("辽宁省 本溪市0414"),
        QStringLiteral("辽宁省 丹东市0415"),
        QStringLiteral("辽宁省 锦州市0416"),
        QStringLiteral("辽宁省 营口市0417"),
        QStringLiteral("辽宁省 阜新市0418"),
        QStringLiteral("辽宁省 辽阳市0419"),
        QStringLiteral("辽宁省 朝阳市0421"),
        QStringLiteral("辽宁省 盘锦市0427"),
        QStringLiteral("辽宁省 葫芦岛0429"),
        QStringLiteral("湖北省 武汉市027"),
        QStringLiteral("湖北省 襄城市0710"),
        QStringLiteral("湖北省 鄂州市0711"),
        QStringLiteral("湖北省 孝感市0712"),
        QStringLiteral("湖北省 黄州市0713"),
        QStringLiteral("湖北省 黄石市0714"),
        QStringLiteral("湖北省 咸宁市0715"),
        QStringLiteral("湖北省 荆沙(江陵)0716"),
        QStringLiteral("湖北省 宜昌市0717"),
        QStringLiteral("湖北省 恩施市0718"),
        QStringLiteral("湖北省 十堰市0719"),
        QStringLiteral("湖北省 随枣市0722"),
        QStringLiteral("湖北省 荆门市0724"),
        QStringLiteral("湖北省 江汉(仙桃)0728"),
        QStringLiteral("江苏省 南京市025"),
        QStringLiteral("江苏省 无锡市0510"),
        QStringLiteral("江苏省 镇江市0511"),
        QStringLiteral("江苏省 苏州市0512"),
        QStringLiteral("江苏省 南通市0513"),
        QStringLiteral("江苏省 扬州市0514"),
        QStringLiteral("江苏省 盐城市0515"),
        QStringLiteral("江苏省 徐州市0516"),
        QStringLiteral("江苏省 淮阴市0517"),
        QStringLiteral("江苏省 淮安市0517"),
        QStringLiteral("江苏省 连云港0518"),
        QStringLiteral("江苏省 常州市0519"),
        QStringLiteral("江苏省 泰州市0523"),
        QStringLiteral("内蒙古 海拉尔0470"),
        QStringLiteral("内蒙古 呼和浩特0471"),
        QStringLiteral("内蒙古 包头市0472"),
        QStringLiteral("内蒙古 乌海市0473"),
        QStringLiteral("内蒙古 集宁市0474"),
        QStringLiteral("内蒙古 通辽市0475"),
        QStringLiteral("内蒙古 赤峰市0476"),
        QStringLiteral("内蒙古 东胜市0477"),
        QStringLiteral("内蒙古 临河市0478"),
        QStringLiteral("内蒙古 锡林浩特0479"),
        QStringLiteral("内蒙古 乌兰浩特0482"),
        QStringLiteral("内蒙古 阿拉善左旗0483"),
        QStringLiteral("江西省 新余市0790"),
        QStringLiteral("江西省 南昌市0791"),
        QStringLiteral("江西省 九江市0792"),
        QStringLiteral("江西省 上饶市0793"),
        QStringLiteral("江西省 临川市0794"),
        QStringLiteral("江西省 宜春市0795"),
        QStringLiteral("江西省 吉安市0796"),
        QStringLiteral("江西省 赣州市0797"),
        QStringLiteral("江西省 景德镇0798"),
        QStringLiteral("江西省 萍乡市0799"),
        QStringLiteral("江西省 鹰潭市0701"),
        QStringLiteral("山西省 忻州市0350"),
        QStringLiteral("山西省 太原市0351"),
        QStringLiteral("山西省 大同市0352"),
        QStringLiteral("山西省 阳泉市0353"),
        QStringLiteral("山西省 榆次市0354"),
        QStringLiteral("山西省 长治市0355"),
        QStringLiteral("山西省 晋城市0356"),
        QStringLiteral("山西省 临汾市0357"),
        QStringLiteral("山西省 离石市0358"),
        QStringLiteral("山西省 运城市0359"),
        QStringLiteral("甘肃省 临夏市0930"),
        QStringLiteral("甘肃省 兰州市0931"),
        QStringLiteral("甘肃省 定西市0932"),
        QStringLiteral("甘肃省 平凉市0933"),
        QStringLiteral("甘肃省 西峰市0934"),
        QStringLiteral("甘肃省 武威市0935"),
        QStringLiteral("甘肃省 张掖市0936"),
        QStringLiteral("甘肃省 酒泉市0937"),
        QStringLiteral("甘肃省 天水市0938"),
        QStringLiteral("甘肃省 甘南州0941"),
        QStringLiteral("甘肃省 白银市0943"),
        QStringLiteral("甘肃省 菏泽市0530"),
        QStringLiteral("甘肃省 济南市0531"),
        QStringLiteral("甘肃省 青岛市0532"),
        QStringLiteral("甘肃省 淄博市0533"),
        QStringLiteral("甘肃省 德州市0534"),
        QStringLiteral("甘肃省 烟台市0535"),
        QStringLiteral("甘肃省 淮坊市0536"),
        QStringLiteral("甘肃省 济宁市0537"),
        QStringLiteral("甘肃省 泰安市0538"),
        QStringLiteral("甘肃省 临沂市0539"),
        QStringLiteral("黑龙江 阿城市0450"),
        QStringLiteral("黑龙江 哈尔滨0451"),
        QStringLiteral("黑龙江 齐齐哈尔0452"),
        QStringLiteral("黑龙江 牡丹江0453"),
        QStringLiteral("黑龙江 佳木斯0454"),
        QStringLiteral("黑龙江 绥化市0455"),
        QStringLiteral("黑龙江 黑河市0456"),
        QStringLiteral("黑龙江 加格达奇0457"),
        QStringLiteral("黑龙江 伊春市0458"),
        QStringLiteral("黑龙江 大庆市0459"),
        QStringLiteral("福建省 福州市0591"),
        QStringLiteral("福建省 厦门市0592"),
        QStringLiteral("福建省 宁德市0593"),
        QStringLiteral("福建省 莆田市0594"),
        QStringLiteral("福建省 泉州市0595"),
        QStringLiteral("福建省 晋江市0595"),
        QStringLiteral("福建省 漳州市0596"),
        QStringLiteral("福建省 龙岩市0597"),
        QStringLiteral("福建省 三明市0598"),
        QStringLiteral("福建省 南平市0599"),
        QStringLiteral("广东省 广州市020"),
        QStringLiteral("广东省 韶关市0751"),
        QStringLiteral("广东省 惠州市0752"),
        QStringLiteral("广东省 梅州市0753"),
        QStringLiteral("广东省 汕头市0754"),
        QStringLiteral("广东省 深圳市0755"),
        QStringLiteral("广东省 珠海市0756"),
        QStringLiteral("广东省 佛山市0757"),
        QStringLiteral("广东省 肇庆市0758"),
        QStringLiteral("广东省 湛江市0759"),
        QStringLiteral("广东省 中山市0760"),
        QStringLiteral("广东省 河源市0762"),
        QStringLiteral("广东省 清远市0763"),
        QStringLiteral("广东省 顺德市0765"),
        QStringLiteral("广东省 云浮市0766"),
        QStringLiteral("广东省 潮州市0768"),
        QStringLiteral("广东省 东莞市0769"),
        QStringLiteral("广东省 汕尾市0660"),
        QStringLiteral("广东省 潮阳市0661"),
        QStringLiteral("广东省 阳江市0662"),
        QStringLiteral("广东省 揭西市0663"),
        QStringLiteral("四川省 成都市028"),
        QStringLiteral("四川省 涪陵市0810"),
        QStringLiteral("四川省 重庆市0811"),
        QStringLiteral("四川省 攀枝花0812"),
        QStringLiteral("四川省 自贡市0813"),
        QStringLiteral("四川省 永川市0814"),
        QStringLiteral("四川省 绵阳市0816"),
        QStringLiteral("四川省 南充市0817"),
        QStringLiteral("四川省 达县市0818"),
        QStringLiteral("四川省 万县市0819"),
        QStringLiteral("四川省 遂宁市0825"),
        QStringLiteral("四川省 广安市0826"),
        QStringLiteral("四川省 巴中市0827"),
        QStringLiteral("四川省 泸州市0830"),
        QStringLiteral("四川省 宜宾市0831"),
        QStringLiteral("四川省 内江市0832"),
        QStringLiteral("四川省 乐山市0833"),
        QStringLiteral("四川省 西昌市0834"),
        QStringLiteral("四川省 雅安市0835"),
        QStringLiteral("四川省 雅安市0835"),
        QStringLiteral("四川省 康定市0836"),
        QStringLiteral("四川省 马尔康0837"),
        QStringLiteral("四川省 德阳市0838"),
        QStringLiteral("四川省 广元市0839"),
        QStringLiteral("四川省 泸州市08400"),
        QStringLiteral("湖南省 岳阳市0730"),
        QStringLiteral("湖南省 长沙市0731"),
        QStringLiteral("湖南省 湘潭市0732"),
        QStringLiteral("湖南省 株州市0733"),
        QStringLiteral("湖南省 衡阳市0734"),
        QStringLiteral("湖南省 郴州市0735"),
        QStringLiteral("湖南省 常德市0736"),
        QStringLiteral("湖南省 益阳市0737"),
        QStringLiteral("湖南省 娄底市0738"),
        QStringLiteral("湖南省 邵阳市0739"),
        QStringLiteral("湖南省 吉首市0743"),
        QStringLiteral("张家界 (大庸)0744"),
        QStringLiteral("张家界 怀化市0745"),
        QStringLiteral("永州冷 (水滩)0746"),
        QStringLiteral("河南省 商丘市0370"),
        QStringLiteral("河南省 郑州市0371"),
        QStringLiteral("河南省 安阳市0372"),
        QStringLiteral("河南省 新乡市0373"),
        QStringLiteral("河南省 许昌市0374"),
        QStringLiteral("河南省 平顶山0375"),
        QStringLiteral("河南省 信阳市0376"),
        QStringLiteral("河南省 南阳市0377"),
        QStringLiteral("河南省 开封市0378"),
        QStringLiteral("河南省 洛阳市0379"),
        QStringLiteral("河南省 焦作市0391"),
        QStringLiteral("河南省 鹤壁市0392"),
        QStringLiteral("河南省 濮阳市0393"),
        QStringLiteral("河南省 周口市0394"),
        QStringLiteral("河南省 漯河市0395"),
        QStringLiteral("河南省 驻马店0396"),
        QStringLiteral("河南省 三门峡0398"),
        QStringLiteral("云南省 昭通市0870"),
        QStringLiteral("云南省 昆明市0871"),
        QStringLiteral("云南省 大理市0872"),
        QStringLiteral("云南省 个旧市0873"),
        QStringLiteral("云南省 曲靖市0874"),
        QStringLiteral("云南省 保山市0875"),
        QStringLiteral("云南省 文山市0876"),
        QStringLiteral("云南省 玉溪市0877"),
        QStringLiteral("云南省 楚雄市0878"),
        QStringLiteral("云南省 思茅市0879"),
        QStringLiteral("云南省 景洪市0691"),
        QStringLiteral("云南省 潞西市0692"),
        QStringLiteral("云南省 东川市0881"),
        QStringLiteral("云南省 临沧市0883"),
        QStringLiteral("云南省 六库市0886"),
        QStringLiteral("云南省 中甸市0887"),
        QStringLiteral("云南省 丽江市0888"),
        QStringLiteral("安徽省 滁州市0550"),
        QStringLiteral("安徽省 合肥市0551"),
        QStringLiteral("安徽省 蚌埠市0552"),
        QStringLiteral("安徽省 芜湖市0553"),
        QStringLiteral("安徽省 淮南市0554"),
        QStringLiteral("安徽省 马鞍山0555"),
        QStringLiteral("安徽省 安庆市0556"),
        QStringLiteral("安徽省 宿州市0557"),
        QStringLiteral("安徽省 阜阳市0558"),
        QStringLiteral("安徽省 黄山市0559"),
        QStringLiteral("安徽省 淮北市0561"),
        QStringLiteral("安徽省 铜陵市0562"),
        QStringLiteral("安徽省 宣城市0563"),
        QStringLiteral("安徽省 六安市0564"),
        QStringLiteral("安徽省 巢湖市0565"),
        QStringLiteral("安徽省 贵池市0566"),
        QStringLiteral("宁夏 银川市0951"),
        QStringLiteral("宁夏 石嘴山0952"),
        QStringLiteral("宁夏 吴忠市0953"),
        QStringLiteral("宁夏 固原市0954"),
        QStringLiteral("吉林省 长春市0431"),
        QStringLiteral("吉林省 吉林市0432"),
        QStringLiteral("吉林省 延吉市0433"),
        QStringLiteral("吉林省 四平市0434"),
        QStringLiteral("吉林省 通化市0435"),
        QStringLiteral("吉林省 白城市0436"),
        QStringLiteral("吉林省 辽源市0437"),
        QStringLiteral("吉林省 松原市0438"),
        QStringLiteral("吉林省 浑江市0439"),
        QStringLiteral("吉林省 珲春市0440"),
        QStringLiteral("广西省 防城港0770"),
        QStringLiteral("广西省 南宁市0771"),
        QStringLiteral("广西省 柳州市0772"),
        QStringLiteral("广西省 桂林市0773"),
        QStringLiteral("广西省 梧州市0774"),
        QStringLiteral("广西省 玉林市0775"),
        QStringLiteral("广西省 百色市0776"),
        QStringLiteral("广西省 钦州市0777"),
        QStringLiteral("广西省 河池市0778"),
        QStringLiteral("广西省 北海市0779"),
        QStringLiteral("贵州省 贵阳市0851"),
        QStringLiteral("贵州省 遵义市0852"),
        QStringLiteral("贵州省 安顺市0853"),
        QStringLiteral("贵州省 都均市0854"),
        QStringLiteral("贵州省 凯里市0855"),
        QStringLiteral("贵州省 铜仁市0856"),
        QStringLiteral("贵州省 毕节市0857"),
        QStringLiteral("贵州省 毕节市0857"),
        QStringLiteral("贵州省 兴义市0859"),
        QStringLiteral("陕西省 西安市029"),
        QStringLiteral("陕西省 咸阳市0910"),
        QStringLiteral("陕西省 延安市0911"),
        QStringLiteral("陕西省 榆林市0912"),
        QStringLiteral("陕西省 渭南市0913"),
        QStringLiteral("陕西省 商洛市0914"),
        QStringLiteral("陕西省 安康市0915"),
        QStringLiteral("陕西省 汉中市0916"),
        QStringLiteral("陕西省 宝鸡市0917"),
        QStringLiteral("陕西省 铜川市0919"),
        QStringLiteral("青海省 西宁市0971"),
        QStringLiteral("青海省 海东市0972"),
        QStringLiteral("青海省 同仁市0973"),
        QStringLiteral("青海省 共和市0974"),
        QStringLiteral("青海省 玛沁市0975"),
        QStringLiteral("青海省 玉树市0976"),
        QStringLiteral("青海省 德令哈0977"),
        QStringLiteral("海南省 (儋县)0890"),
        QStringLiteral("海南省 海口市0898"),
        QStringLiteral("海南省 三亚市0899"),
        QStringLiteral("西藏 拉萨市0891"),
        QStringLiteral("西藏 日喀则0892"),
        QStringLiteral("西藏 山南市0893"),
    };
    return table;
}

QString 获取电信号码区(const QStringList &table, const QString &firstThree)
{
    for (const QString &entry : table) {
        if (entry.contains(firstThree))
            return entry.section(QLatin1Char('0'), 0, 0) + kFixedLineSuffix;
    }
    return {};
}

QString 获取电信号码区(const QString &firstThree)
{
    return 获取电信号码区(fixedLineAreaTable(), firstThree);
}

std::optional<QString> readNumberRegion(const QString &answer)
{
    const QStringList fields = answer.split(QLatin1Char('|'));
    if (fields.size() < 3)
        return std::nullopt;
    return fields.at(1) + QLatin1Char('-') + fields.at(2);
}

QString formatPurchasePrice(const QString &cost)
{
    // Sign, digits, an optional point and digits: rounded on the text, so that
    // 1.0005 gives 1.001 and not what its binary neighbour would give.
    const QString text = cost.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        negative = text.at(i++) == QLatin1Char('-');
    QString whole, fraction;
    while (i < text.size() && isAsciiDigit(text.at(i)))
        whole.append(text.at(i++));
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && isAsciiDigit(text.at(i)))
            fraction.append(text.at(i++));
    }
    if (i != text.size() || (whole.isEmpty() && fraction.isEmpty()))
        return cost;

    const bool roundUp = fraction.size() > 3 && fraction.at(3) >= QLatin1Char('5');
    fraction = fraction.left(3).leftJustified(3, QLatin1Char('0'));
    QString digits = (whole.isEmpty() ? QStringLiteral("0") : whole) + fraction;
    if (roundUp) {
        qsizetype k = digits.size() - 1;
        while (k >= 0 && digits.at(k) == QLatin1Char('9'))
            digits[k--] = QLatin1Char('0');
        if (k < 0)
            digits.prepend(QLatin1Char('1'));
        else
            digits[k] = QChar(digits.at(k).unicode() + 1);
    }
    QString intPart = digits.left(digits.size() - 3);
    while (intPart.size() > 1 && intPart.startsWith(QLatin1Char('0')))
        intPart.remove(0, 1);
    const QString result = intPart + QLatin1Char('.') + digits.right(3);
    const bool zero =
        std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c == QLatin1Char('0'); });
    return negative && !zero ? QLatin1Char('-') + result : result;
}

std::optional<PriceLabel> purchasePriceClick(const QString &labelText, bool productChosen,
                                             const std::optional<QString> &cost)
{
    if (labelText != kShowPurchasePrice || !productChosen)
        return PriceLabel{kShowPurchasePrice, kPromptColour};
    if (!cost)
        return std::nullopt;
    return PriceLabel{kPurchasePricePrefix + formatPurchasePrice(*cost), kPriceColour};
}

bool isAmountText(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t.at(i) == QLatin1Char('-') || t.at(i) == QLatin1Char('+')))
        ++i;
    bool digit = false, point = false;
    for (; i < t.size(); ++i) {
        if (isAsciiDigit(t.at(i)))
            digit = true;
        else if (t.at(i) == QLatin1Char('.') && !point)
            point = true;
        else
            return false;
    }
    return digit;
}

QString priceLabelStyle(const QColor &colour)
{
    return QStringLiteral("color: %1;").arg(colour.name());
}
