#pragma once

#include "app/ui/accountpanelhost.h"
#include "app/ui/commandmenu.h"

#include <QEventLoopLocker>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class Browser;
class CatalogueController;
class TitleGeneratorPanel;
class OrderIntake;
class Form24;
class PrintHost;
class OrderLists;
class OrderStore;
class QListView;
class QListWidget;
class ManualRechargePanel;
class AgentSession;
class Desk;
class TrayAlertSink;
struct RechargeOrder;
class BalanceExchange;
class ShopMonitorView;
struct SentCard;
class StatusTracker;
class SubmissionController;
class TrayController;
class iButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QCheckBox;
class QStatusBar;
class QTabWidget;
class QTimer;

inline const QString kAppIcon = QStringLiteral(":/buttons/appicon.png");
inline const QString kTrayQuestion = QStringLiteral("是否最小化到托盘");
// The sent-card row's state while the messenger hand-over runs, and after it failed.
inline const QString kHandOverWaiting = QStringLiteral("旺旺发送中");
inline const QString kHandOverFailed = QStringLiteral("旺旺发送失败");
// A Taobao code shipped while 旺旺发卡密 was off: nobody sent it.
inline const QString kHandOverOff = QStringLiteral("未发（旺旺发卡密未开）");

// The main window: account panel, notice, command menu, toolbar, the
// transaction-password unlock, tray and exit. The business panels plug into
// it; it keeps none of their logic. It is given the recharge engine of the
// login and shows it.
class Form2 : public QMainWindow, public AccountPanelHost
{
    Q_OBJECT
public:
    // Receipts print through the print host; without one, through the
    // preview and printer dialogs.
    explicit Form2(std::unique_ptr<AgentSession> session, PrintHost *printHost = nullptr,
                   QWidget *parent = nullptr);
    ~Form2() override;

    void load();
    // Set by the login from its answer; not kept in the session record.
    void setCommissions(const QString &sales, const QString &bonus);

    void setBalanceText(const QString &text) override;
    void refreshAccountFigures() override;
    bool supplyMode() const override { return m_supplyMode; }

    // The gate of most commands: open once the transaction password has been
    // accepted. Frame4 is hidden explicitly, so this holds in the tray too.
    bool unlocked() const;
    bool exiting() const { return m_exiting; }

    // What choosing a menu entry does, the gate included.
    void runCommand(const QString &name);
    // The later panels connect their entries here; replaces a previous one.
    void setCommandHandler(const QString &name, std::function<void()> handler);
    QAction *commandAction(const QString &name) const { return m_commands.actions.value(name); }
    QMenu *commandMenu(const QString &name) const { return m_commands.menus.value(name); }

    // Opens a modeless window kept under the name, or brings the open one forward.
    QWidget *openWindow(const QString &name, const std::function<QWidget *()> &create);
    QWidget *openedWindow(const QString &name) const { return m_windows.value(name); }

    // 退出 and 退出系统.
    void exitClient();
    // How long an exit waits for the answers of orders still out before it
    // unloads anyway; by default a little past the transfer time-out, after
    // which each of them has ended by itself.
    void setExitWaitMs(int ms) { m_exitWaitMs = ms; }
    bool waitingForAnswers() const { return m_waitingForAnswers; }

    TrayController *tray() const { return m_tray; }
    QTabWidget *tabs() const { return m_sstab1; }
    OrderLists *orderLists() const { return m_orderLists; }
    ManualRechargePanel *manualPanel() const { return m_manualPanel; }
    AgentSession *session() const { return m_session.get(); }
    Desk *desk() const { return m_desk.get(); }
    // The receipt of an order found in the history, again, in Form24.
    void reprintReceipt(const RechargeOrder &order);
    ShopMonitorView *shopView() const { return m_shopView; }
    CatalogueController *catalogue() const;
    SubmissionController *submission() const;
    StatusTracker *statusTracker() const;
    OrderStore *orderStore() const;
    OrderIntake *orderIntake() const;

