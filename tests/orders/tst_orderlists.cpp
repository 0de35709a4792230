// The order lists offscreen, over the order book: rows placed and filled by
// key, their colours, the copy commands against the real clipboard.
#include "orders/orderlists.h"
#include "tests/support/listedcells.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QtTest>

namespace {

RechargeOrder order(int type, const QString &account, OrderStatus status = OrderStatus::Waiting)
{
    RechargeOrder o;
    o.orderType = type;
    o.rechargeAccount = account;
    o.productName = QStringLiteral("移动话费30元");
    o.salePrice = 29.4;
    o.quantity = 30;
    o.rechargeTime = QDateTime(QDate(2026, 12, 10), QTime(9, 5, 7));
    o.buyerNick = QStringLiteral("买家'小王");
    o.status = status;
    o.orderNo = QStringLiteral("TB-") + account;
    o.shipNo = QStringLiteral("S1001");
    o.platformProduct = QStringLiteral("移动话费");
    o.actualQuantity = QStringLiteral("1");
    o.queryArea = QStringLiteral("北京移动");
    return o;
}

} // namespace

class TestOrderLists : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void columns_data();
    void columns();
    void placement_data();
    void placement();
    void cellsByKey();
    void statusColours_data();
    void statusColours();
    void notStoredOrder();
    void lookupsFollowTheBook();
    void listsFollowTheBook_data();
    void listsFollowTheBook();
    void listOutlivesTheBook();
    void copyCardCode_data();
    void copyCardCode();
    void copyCardFromTheMenu();
    void copyOrder_data();
    void copyOrder();
    void rightClickOpensTheOrderMenu();

private:
    void click(KeyedListView *list, int row);
    bool show(const RechargeOrder &o) { return m_book->显示订单(o); }

    std::unique_ptr<OrderBook> m_book;
    std::unique_ptr<QWidget> m_window;
    OrderLists *m_lists = nullptr;
    QAction *m_copyCard = nullptr;
    QMenu *m_menu = nullptr;
};

void TestOrderLists::init()
{
    m_book = std::make_unique<OrderBook>();
    m_window = std::make_unique<QWidget>();
    m_window->resize(900, 400);
    m_lists = new OrderLists(*m_book, m_window.get());
    m_menu = new QMenu(m_window.get());
    m_menu->setObjectName(QStringLiteral("打印"));
    m_copyCard = m_menu->addAction(QStringLiteral("复制卡密"));
    m_copyCard->setObjectName(QStringLiteral("m复制卡密"));
    m_lists->setCopyCardAction(m_copyCard);
    m_lists->setOrderMenu(m_menu);
    m_lists->加载listview();
    QApplication::clipboard()->setText(QStringLiteral("before"));
}

void TestOrderLists::cleanup()
{
    m_window.reset();
    m_book.reset();
}

void TestOrderLists::click(KeyedListView *list, int row)
{
    list->show();
    const QRect rect = list->visualRect(list->cellIndex(row, QStringLiteral("t1")));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

void TestOrderLists::columns_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QStringList>("hidden");

    const QStringList orderKeys = {"t1", "t2",  "t3",  "t4",  "t5",  "t6",  "t7",  "t11", "t8",
                                   "t9", "t10", "t12", "t13", "t14", "t15", "t16", "t17"};
    const QStringList hidden = {"t4", "t8", "t9", "t10", "t12", "t13", "t14", "t15", "t16", "t17"};
    QStringList headers = {"充值号码", "充值业务",  "售价",     "数量",     "充值时间", "买家昵称",
                           "充值状态", "卡密 复制", "充值编号", "打印",     "随机数",   "订单编号",
                           "发货编号", "平台业务",  "服务区",   "实际数量", "查询地区"};
    QTest::newRow("ListView7") << "ListView7" << orderKeys << headers << hidden;
    headers[5] = QStringLiteral("买家号码");
    QTest::newRow("ListView8") << "ListView8" << orderKeys << headers << hidden;
    QTest::newRow("ListViewplist")
        << "ListViewplist" << QStringList{"list", "name", "price", "qu", "value"}
        << QStringList{"类别", "名称", "单价", "区号", "价格"} << QStringList{};
    QTest::newRow("ListView2") << "ListView2"
                               << QStringList{"t1", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "t9"}
                               << QStringList{"关键字",  "卡密 / 共有几条记录",
                                              "数量",    "买家昵称",
                                              "平台",    "状态",
                                              "时间",    "来源",
                                              "订单编号"}
                               << QStringList{"t8", "t9"};
}

