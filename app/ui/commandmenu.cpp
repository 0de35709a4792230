#include "app/ui/commandmenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

// clang-format off
constexpr CommandEntry kCommands[] = {
    // name                     caption              parent        shown  gated  submenu
    {"m帐号管理",               "   帐号管理",        nullptr,      true,  false, true},
    {"帐号信息",                "帐号信息",           "m帐号管理",   true,  true,  false},
    {"退出系统",                "退出系统",           "m帐号管理",   true,  false, false},
    {"m安全管理",               " 安全管理",          nullptr,      true,  false, true},
    {"密码修改",                "密码修改",           "m安全管理",   true,  true,  false},
    {"硬件绑定",                "硬件绑定",           "m安全管理",   true,  true,  false},
    {"m监控管理",               " 监控管理",          nullptr,      true,  false, true},
    {"m店铺设置",               "店铺设置",           "m监控管理",   false, true,  false},
    {"监控淘宝",                "监控淘宝",           "m监控管理",   false, true,  false},
    {"监控拍拍",                "监控拍拍",           "m监控管理",   false, true,  false},
    {"m退出淘宝监控",           "退出淘宝监控",       "m监控管理",   true,  false, false},
    {"m退出拍拍监控",           "退出拍拍监控",       "m监控管理",   true,  false, false},
    {"淘宝刷新",                "淘宝刷新",           "m监控管理",   true,  false, false},
    {"货物设置",                "货物设置",           "m监控管理",   true,  true,  false},
    {"清除不能发货商品",        "清除不能发货商品",   "m监控管理",   true,  false, false},
    {"打印小票",                "打印小票",           "m监控管理",   false, false, false},
    {"m营销管理",               " 营销管理",          nullptr,      false, false, false},
    {"m财务管理",               " 财务管理",          nullptr,      true,  false, true},
    {"程序加款",                "程序加款",           "m财务管理",   false, true,  false},
    {"余额转账",                "余额转账",           "m财务管理",   true,  true,  false},
    {"余额提现",                "余额提现",           "m财务管理",   false, true,  false},
    {"M佣金管理",               "佣金管理",           "m财务管理",   true,  false, false},
    {"产品销售",                "销售记录",           "m财务管理",   true,  true,  false},
    {"下级销售",                "下级销售",           "m财务管理",   true,  true,  false},
    {"m订单查询",               "订单查询",           "m财务管理",   true,  false, false},
    {"m待处理订单",             "待处理订单",         "m财务管理",   true,  true,  false},
    {"m提醒设置",               "提醒设置",           "m财务管理",   true,  false, false},
    {"mWAP手机版",              " WAP手机版",         nullptr,      false, true,  false},
    {"m营销辅助",               " 营销/辅助",         nullptr,      true,  false, true},
    {"开通代理",                "开通代理",           "m营销辅助",   false, true,  false},
    {"话费查询",                "话费查询",           "m营销辅助",   true,  true,  false},
    {"自存卡密",                "自存卡密",           "m营销辅助",   false, true,  false},
    {"无限卡密",                "无限卡密",           "m营销辅助",   true,  true,  false},
    {"m代理网站生成",           "代理网站生成",       "m营销辅助",   true,  true,  false},
    {"m快递查询",               "快递查询",           "m营销辅助",   true,  false, false},
    {"m建议投诉",               " 投诉/补单",         nullptr,      true,  true,  false},
    {"m帮助中心",               " 帮助中心 ",         nullptr,      false, false, true},
    {"视频教程",                "视频教程",           "m帮助中心",   true,  false, false},
    {"m计算器",                 "计算器",             "m帮助中心",   true,  false, false},
    {"m娱乐小游戏",             "娱乐小游戏",         nullptr,      false, false, false},
    {"账号管理",                " 帐号管理 ",         nullptr,      false, false, false},
    {"自动开通",                "用户管理",           nullptr,      false, false, true},
    {"开通供货",                "开通供货",           "自动开通",    true,  true,  false},
    {"财务管理",                "财务管理",           nullptr,      false, false, false},
    {"订单查询",                "充值记录",           nullptr,      false, false, false},
    {"水电",                    "水、电",             nullptr,      false, false, true},
    {"电费",                    "电费",               "水电",        true,  false, false},
    {"水费",                    "水费",               "水电",        true,  false, false},
    {"煤气费",                  "煤气费",             "水电",        true,  false, false},
    {"票务",                    "票务",               nullptr,      false, false, true},
    {"火车票",                  "火车票",             "票务",        true,  false, false},
    {"飞机票",                  "飞机票",             "票务",        true,  false, false},
    {"彩票",                    "彩票",               nullptr,      false, false, true},
    {"福彩",                    "福彩",               "彩票",        true,  false, false},
    {"体彩",                    "体彩",               "彩票",        true,  false, false},
    {"旅游",                    "旅游",               nullptr,      false, false, false},
    {"启动监控",                "启动监控",           nullptr,      false, false, false},
    {"发货设置",                "发货设置",           nullptr,      false, false, false},
    {"卡密管理",                "卡密管理",           nullptr,      false, false, false},
    {"数据包下载",              "数据包下载",         nullptr,      false, false, false},
    {"menu",                    "托盘",               nullptr,      false, false, true},
    {"官方网站",                "官方网站",           "menu",        true,  false, false},
    {"退出",                    "退出",               "menu",        true,  false, false},
    {"供货管理",                "供货管理",           nullptr,      false, false, true},
    {"商品管理",                "商品管理",           "供货管理",    true,  false, false},
    {"充值管理",                "充值管理",           "供货管理",    true,  true,  false},
    {"酒店管理",                "酒店预订",           nullptr,      false, false, true},
    {"酒店预订",                "我要预订",           "酒店管理",    true,  true,  false},
    {"预订查询",                "预订查询",           "酒店管理",    true,  true,  false},
    {"打印",                    "打印小票",           nullptr,      true,  false, true},
    {"打印收据",                "打印小票",           "打印",        true,  false, false},
    {"复制订单",                "复制订单",           "打印",        true,  false, false},
    {"打印设置",                "打印设置",           "打印",        true,  false, false},
    {"m复制卡密",               "复制卡密",           "打印",        true,  false, false},
    {"m删除订单",               "删除订单",           "打印",        false, false, false},
    {"m实体加盟",               "实体加盟",           nullptr,      false, false, false},
    {"m实物批发",               "实物批发",           nullptr,      false, false, true},
    {"m平板电脑厂家批发1元1000元专区",   "平板电脑厂家批发1元-1000元专区",   "m实物批发", true,  false, false},
    {"m入门吉他厂家批发50元1500元专区",  "入门吉他厂家批发50元-1500元专区",  "m实物批发", true,  false, false},
    {"m男女包包厂家批发15元120元专区",   "男女包包厂家批发15元-120元专区",   "m实物批发", false, false, false},
    {"m男女服装厂家批发1060元专区",      "男女服装厂家批发10-60元专区",      "m实物批发", true,  false, false},
    {"m男女首饰厂家批发1元50元专区",     "男女首饰厂家批发1元-50元专区",     "m实物批发", true,  false, false},
    {"m毛绒娃娃厂家批发30元120元专区",   "毛绒娃娃厂家批发30元-120元专区",   "m实物批发", true,  false, false},
    {"mDVD高清光盘厂家批发35元6元专区",  "DVD高清光盘厂家批发0.35元-6元专区", "m实物批发", true,  false, false},
    {"m私人贷款",               " 私人贷款",          nullptr,      false, false, false},
    {"M手机号码",               " 手机选号",          nullptr,      true,  false, false},
    {"m手机批发",               " 手机批发",          nullptr,      true,  false, true},
    {"m山寨手机厂家批发1元200元专区",    "山寨手机批发50元-200元专区",       "m手机批发", true,  false, false},
    {"m品牌手机200元7600元专区",         "品牌手机100元-900元专区",          "m手机批发", true,  false, false},
    {"m童装批发",               " 童装批发",          nullptr,      true,  false, true},
    {"m男女童装5元",            "男女童装5元-75元专区",              "m童装批发", true,  false, false},
    {"m服装批发",               " 服装批发",          nullptr,      true,  false, true},
    {"m男装12元",               "男装12元-80元专区",                 "m服装批发", true,  false, false},
    {"m女装15元",               "女装15元-120元专区",                "m服装批发", true,  false, false},
    {"m水电缴费",               " 水电缴费 ",         nullptr,      true,  false, false},
};
// clang-format on

