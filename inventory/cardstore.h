#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// The agent's own card codes: goods entries in "货物列表.txt" and their codes in
// "卡密.txt", both GBK with CR LF line ends and "|" between the fields, in one
// folder (the working directory of the client).

inline const QString kGoodsFileName = QStringLiteral("货物列表.txt");
inline const QString kCardFileName = QStringLiteral("卡密.txt");
inline const QString kCardUsed = QStringLiteral("是");
inline const QString kCardUnused = QStringLiteral("否");

// One line of the goods file. The id is kept as the file has it.
struct GoodsEntry
{
    QString id;
    QString keyword;
    QString rechargeAddress;
    QString purchaseAddress;
};

// What the agent typed for a goods entry, before it is cleaned for the file.
struct GoodsFields
{
    QString keyword;
    QString rechargeAddress;
    QString purchaseAddress;
};

// One line of the card file.
struct CardEntry
{
    QString goodsId;
    QString number;
    QString password;
    QString state; // kCardUsed or kCardUnused
    QString storedAt;
};

// What a command did. Refused: the input was not taken (error says why, or is
// empty when there is nothing to tell); Failed: a file could not be read or
// written, and the files are as they were.
struct StoreResult
{
    enum Outcome
    {
        Done,
        Refused,
        Failed
    };
    Outcome outcome = Done;
    QString error;

    bool ok() const { return outcome == Done; }
    static StoreResult refused(const QString &why = {}) { return {Refused, why}; }
    static StoreResult failed(const QString &why) { return {Failed, why}; }
};

struct GoodsAdded
{
    StoreResult result;
    QString id;
};

struct CardsImported
{
    StoreResult result;
    int stored = 0;
    int skipped = 0; // lines that held no card number and password
};

// Every rewrite goes to a temporary file that replaces the old one only when it
// is complete, so an interrupted command leaves the store as it was. Lines
// without "|" are not records and are skipped when reading.
class CardStore
{
public:
    // appTitle begins the names of the export files.
    CardStore(const QString &folder, const QString &appTitle);

    QString goodsFile() const;
    QString cardFile() const;
    // The file an export under this name writes; empty when the name cannot
    // form a file name.
    QString exportFile(const QString &name) const;

    // A goods id that selects an entry: a whole number other than 0.
    static bool isSelectedId(const QString &id);
    // Line breaks and "|" would split a record; the purchase address loses
    // its blanks too.
    static GoodsFields cleaned(const GoodsFields &fields);

    StoreResult createMissingFiles();

    std::optional<QList<GoodsEntry>> goods(QString *error = nullptr) const;
    // The new entry gets one more than the largest goods id of either file, so
    // that codes left behind by a deleted entry never show under a new one.
    GoodsAdded addGoods(const GoodsFields &fields);
    StoreResult modifyGoods(const QString &id, const GoodsFields &fields);
    // The entry's codes stay in the card file.
    StoreResult deleteGoods(const QString &id);

    std::optional<QList<CardEntry>> cards(const QString &goodsId, bool showUsed, bool showUnused,
                                          QString *error = nullptr) const;
    StoreResult addCard(const QString &goodsId, const QString &number, const QString &password,
                        bool used, const QDateTime &storedAt);
    // One code a line, card number and password separated by blanks; further
    // words are ignored. All codes are stored together or none.
    CardsImported importCards(const QString &goodsId, const QString &text,
                              const QDateTime &storedAt);
    // Unused codes, then used ones, between their marker lines; replaces an
    // earlier export of the same name.
    StoreResult exportCards(const QString &goodsId, const QString &name) const;
    StoreResult deleteCards(const QString &goodsId);

    // The stored-at text of a code: the general date and time.
    static QString dateText(const QDateTime &time);

private:
    QString m_folder;
    QString m_appTitle;
};
