#pragma once

#include "orders/storeindexes.h"

#include <functional>

class QWidget;

// Builds the order history's missing indexes on a worker thread, the event
// loop going on meanwhile, then calls done with what came of it on this
// thread (not when context is gone by then). Once the build has taken longer
// than a glance, a busy dialog over parent (a window of its own when null)
// says why; with showDialog false there is none, as nobody is at the window.
void buildStoreIndexes(const OrderDatabase &database, QWidget *parent, const QString &title,
                       bool showDialog, QObject *context,
                       std::function<void(const IndexBuild &)> done);

// What the agent is told of a failed build: why, and that no order is lost.
QString indexBuildFailureText(const IndexBuild &build);
