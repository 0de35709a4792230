#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWebEngineView>
#include <functional>
#include <optional>

class QWebEnginePage;
class QWidget;

// The embedded browser. When a page has loaded, its title, body and form
// values are read by script, and only then documentComplete is emitted, so
// that handlers read them synchronously.
class Browser : public QObject
{
    Q_OBJECT
public:
    explicit Browser(QObject *parent = nullptr);
    ~Browser() override;

    // A view that shows the page to the agent; without one the browser is hidden.
    QWebEngineView *createView(QWidget *parent);
    QWebEngineView *view() const { return m_view; }
    QWebEnginePage *page() const { return m_page; }

    void navigate(const QString &url);

    // Of the last completed page.
    QString title() const { return m_title; }
    QString bodyHtml() const { return m_body; }
    QString url() const { return m_url; }
    bool loadSucceeded() const { return m_loadOk; }
    bool isLoading() const { return m_loading; }

    // Form fields by element id: read from the snapshot, written to the page
    // and to the snapshot.
    QString elementValue(const QString &id) const { return m_values.value(id); }
    bool hasElementValue(const QString &id) const { return m_values.contains(id); }
    // Reads the form fields again from the page as it is now (the agent may
    // have typed into it since it loaded), then calls done in context. Not
    // called when a newer navigation starts first.
    void refreshElementValues(QObject *context, std::function<void()> done);
    void setElementValue(const QString &id, const QString &text);
    void clickElement(const QString &id);

    // The serialisation the platform's pages were written for.
    static QString serializerScript();
    // The values of the page's form fields by element id.
    static QString valuesScript();

signals:
    void documentComplete(const QString &url);
    // A page script closes its window; set *cancel to keep the browser.
    void windowClosing(bool isChildWindow, bool *cancel);

private:
    void onLoadFinished(bool ok);

    QWebEnginePage *m_page = nullptr;
    QPointer<QWebEngineView> m_view; // owned by the window it sits on
    QString m_title;
    QString m_body;
    QString m_url;
    QHash<QString, QString> m_values;
    bool m_loadOk = false;
    bool m_loading = false;
    quint64 m_generation = 0;
    bool m_inFlight = false;        // between a load's start and its end
    std::optional<QUrl> m_deferred; // navigated to while a load was in flight
};
