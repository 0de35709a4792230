#pragma once

#include "shop/shopmonitor.h"

#include <QObject>
#include <QWidget>

class Browser;
class QCheckBox;
class QLabel;
class QLineEdit;
class QStackedLayout;
class QTabWidget;

// The shop settings window: two rating options and their texts. Nothing
// keeps them, and nothing rates buyers yet.
class Form30 : public QWidget
{
    Q_OBJECT
public:
    explicit Form30(const QString &appTitle, QWidget *parent = nullptr);
};

// What the main window shows of the shop monitor: the shops' browsers Webtb
// and Webpp, stacked with the tab control SSTab1 so that a start brings the
// shop's page to the front for the seller's login, and the labels Label16 to
// Label19.
class ShopMonitorView : public QObject
{
    Q_OBJECT
public:
    // tabs: SSTab1, taken into the stack; labelParent holds the four labels.
    ShopMonitorView(ShopMonitor &monitor, QTabWidget *tabs, QWidget *labelParent,
                    QObject *parent = nullptr);

    // The widget that takes SSTab1's place in the window's layout.
    QWidget *area() const { return m_area; }
    QWidget *labels() const { return m_labels; }
    Browser *webtb() const { return m_webtb; }
    Browser *webpp() const { return m_webpp; }
    // What stands in front: SSTab1, Webtb's page or Webpp's page.
    QWidget *front() const;

    static QString labelText(ShopMonitor::State state, const QString &shown);

private:
    void show(QLabel *label, ShopMonitor::State state);

    ShopMonitor &m_monitor;
    QWidget *m_area;
    QStackedLayout *m_stack;
    QTabWidget *m_tabs;
    QWidget *m_labels;
    QLabel *m_label18;
    QLabel *m_label19;
    Browser *m_webtb;
    Browser *m_webpp;
    QWidget *m_webtbView;
    QWidget *m_webppView;
};