void TestOrderLists::columns()
{
    QFETCH(QString, list);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, headers);
    QFETCH(QStringList, hidden);
    auto *view = m_window->findChild<KeyedListView *>(list);
    QVERIFY(view);
    QCOMPARE(view->model()->columnCount(), keys.size());
    for (int i = 0; i < keys.size(); ++i) {
        QCOMPARE(view->column(keys[i]), i);
        QCOMPARE(view->model()->headerData(i, Qt::Horizontal).toString(), headers[i]);
        QCOMPARE(view->isColumnHidden(i), hidden.contains(keys[i]));
    }
}

void TestOrderLists::placement_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("list");
    QTest::newRow("manual") << 0 << "ListView7";
    QTest::newRow("Taobao") << 1 << "ListView7";
    QTest::newRow("Paipai") << 2 << "ListView8";
}

void TestOrderLists::placement()
{
    QFETCH(int, type);
    QFETCH(QString, list);
    auto *view = m_window->findChild<KeyedListView *>(list);
    auto *other = m_lists->listFor(type == 2 ? 0 : 2);
    QVERIFY(show(order(type, QStringLiteral("13800000001"))));
    QVERIFY(show(order(type, QStringLiteral("13800000002"))));
    QCOMPARE(view->rowCount(), 2);
    QCOMPARE(other->rowCount(), 0);
    // The newer row stands first.
    QCOMPARE(view->text(0, QStringLiteral("t1")), QStringLiteral("13800000002"));
    QCOMPARE(view->text(1, QStringLiteral("t1")), QStringLiteral("13800000001"));
    QCOMPARE(view->data(0, QStringLiteral("t1"), OrderBook::OrderTypeRole).toInt(), type);
    // An order number listed again is the same order: replaced where it stands.
    RechargeOrder again = order(type, QStringLiteral("13800000001"), OrderStatus::Recharged);
    QVERIFY(show(again));
    QCOMPARE(view->rowCount(), 2);
    QCOMPARE(view->text(1, QStringLiteral("t7")), QStringLiteral("充值成功"));
}

void TestOrderLists::cellsByKey()
{
    RechargeOrder o = order(1, QStringLiteral("13800000001"), OrderStatus::Recharged);
    o.orderNo = QStringLiteral("TB1001");
    o.cardCode = QStringLiteral("1234-5678");
    o.rechargeId = QStringLiteral("R77");
    o.printMark = QStringLiteral("1234-5678");
    o.serverArea = QStringLiteral("电信一区");
    QVERIFY(show(o));
    o.rechargeAccount = QStringLiteral("13800000002");
    o.orderNo = QStringLiteral("TB1002");
    o.randomNo = QStringLiteral("RND9");
    QVERIFY(show(o));

    KeyedListView *list = m_lists->listView7();
    const int withRandom = 0;
    const int plain = 1;
    const QList<QPair<QString, QString>> cells = {
        {"t1", "13800000001"},
        {"t2", "移动话费30元"},
        {"t3", "29.4"},
        {"t4", "30"},
        {"t5", "2026-12-10 09:05:07"},
        {"t6", "买家'小王"},
        {"t7", "充值成功"},
        {"t11", "1234-5678"},
        {"t8", "R77"},
        {"t9", "1234-5678"},
        {"t10", "TB1001"},
        {"t12", "TB1001"},
        {"t13", "S1001"},
        {"t14", "移动话费"},
        {"t15", "电信一区"},
        {"t16", "1"},
        {"t17", "北京移动"},
    };
    for (const auto &[key, text] : cells)
        QVERIFY2(list->text(plain, key) == text, qPrintable(key));
    // t10 shows the random number when there is one.
    QCOMPARE(list->text(withRandom, QStringLiteral("t10")), QStringLiteral("RND9"));
    QCOMPARE(list->findRow(QStringLiteral("t8"), QStringLiteral("R77")), withRandom);
    QCOMPARE(list->findRow(QStringLiteral("t8"), QStringLiteral("none")), -1);
    // What the engine writes into the book, the list shows.
    m_book->setStatus(QStringLiteral("TB1001"), OrderStatus::Accepted);
    QCOMPARE(list->model()->index(plain, 6).data().toString(), QStringLiteral("等待服务器充值"));
}

