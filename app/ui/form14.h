#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;
class UpdateDownload;

// The update window: downloads the announced version and leaves the clean-up
// script behind.
class Form14 : public QWidget
{
    Q_OBJECT
public:
    // version is BB, address xzdz of the login window; the login window is
    // closed once the update is in place. The download starts when the
    // window is first shown, into the working directory of that moment.
    Form14(const QString &version, const QString &address, QWidget *loginWindow);
    ~Form14() override;

    QString version() const { return m_version; }
    QString address() const { return m_address; }
    // The executable the update replaces: the running one unless set before
    // the window is shown.
    QString oldExecutable() const { return m_oldExecutable; }
    void setOldExecutable(const QString &path) { m_oldExecutable = path; }
    // Why the last attempt failed; empty while none has.
    QString lastError() const { return m_lastError; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void load();
    void onProgress(qint64 received, qint64 total);
    void onDownloaded(bool ok, const QString &error);
    void fail(const QString &error);

    QString m_version;
    QString m_address;
    QPointer<QWidget> m_loginWindow;
    QString m_oldExecutable;
    QString m_dir;
    QString m_target;
    QString m_lastError;
    bool m_loaded = false;
    bool m_closed = false;
    bool m_cleanupStarted = false;
    QLabel *m_label1 = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
    UpdateDownload *m_download = nullptr;
};
