#pragma once

#include "inventory/cardstore.h"

#include <QWidget>

class KeyedListView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStackedLayout;

inline const QString kSelectGoodsFirst = QStringLiteral("先选择商品啊小同学");
inline const QString kImportFailed = QStringLiteral("发生错误了 大兄弟卡密没有放好");
inline const QString kImportPrompt = QStringLiteral("请输入你的卡密 卡号和密码中间空一格");
inline const QString kSelectGoodsToExport = QStringLiteral("选个商品再导吧");

// The card-code store window: goods on the left, the codes of the selected
// goods entry on the right. Text3 holds the selected goods id, "0" for none.
// The files are the store's; the window reads its controls and calls it.
class Form16 : public QWidget
{
    Q_OBJECT
public:
    // The store's files live in folder (the client's working directory).
    explicit Form16(const QString &folder, QWidget *parent = nullptr);

    CardStore &store() { return m_store; }
    bool inBulkInput() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void load();
    void reloadGoods();
    void addGoods();
    void modifyGoods();
    void deleteGoods();
    void goodsRowClicked(int row);
    void reloadCards();
    void cardRowClicked(int row);
    void addCard();
    void bulkImport();
    void leaveBulkInput();
    void bulkExport();
    void bulkDelete();

    GoodsFields typedGoods() const;
    QString selectedGoods() const;
    void tell(const StoreResult &result);
    QString messageTitle() const;

    CardStore m_store;

    KeyedListView *m_listView1 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QLineEdit *m_text8 = nullptr;
    QLineEdit *m_text3 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command3 = nullptr;
    QPushButton *m_command11 = nullptr;
    QPushButton *m_command4 = nullptr;

    KeyedListView *m_listView2 = nullptr;
    QPlainTextEdit *m_text4 = nullptr;
    QStackedLayout *m_cardArea = nullptr; // Text4 lies behind ListView2
    QLineEdit *m_text5 = nullptr;
    QLineEdit *m_text6 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QLineEdit *m_text7 = nullptr;
    QCheckBox *m_check5 = nullptr;
    QCheckBox *m_check6 = nullptr;
    QPushButton *m_command8 = nullptr;
    QPushButton *m_command6 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command5 = nullptr;
    QPushButton *m_command9 = nullptr;
    QPushButton *m_command10 = nullptr;
    QLabel *m_label6 = nullptr;
    QLabel *m_label9 = nullptr;
    QListWidget *m_list1 = nullptr;
};