void TestOrderLists::statusColours_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour"); // invalid: the list's own

    QTest::newRow("-2") << -2 << "等待提交" << QColor();
    QTest::newRow("-1") << -1 << "正在提交" << QColor();
    QTest::newRow("0") << 0 << "等待服务器充值" << QColor();
    QTest::newRow("1 blue") << 1 << "充值成功" << QColor(0, 0, 255);
    QTest::newRow("2 red") << 2 << "充值失败,已经退款" << QColor(255, 0, 0);
    QTest::newRow("3") << 3 << "充值成功,已经发货" << QColor();
    QTest::newRow("4") << 4 << "提交失败" << QColor();
    QTest::newRow("unknown") << 9 << "" << QColor();
}

void TestOrderLists::statusColours()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    QFETCH(QColor, colour);
    QVERIFY(show(order(0, QStringLiteral("1"), statusFromNumber(status))));
    KeyedListView *list = m_lists->listView7();
    QCOMPARE(list->text(0, QStringLiteral("t7")), text);
    QCOMPARE(list->textColor(0, QStringLiteral("t7")), colour);
}

void TestOrderLists::lookupsFollowTheBook()
{
    // The engine finds an order by order number, ship number and recharge
    // id; each lookup must follow what the book holds now, newest first.
    OrderBook book;
    const auto show = [&](int type, const char *account, const char *shipNo,
                          const char *randomNo = "") {
        RechargeOrder o = order(type, QString::fromLatin1(account));
        o.shipNo = QString::fromLatin1(shipNo);
        o.randomNo = QString::fromLatin1(randomNo);
        QVERIFY(book.显示订单(o));
    };
    show(1, "A", "S1");
    show(2, "B", "S1"); // the same ship number in the other shop's list
    show(1, "C", "S2", "R9");
    QCOMPARE(book.findByShipNo(QStringLiteral("S1")), QStringLiteral("TB-B"));

    book.setAnswer(QStringLiteral("TB-A"), OrderStatus::Accepted, QStringLiteral("RID1"), {}, {},
                   false);
    book.setAnswer(QStringLiteral("TB-B"), OrderStatus::Accepted, QStringLiteral("RID3"), {}, {},
                   false);
    QCOMPARE(book.findByRechargeId(QStringLiteral("RID1")), QStringLiteral("TB-A"));
    QCOMPARE(book.findByRechargeId(QStringLiteral("RID3")), QStringLiteral("TB-B")); // any type
    QCOMPARE(book.findByRechargeId(QString()), QString());
    book.setAnswer(QStringLiteral("TB-A"), OrderStatus::Accepted, QStringLiteral("RID2"), {}, {},
                   false);
    QCOMPARE(book.findByRechargeId(QStringLiteral("RID1")), QString());
    QCOMPARE(book.findByRechargeId(QStringLiteral("RID2")), QStringLiteral("TB-A"));

    // Shown again with another ship number: found by the new one only, in its place.
    show(1, "A", "S3");
    QCOMPARE(book.rowOf(QStringLiteral("TB-A")), 2);
    QCOMPARE(book.findByShipNo(QStringLiteral("S3")), QStringLiteral("TB-A"));
    QCOMPARE(book.findByShipNo(QStringLiteral("S1")), QStringLiteral("TB-B"));
    QCOMPARE(book.findByRechargeId(QStringLiteral("RID2")), QString());

    // Taken out: the rows below move up and are still found.
    QVERIFY(book.remove(QStringLiteral("TB-B")));
    QCOMPARE(book.findByShipNo(QStringLiteral("S1")), QString());
    QCOMPARE(book.rowOf(QStringLiteral("TB-C")), 0);
    QCOMPARE(book.rowOf(QStringLiteral("TB-A")), 1);
    QCOMPARE(book.at(1).order.orderNo, QStringLiteral("TB-A"));
    QCOMPARE(listedText(book, 0, QStringLiteral("t13")), QStringLiteral("S2"));
    QCOMPARE(book.waiting(1), (QStringList{QStringLiteral("TB-C"), QStringLiteral("TB-A")}));
}

