#pragma once

#include <QHash>
#include <QString>
#include <span>

class QAction;
class QMenu;
class QMenuBar;

// One entry of the main window's command menu, as the window design stores it.
struct CommandEntry
{
    const char *name;    // objectName of the menu or action
    const char *caption; // exactly as stored, leading and trailing blanks included
    const char *parent;  // the submenu it sits in; nullptr for the menu bar
    bool shown;
    bool gated;   // acts only once the transaction password has been accepted
    bool submenu; // a QMenu rather than an action
};

// The whole menu in its order.
std::span<const CommandEntry> commandTable();
const CommandEntry *findCommand(const QString &name);

// The menus and actions built from the table, by control name. A submenu's
// own action (its entry in the menu above) is under the submenu's name too.
struct CommandMenus
{
    QHash<QString, QMenu *> menus;
    QHash<QString, QAction *> actions;
};
CommandMenus buildCommandMenu(QMenuBar *bar);

// The message of every wholesale entry.
inline const QString kWholesaleMessage = QStringLiteral("您无权购买，请升级。");
bool isWholesaleEntry(const QString &name);
