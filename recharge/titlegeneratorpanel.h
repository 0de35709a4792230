#pragma once

#include <QString>
#include <QWidget>

class Catalogue;
class QComboBox;
class QLineEdit;

// The title generator on the fourth tab: category, product and face value
// compose a listing title; a double click copies it.
class TitleGeneratorPanel : public QWidget
{
    Q_OBJECT
public:
    TitleGeneratorPanel(const Catalogue &catalogue, QWidget *parent = nullptr);

    // Adds the categories to Combo1 and chooses the first, which fills the rest.
    void addCategories(const QStringList &categories);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void com加载商品列表();
    void 加载面值();
    void composeTitle();

    const Catalogue &m_catalogue;
    QComboBox *m_combo1;
    QComboBox *m_combo2;
    QComboBox *m_combo3;
    QLineEdit *m_text4;
    QLineEdit *m_text5;
    QString m_sideString;
    QString m_unit;
};
