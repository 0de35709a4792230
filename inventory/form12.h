#pragma once

#include <QString>
#include <QWidget>

class Browser;
class QPushButton;

inline const QString kTooManyCodes = QStringLiteral("一次别生成那么多");

// The card-code window: the platform's card-storing page in the browser Web,
// which fills the window, and a button that writes the number of codes asked
// for in the page's "num" into its "textarea". The page's own form submits.
class Form12 : public QWidget
{
    Q_OBJECT
public:
    explicit Form12(QWidget *parent = nullptr);

    Browser *web() const { return m_web; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void generate();
    void writeCodes();

    Browser *m_web = nullptr;
    QWidget *m_view = nullptr;
    QPushButton *m_command1 = nullptr;
};