void TestOrderLists::listsFollowTheBook_data()
{
    // A step "T A" shows the order of account A as type T (again: replaced
    // where it stands), "-A" takes it out of the book.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("list7"); // accounts from the top
    QTest::addColumn<QStringList>("list8");

    QTest::newRow("newest on top") << QStringList{"1 A", "2 B", "0 C", "1 D"}
                                   << QStringList{"D", "C", "A"} << QStringList{"B"};
    QTest::newRow("taken out") << QStringList{"1 A", "2 B", "1 C", "-A"} << QStringList{"C"}
                               << QStringList{"B"};
    QTest::newRow("the other list's taken out") << QStringList{"1 A", "2 B", "1 C", "-B", "2 D"}
                                                << QStringList{"C", "A"} << QStringList{"D"};
    QTest::newRow("shown again as Paipai")
        << QStringList{"1 A", "1 B", "1 C", "2 B"} << QStringList{"C", "A"} << QStringList{"B"};
    QTest::newRow("and back, where it stood")
        << QStringList{"1 A", "2 B", "1 C", "0 B"} << QStringList{"C", "B", "A"} << QStringList{};
    QTest::newRow("shown again, same list")
        << QStringList{"1 A", "1 B", "0 A"} << QStringList{"B", "A"} << QStringList{};
}

void TestOrderLists::listsFollowTheBook()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, list7);
    QFETCH(QStringList, list8);
    OrderBook book;
    OrderListModel seven(book, 7);
    OrderListModel eight(book, 8);
    // Every change must reach the views as the rows and signals they expect.
    QAbstractItemModelTester tester7(&seven,
                                     QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester tester8(&eight,
                                     QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const QString &step : std::as_const(steps)) {
        if (step.startsWith(u'-'))
            QVERIFY(book.remove(QStringLiteral("TB-") + step.mid(1)));
        else
            QVERIFY(book.显示订单(order(step.left(1).toInt(), step.mid(2))));
    }
    for (const auto &[list, expected] : {std::pair{&seven, list7}, std::pair{&eight, list8}}) {
        QStringList shown;
        for (int row = 0; row < list->rowCount(); ++row) {
            shown << list->text(row, QStringLiteral("t1"));
            const int bookRow = list->mapToBook(row);
            QCOMPARE(list->mapFromBook(bookRow), row);
            QCOMPARE(book.at(bookRow).order.rechargeAccount, shown.last());
        }
        QCOMPARE(shown, expected);
        // Followed change by change, as built afresh.
        const OrderListModel fresh(book, list->list());
        QCOMPARE(fresh.rowCount(), list->rowCount());
        for (int row = 0; row < fresh.rowCount(); ++row)
            QCOMPARE(fresh.mapToBook(row), list->mapToBook(row));
    }
    for (int bookRow = 0; bookRow < book.rowCount(); ++bookRow) {
        const bool paipai = book.at(bookRow).order.orderType == 2;
        QCOMPARE(seven.mapFromBook(bookRow) >= 0, !paipai);
        QCOMPARE(eight.mapFromBook(bookRow) >= 0, paipai);
    }
}

void TestOrderLists::listOutlivesTheBook()
{
    // The main window's lists are torn down after the session and its book.
    auto book = std::make_unique<OrderBook>();
    QVERIFY(book->显示订单(order(1, QStringLiteral("A"))));
    OrderListModel list(*book, 7);
    QCOMPARE(list.rowCount(), 1);
    book.reset();
    QCOMPARE(list.rowCount(), 0);
    QCOMPARE(list.text(0, QStringLiteral("t1")), QString());
}

