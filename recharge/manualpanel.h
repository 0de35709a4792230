#pragma once

#include "orders/rechargeorder.h"
#include "recharge/manualrecharge.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

class Browser;
class NumberReadOut;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class Transfer;

// The manual recharge panel (the frame "手工充值"): business, product, amount and
// number typed at the counter, handed to the order intake and to submission.
// Its businesses and products come through the hidden browser sgcz.
class ManualRechargePanel : public QWidget
{
    Q_OBJECT
public:
    // 插入新订单 of the order intake: true when the order was stored.
    using InsertOrder = std::function<bool(const NewOrder &order)>;
    // 充值订单请求 of order submission, with the source kind.
    using SubmitOrders = std::function<void(int orderType)>;
    // 判断业务名称 of the catalogue: product, amount, source -> CatalogueMatch or nothing.
    using Matcher = std::function<std::optional<CatalogueMatch>(
        const QString &productText, const QString &amountText, int source)>;

    // Without a matcher, an order the catalogue does not know is told only by
    // the intake's refusal.
    ManualRechargePanel(InsertOrder insert, SubmitOrders submit, Matcher matcher = {},
                        QWidget *parent = nullptr);
    ~ManualRechargePanel() override;

    // Starts the business list on sgcz, with the session's key and machine id.
    void loadBusinesses();

    Browser *sgcz() const { return m_sgcz; }
    Transfer *inet3() const { return m_inet3; }
    NumberReadOut *readOut() const { return m_readOut; }

    // The product table of the business loaded last.
    const QList<ManualProduct> &products() const { return m_products; }

public slots:
    // Submission enables cz again once the answer of a manual order has been handled.
    void setRechargeEnabled(bool enabled);
    // While a manual order is out, cz stays disabled, whatever is chosen.
    void setSubmissionBusy(bool busy);
    // Label14 shows the quick balance query's progress and result.
    void setQuickQueryText(const QString &text);

signals:
    // btn余额查询 was pressed for this number.
    void balanceQueryRequested(const QString &number);
    // Label14 was clicked: the number and its region as Label13 shows it.
    void quickQueryRequested(const QString &number, const QString &region);
    // Command2 "售前打印": a receipt of the order being typed, before it is placed.
    void preSaleReceiptRequested(const QString &number, const QString &product,
                                 const QString &amount);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onPageLoaded(const QString &url);
    void readProducts();
    void readBusinesses();
    void chooseBusiness();
    void loadProducts(const QString &business);
    void chooseProduct();
    void chooseAmount();
    void clickPurchasePrice();
    void showPurchasePrice(const QString &cost);
    std::optional<QString> chosenCost() const;
    std::optional<QString> costAt(int numIndex) const;
    void onNumberChanged(const QString &text);
    void requestRegion(const QString &number);
    void onRegionAnswer(int state);
    void setRegionText(const QString &text);
    void recharge();

    InsertOrder m_insert;
    SubmitOrders m_submit;
    Matcher m_matcher;

    QComboBox *m_yw;
    QComboBox *m_ywxz;
    QComboBox *m_num;
    QLabel *m_unit;
    QLineEdit *m_haoma;
    QLabel *m_picture1;
    QLabel *m_label9;
    QComboBox *m_xiequ;
    QLabel *m_label8;
    QLabel *m_label13;
    QLabel *m_label14;
    QPushButton *m_cz;
    QPushButton *m_balance;
    QPushButton *m_command2;
    QListWidget *m_listqh;
    Browser *m_sgcz;
    Transfer *m_inet3;
    NumberReadOut *m_readOut;

    QList<ManualProduct> m_products;
    QStringList m_costs; // of the amounts of num, entry 1 on; entry 0 is the prompt
    QString m_previousNumber;
    QString m_regionPrefix;  // the 7 digits Inet3 is asking about
    QString m_pendingPrefix; // asked for while Inet3 was busy
    bool m_submissionBusy = false;
};
