#pragma once

#include <QString>
#include <QWidget>

class AccountPanelHost;

// The account and service windows (Form4 ... Form49): one window class driven
// by a table, each window one browser filling it.
// Returns a new, not yet shown window for a form name of the table ("Form4"),
// or nullptr for a name the table does not hold.
QWidget *createAccountPage(const QString &formName, AccountPanelHost *host,
                           QWidget *parent = nullptr);