constexpr const char *kWholesale[] = {
    "m平板电脑厂家批发1元1000元专区",
    "m入门吉他厂家批发50元1500元专区",
    "m男女包包厂家批发15元120元专区",
    "m男女服装厂家批发1060元专区",
    "m男女首饰厂家批发1元50元专区",
    "m毛绒娃娃厂家批发30元120元专区",
    "mDVD高清光盘厂家批发35元6元专区",
    "m山寨手机厂家批发1元200元专区",
    "m品牌手机200元7600元专区",
    "m男女童装5元",
    "m男装12元",
    "m女装15元",
    "M手机号码",
    "m水电缴费",
};

} // namespace

std::span<const CommandEntry> commandTable()
{
    return kCommands;
}

const CommandEntry *findCommand(const QString &name)
{
    for (const CommandEntry &entry : kCommands) {
        if (name == QString::fromUtf8(entry.name))
            return &entry;
    }
    return nullptr;
}

bool isWholesaleEntry(const QString &name)
{
    for (const char *entry : kWholesale) {
        if (name == QString::fromUtf8(entry))
            return true;
    }
    return false;
}

CommandMenus buildCommandMenu(QMenuBar *bar)
{
    CommandMenus built;
    for (const CommandEntry &entry : kCommands) {
        const QString name = QString::fromUtf8(entry.name);
        const QString caption = QString::fromUtf8(entry.caption);
        QMenu *parent = entry.parent ? built.menus.value(QString::fromUtf8(entry.parent)) : nullptr;
        QAction *action = nullptr;
        if (entry.submenu) {
            // Parented to the window, so popup menus such as 托盘 outlive
            // their hidden place in the bar.
            auto *menu = new QMenu(caption, bar->parentWidget());
            menu->setObjectName(name);
            action = menu->menuAction();
            built.menus.insert(name, menu);
            if (parent)
                parent->addMenu(menu);
            else
                bar->addMenu(menu);
        } else {
            action = new QAction(caption, bar->parentWidget());
            if (parent)
                parent->addAction(action);
            else
                bar->addAction(action);
        }
        action->setObjectName(name);
        action->setVisible(entry.shown);
        built.actions.insert(name, action);
    }
    return built;
}