void TestOrderLists::notStoredOrder()
{
    QVERIFY(show(order(1, QStringLiteral("B"))));
    // An order the store refused, as the ledger lists it: it must never look
    // like an order waiting to be sent.
    QVERIFY(show(order(1, QStringLiteral("C"))));
    m_book->setNote(QStringLiteral("TB-C"), kNotStoredText, true);
    KeyedListView *list = m_lists->listView7();
    QCOMPARE(list->text(0, QStringLiteral("t7")), kNotStoredText);
    QCOMPARE(list->textColor(0, QStringLiteral("t7")), QColor(255, 0, 0));
    QCOMPARE(list->findRow(QStringLiteral("t1"), QStringLiteral("C")), 0);
    QVERIFY(m_book->waiting(1).contains(QStringLiteral("TB-B")));
    QVERIFY(!m_book->waiting(1).contains(QStringLiteral("TB-C")));
}

void TestOrderLists::copyCardCode_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("tag");
    QTest::newRow("ListView7 with a code") << 1 << "CARD-1 2"
                                           << "CARD-1 2"
                                           << "1";
    QTest::newRow("ListView8 with a code") << 2 << "PP-9"
                                           << "PP-9"
                                           << "2";
    QTest::newRow("no code: clipboard kept") << 1 << ""
                                             << "before"
                                             << "1";
}

void TestOrderLists::copyCardCode()
{
    QFETCH(int, type);
    QFETCH(QString, code);
    QFETCH(QString, clipboard);
    QFETCH(QString, tag);
    RechargeOrder o = order(type, QStringLiteral("13800000001"), OrderStatus::Recharged);
    o.cardCode = code;
    QVERIFY(show(o));
    KeyedListView *list = m_lists->listFor(type);
    click(list, 0);
    QCOMPARE(list->selectedRow(), 0);
    QCOMPARE(QApplication::clipboard()->text(), clipboard);
    QCOMPARE(m_copyCard->data().toString(), tag);
}

void TestOrderLists::copyCardFromTheMenu()
{
    RechargeOrder taobao = order(1, QStringLiteral("A"), OrderStatus::Recharged);
    taobao.cardCode = QStringLiteral("TB-CODE");
    RechargeOrder paipai = order(2, QStringLiteral("B"), OrderStatus::Recharged);
    paipai.cardCode = QStringLiteral("PP-CODE");
    QVERIFY(show(taobao));
    QVERIFY(show(paipai));
    m_lists->listView7()->selectRow(0);
    m_lists->listView8()->selectRow(0);

    // No list clicked yet: the tag is empty and nothing is copied.
    m_copyCard->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));

    click(m_lists->listView8(), 0);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    m_copyCard->trigger(); // the list clicked last
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("PP-CODE"));
}

void TestOrderLists::copyOrder_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("select");
    QTest::addColumn<QString>("clipboard");
    QTest::newRow("Taobao tab")
        << "淘宝店铺监控" << true
        << "TB-ACC 移动话费30元 29.4 30 2026-12-10 09:05:07 买家'小王 等待提交";
    QTest::newRow("Paipai tab")
        << "拍拍店铺监控 " << true
        << "PP-ACC 移动话费30元 29.4 30 2026-12-10 09:05:07 买家'小王 等待提交";
    QTest::newRow("another tab reads ListView8")
        << "卡密自动发送" << true
        << "PP-ACC 移动话费30元 29.4 30 2026-12-10 09:05:07 买家'小王 等待提交";
    QTest::newRow("no selected row") << "淘宝店铺监控" << false << "";
}

void TestOrderLists::copyOrder()
{
    QFETCH(QString, caption);
    QFETCH(bool, select);
    QFETCH(QString, clipboard);
    QVERIFY(show(order(1, QStringLiteral("TB-ACC"))));
    QVERIFY(show(order(2, QStringLiteral("PP-ACC"))));
    if (select) {
        m_lists->listView7()->selectRow(0);
        m_lists->listView8()->selectRow(0);
    }
    m_lists->复制订单(caption);
    QCOMPARE(QApplication::clipboard()->text(), clipboard);
}

void TestOrderLists::rightClickOpensTheOrderMenu()
{
    QVERIFY(show(order(1, QStringLiteral("A"))));
    KeyedListView *list = m_lists->listView7();
    m_window->show();
    list->resize(600, 300);
    list->show();
    emit list->customContextMenuRequested(
        list->visualRect(list->cellIndex(0, QStringLiteral("t1"))).center());
    QTRY_VERIFY(m_menu->isVisible());
    m_menu->hide();
}

QTEST_MAIN(TestOrderLists)
#include "tst_orderlists.moc"
