#pragma once

#include "orders/rechargeorder.h"
#include "sim/platformsim.h"

#include <QHash>
#include <QList>
#include <QString>

// One paid shop order of a burst, as the client will know it.
struct BurstOrder
{
    int type = 1;   // 1 Taobao, 2 Paipai
    QString key;    // the order number the recharge request carries
    QString shipId; // what the shop's consign or mark takes
    bool card = false;
};

// Puts n paid orders into the simulated shops at once: Taobao and Paipai in
// turn, phone credit, game points and card products that the default
// catalogue matches, no fault on any of them.
QList<BurstOrder> offerBurst(sim::PlatformSim &sim, int n);

// Every order's status in an SQLite order file, read on a connection of its
// own as another program would (the day's list shows only the newest 50).
QHash<QString, OrderStatus> storedStatuses(const QString &file);

// How often the shop was asked to mark the order shipped.
int shopMarks(const sim::PlatformSim &sim, const BurstOrder &order);

// QCOMPARE's text for a status: its number and name.
char *toString(OrderStatus status);