    // The pending-feedback queue List反馈; mode 1 adds the line at the end.
    void 待反馈编码(int mode, const QString &line);
    QLabel *statusPanel() const { return m_statusPanel; }
    // The second panel: shop progress and what went wrong.
    QLabel *statusPanel2() const { return m_statusPanel2; }

signals:
    // iButton2 empties the seller nickname before it starts the Taobao monitor.
    void sellerNickResetRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPanels();
    void buildToolbar(QWidget *parent);
    void installCommands();
    void openAccountPage(const QString &formName);
    void openExternal(const QString &url);
    void showWholesaleMessage();
    void closeEveryOtherWindow();
    // Starts waiting for the orders still out, once; false when none is.
    bool waitForAnswers();

    void wireSession();
    void wireShops();
    void setRefreshInterval();
    void showStatus(const QString &text);
    void openBalanceQuery(const QString &number);
    void quickBalanceQuery(const QString &number, const QString &region);
    void 卡密发送添加(const SentCard &card);
    // The messenger hand-over's outcome in the card's sent row (t6).
    void showHandOver(const QString &buyer, const QString &cardCode, const QString &state);
    // The receipt window, loaded for the receipt info text when it opens
    // (and, with reload, when it was open already).
    Form24 *openReceipt(bool reload);
    void 打印收据();
    void 售前打印(const QString &number, const QString &product, const QString &amount);
    void 加载配置();
    void 加载listview();
    void 获取商品信息();
    void 淘宝拍拍发货();
    void 加载状态栏();

    void onNoticeLoaded(const QString &url);
    void submitTradePassword();
    void onTradePasswordPage(const QString &url);

    // The engine goes before the window's widgets, which only show it.
    std::unique_ptr<AgentSession> m_session;
    std::unique_ptr<TrayAlertSink> m_alertSink;
    std::unique_ptr<Desk> m_desk;
    std::unique_ptr<PrintHost> m_ownPrintHost;
    PrintHost *m_printHost;
    // Held from a receipt's request to the load of the receipt window.
    QString m_receiptInfo;
    CommandMenus m_commands;
    QHash<QString, std::function<void()>> m_handlers;
    QHash<QString, QPointer<QWidget>> m_windows;
    QHash<int, iButton *> m_toolbar;

    QLabel *m_jusername = nullptr;
    QLabel *m_userid1 = nullptr;
    QLabel *m_label4 = nullptr;
    QLabel *m_jprice = nullptr;
    QLabel *m_label11 = nullptr;
    QLabel *m_label33 = nullptr;
    QLabel *m_label32 = nullptr;
    QLabel *m_label7 = nullptr;

    QWidget *m_manualFrame = nullptr; // the manual panel and the trade counter
    ManualRechargePanel *m_manualPanel = nullptr;
    QLabel *m_label3 = nullptr;

    QGroupBox *m_frame4 = nullptr;
    QLabel *m_label10 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QCheckBox *m_check1 = nullptr; // 旺旺发卡密: the messenger hand-over on or off

    QTabWidget *m_sstab1 = nullptr;
    OrderLists *m_orderLists = nullptr;
    TitleGeneratorPanel *m_titleGenerator = nullptr;
    QListWidget *m_list反馈 = nullptr;
    QListView *m_list2 = nullptr; // paid shop orders no product matched: not delivered
    ShopMonitorView *m_shopView = nullptr;
    QLabel *m_statusPanel2 = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_statusPanel = nullptr;

    Browser *m_notice = nullptr;
    Browser *m_webckm = nullptr;
    Browser *m_webjymm = nullptr;
    Browser *m_webww = nullptr; // opens the messenger's dispatch link
    QTimer *m_timer = nullptr;
    TrayController *m_tray = nullptr;
    BalanceExchange *m_winsock1 = nullptr; // the quick balance query of Label14

    bool m_exiting = false;
    bool m_supplyMode = false;
    int m_exitWaitMs = -1;
    bool m_waitingForAnswers = false;
    bool m_exitWaitOver = false;

    // The window hides in the tray while other windows may close: the client
    // runs on as long as this window exists, not as long as one is visible.
    std::unique_ptr<QEventLoopLocker> m_keepRunning;
};
