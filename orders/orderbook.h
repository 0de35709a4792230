#pragma once

#include "orders/rechargeorder.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QMultiHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The note of an order that could not be stored: such an order is never
// submitted, since after a restart nothing would remember it.
inline const QString kNotStoredText = QStringLiteral("保存失败,不会充值");
// Added to the status text when the store could not take the status shown.
inline const QString kStatusNotSavedSuffix = QStringLiteral("（状态未能保存）");

// One order of the working set.
struct OrderEntry
{
    RechargeOrder order;
    // What the order shows in place of its status text: the platform's
    // message for a refused order, or why an order is not sent or its
    // outcome not known. An order with a note is never sent by a scan.
    QString note;
    bool alert = false;          // the note is a warning
    bool statusNotSaved = false; // the store did not take the status shown

    QString statusText() const;
};

// An order's key: its random number, else its order number.
QString orderKey(const RechargeOrder &order);

// The orders the client is working on, newest on top: the state that
// submission, status tracking, the intake and delivery read and change, and
// that the order lists only show (OrderListModel). One entry per order number.
//
// A list model: a row is an order, newest first; its text is the order
// number, and the roles give the entry, the order number and the order type.
class OrderBook : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role
    {
        OrderTypeRole = Qt::UserRole + 1, // int
        OrderNoRole,                      // QString
        EntryRole,                        // OrderEntry
    };

    explicit OrderBook(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Puts the order on top, or replaces it where it stands when its number is
    // listed already; any note goes. Storing it is the ledger's step.
    bool 显示订单(const RechargeOrder &order);
    bool remove(const QString &orderNo);

    // Row of the order, or -1.
    int rowOf(const QString &orderNo) const;
    const OrderEntry &at(int row) const { return m_entries.at(positionOf(row)); }
    std::optional<OrderEntry> entry(const QString &orderNo) const;

    // The orders of this type, from the top, that wait to be sent: status -2
    // and no note.
    QStringList waiting(int orderType) const;
    // The newest order with the ship number; empty when none.
    QString findByShipNo(const QString &shipNo) const;
    // The newest order with the recharge id, of any type; empty when none.
    QString findByRechargeId(const QString &rechargeId) const;

    // Changes of one order; an order number that is not listed changes nothing.
    // The note is cleared unless one is given.
    void setStatus(const QString &orderNo, OrderStatus status, const QString &note = {},
                   bool alert = false, bool statusNotSaved = false);
    // Only the note: the order keeps its status.
    void setNote(const QString &orderNo, const QString &note, bool alert);
    // The platform's answer: status, recharge id, card code (also the print mark).
    void setAnswer(const QString &orderNo, OrderStatus status, const QString &rechargeId,
                   const QString &cardCode, const QString &note, bool statusNotSaved);
    void setCardCode(const QString &orderNo, const QString &cardCode);

private:
    void changed(int row);
    // Rows count from the newest; entries are kept oldest first, so that a
    // new order leaves every indexed position where it was.
    qsizetype positionOf(int row) const { return m_entries.size() - 1 - row; }
    int rowOfPosition(qsizetype at) const { return int(m_entries.size() - 1 - at); }
    void addKeys(qsizetype at);
    void dropKeys(qsizetype at);
    // The row of the newest entry under the key that fits; -1 when none.
    int newest(const QMultiHash<QString, qsizetype> &hash, const QString &key,
               const std::function<bool(const RechargeOrder &)> &fits) const;

    QList<OrderEntry> m_entries; // oldest first
    QHash<QString, qsizetype> m_byOrderNo;
    QMultiHash<QString, qsizetype> m_byShipNo;
    QMultiHash<QString, qsizetype> m_byRechargeId;
};

// The texts of an order's numbers and time, as requests and the lists write them.
QString orderNumberText(double value);
QString orderTimeText(const QDateTime &time);
