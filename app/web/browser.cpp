#include "app/web/browser.h"

#include "app/core/prompter.h"
#include "app/core/session.h"
#include "app/web/networkaccess.h"
#include "app/web/webprofile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QVariantList>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <utility>

namespace {

QString jsString(const QString &text)
{
    // A JSON array of one string is a valid JavaScript literal.
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

// Page scripts' alerts and questions go through the Prompter, so no hidden
// page can open a dialog that blocks the window or a test.
class BrowserPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptAlert(const QUrl &, const QString &msg) override
    {
        Prompter::instance().inform(SessionInfo().appTitle, msg);
    }
    bool javaScriptConfirm(const QUrl &, const QString &msg) override
    {
        return Prompter::instance().ask(SessionInfo().appTitle, msg);
    }
    bool javaScriptPrompt(const QUrl &, const QString &msg, const QString &defaultValue,
                          QString *result) override
    {
        const auto answer = Prompter::instance().input(SessionInfo().appTitle, msg, defaultValue);
        if (answer && result)
            *result = *answer;
        return answer.has_value();
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int,
                                  const QString &) override
    {}
};

} // namespace

Browser::Browser(QObject *parent) : QObject(parent)
{
    m_page = new BrowserPage(WebProfile::instance().profile(), this);
    connect(m_page, &QWebEnginePage::loadStarted, this, [this] { m_loading = true; });
    connect(m_page, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo &info) {
                // A load stopped by a newer navigation is not an answer: the
                // newer one reports.
                if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
                    m_inFlight = true;
                    return;
                }
                m_inFlight = false;
                if (m_deferred) {
                    // What finished is older than the newest navigation.
                    m_inFlight = true;
                    m_page->load(*std::exchange(m_deferred, std::nullopt));
                    return;
                }
                if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
                    onLoadFinished(true);
                else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus)
                    onLoadFinished(false);
            });
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, [this] {
        // Not cancelled, the browser goes away from its window, as the
        // embedded control did; the window itself stays, since the client's
        // windows decide for themselves whether a page may close them.
        bool cancel = false;
        emit windowClosing(false, &cancel);
        if (!cancel && m_view)
            m_view->hide();
    });
}

Browser::~Browser()
{
    // The view must not outlive the page it shows.
    if (m_view)
        m_view->setPage(nullptr);
}

QWebEngineView *Browser::createView(QWidget *parent)
{
    if (!m_view) {
        m_view = new QWebEngineView(parent);
        m_view->setObjectName(objectName());
        m_view->setPage(m_page);
    }
    return m_view;
}

void Browser::navigate(const QString &url)
{
    ++m_generation;
    m_loading = true;
    // WebEngine folds a navigation started during another load into that
    // load and reports one finish for both, so the newest address waits for
    // the running load to end and is loaded then.
    if (m_inFlight) {
        m_deferred = wireUrl(url);
        return;
    }
    m_inFlight = true;
    m_page->load(wireUrl(url));
}

void Browser::setElementValue(const QString &id, const QString &text)
{
    m_values.insert(id, text);
    m_page->runJavaScript(
        QStringLiteral("(function(){var e=document.getElementById(%1);if(e)e.value=%2;})();")
            .arg(jsString(id), jsString(text)));
}

void Browser::refreshElementValues(QObject *context, std::function<void()> done)
{
    const quint64 generation = m_generation;
    QPointer<Browser> self(this);
    QPointer<QObject> receiver(context);
    m_page->runJavaScript(valuesScript(), [self, receiver, generation,
                                           done = std::move(done)](const QVariant &result) {
        if (!self || !receiver || self->m_generation != generation)
            return;
        self->m_values.clear();
        const QVariantMap values = result.toMap();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            self->m_values.insert(it.key(), it.value().toString());
        done();
    });
}

void Browser::clickElement(const QString &id)
{
    m_page->runJavaScript(
        QStringLiteral("(function(){var e=document.getElementById(%1);if(e)e.click();})();")
            .arg(jsString(id)));
}

void Browser::onLoadFinished(bool ok)
{
    if (!ok) {
        // No script runs on the browser's error page; report it with what
        // the page itself knows, so callers see an unexpected answer.
        m_loadOk = false;
        m_loading = false;
        m_title = m_page->title();
        m_body.clear();
        m_values.clear();
        m_url = m_page->url().toString();
        emit documentComplete(m_url);
        return;
    }
    const quint64 generation = m_generation;
    QPointer<Browser> self(this);
    m_page->runJavaScript(serializerScript(), [self, generation](const QVariant &result) {
        if (!self || self->m_generation != generation)
            return; // a newer navigation has started; its own load reports it
        const QVariantList parts = result.toList();
        self->m_loadOk = true;
        self->m_loading = false;
        self->m_title = parts.value(0).toString();
        self->m_body = parts.value(1).toString();
        self->m_values.clear();
        const QVariantMap values = parts.value(2).toMap();
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            self->m_values.insert(it.key(), it.value().toString());
        self->m_url = parts.size() > 3 ? parts.at(3).toString() : self->m_page->url().toString();
        emit self->documentComplete(self->m_url);
    });
}

QString Browser::serializerScript()
{
    // Element names upper case, attribute values unquoted when they hold only
    // letters, digits and -_.:, comments as written: the markers the platform's
    // pages are read by were written against that form.
    return QStringLiteral(R"JS((function () {
var VOID = {AREA:1,BASE:1,BASEFONT:1,BGSOUND:1,BR:1,COL:1,EMBED:1,FRAME:1,HR:1,IMG:1,INPUT:1,
            KEYGEN:1,LINK:1,META:1,PARAM:1,SOURCE:1,TRACK:1,WBR:1};
var RAW = {SCRIPT:1,STYLE:1,XMP:1,IFRAME:1,NOEMBED:1,NOFRAMES:1,NOSCRIPT:1,PLAINTEXT:1};
function text(t) { return t.replace(/&/g,'&amp;').replace(/</g,'&lt;').replace(/>/g,'&gt;').replace(/\u00a0/g,'&nbsp;'); }
function value(v) { return /^[A-Za-z0-9\-_.:]+$/.test(v) ? v : '"' + v.replace(/&/g,'&amp;').replace(/"/g,'&quot;') + '"'; }
function children(node, raw) {
  var out = '';
  for (var c = node.firstChild; c; c = c.nextSibling) {
    if (c.nodeType === 1) {
      var tag = c.tagName.toUpperCase();
      out += '<' + tag;
      for (var i = 0; i < c.attributes.length; i++)
        out += ' ' + c.attributes[i].name + '=' + value(c.attributes[i].value);
      out += '>';
      if (VOID[tag]) continue;
      out += children(tag === 'TEMPLATE' ? c.content : c, RAW[tag] === 1);
      out += '</' + tag + '>';
    } else if (c.nodeType === 3) {
      out += raw ? c.data : text(c.data);
    } else if (c.nodeType === 8) {
      out += '<!--' + c.data + '-->';
    }
  }
  return out;
}
return [document.title, document.body ? children(document.body, false) : '', )JS") +
           valuesScript() + QStringLiteral(R"JS(, location.href];
})())JS");
}

QString Browser::valuesScript()
{
    return QStringLiteral(R"JS((function () {
var values = {};
var fields = document.querySelectorAll('input[id],select[id],textarea[id]');
for (var i = 0; i < fields.length; i++) values[fields[i].id] = String(fields[i].value);
return values;
})())JS");
}
