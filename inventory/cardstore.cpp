#include "inventory/cardstore.h"

#include "app/core/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>
#include <utility>

namespace {

const QChar kSeparator = QLatin1Char('|');

const QString kUnusedBegin = QStringLiteral("-----------未用开始-----------");
const QString kUnusedEnd = QStringLiteral("-----------未用结束-----------");
const QString kUsedBegin = QStringLiteral("-----------已用开始-----------");
const QString kUsedEnd = QStringLiteral("-----------已用结束-----------");

const QString kForbiddenInName = QStringLiteral("\\/:*?\"<>|");

bool isRecord(const QString &line)
{
    return line.contains(kSeparator);
}

QString field(const QString &line, int index)
{
    return line.section(kSeparator, index, index);
}

bool isLineBreak(QChar ch)
{
    return ch == QLatin1Char('\r') || ch == QLatin1Char('\n') || ch == QChar::LineSeparator ||
           ch == QChar::ParagraphSeparator;
}

QString withoutBreaks(const QString &text, bool blanksToo)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        if (isLineBreak(ch) || ch == kSeparator || (blanksToo && ch == QLatin1Char(' ')))
            continue;
        out.append(ch);
    }
    return out;
}

// A card field is stored as typed or not at all: a code with a character
// taken out would no longer be the code.
bool fitsOneField(const QString &text)
{
    for (const QChar ch : text) {
        if (isLineBreak(ch) || ch == kSeparator)
            return false;
    }
    return true;
}

// A full-width blank from a Chinese input method separates as a space does.
QStringList blankSeparated(const QString &line)
{
    QStringList words;
    QString word;
    for (const QChar ch : line) {
        if (ch.isSpace()) {
            if (!word.isEmpty())
                words.append(std::exchange(word, QString()));
        } else {
            word.append(ch);
        }
    }
    if (!word.isEmpty())
        words.append(word);
    return words;
}

// A file that is not there yet holds no records.
std::optional<QStringList> readStoreFile(const QString &path, QString *error)
{
    if (!QFileInfo::exists(path))
        return QStringList();
    return readGbkLines(path, error);
}

StoreResult unreadable(const QString &path, const QString &detail)
{
    return StoreResult::failed(
        QStringLiteral("%1 读不出来：%2").arg(QFileInfo(path).fileName(), detail));
}

StoreResult rewrite(const QString &path, const QStringList &lines)
{
    QString error;
    if (!writeGbkLines(path, lines, FileAccess::Shared, &error)) {
        return StoreResult::failed(QStringLiteral("%1 没有写好，原来的内容没有改动：%2")
                                       .arg(QFileInfo(path).fileName(), error));
    }
    return {};
}

// The largest whole-number goods id among the records; 0 for none.
qint64 largestId(const QStringList &lines)
{
    qint64 largest = 0;
    for (const QString &line : lines) {
        if (!isRecord(line))
            continue;
        bool ok = false;
        const qint64 id = field(line, 0).toLongLong(&ok);
        if (ok)
            largest = qMax(largest, id);
    }
    return largest;
}

CardEntry cardOf(const QString &line)
{
    return {field(line, 0), field(line, 1), field(line, 2), field(line, 3), field(line, 4)};
}

QString cardLine(const QString &goodsId, const QString &number, const QString &password, bool used,
                 const QDateTime &storedAt)
{
    return QStringList{goodsId, number, password, used ? kCardUsed : kCardUnused,
                       CardStore::dateText(storedAt)}
        .join(kSeparator);
}

} // namespace

CardStore::CardStore(const QString &folder, const QString &appTitle)
    : m_folder(folder), m_appTitle(appTitle)
{}

QString CardStore::goodsFile() const
{
    return QDir(m_folder).filePath(kGoodsFileName);
}

QString CardStore::cardFile() const
{
    return QDir(m_folder).filePath(kCardFileName);
}

QString CardStore::exportFile(const QString &name) const
{
    const QString stem = m_appTitle + name;
    if (stem.contains(QStringLiteral("..")))
        return {};
    for (const QChar ch : stem) {
        if (kForbiddenInName.contains(ch) || ch.category() == QChar::Other_Control ||
            isLineBreak(ch))
            return {};
    }
    const QString path = QDir(m_folder).filePath(stem + QStringLiteral(".txt"));
    // Without a title the name alone could be one of the store's own files.
    if (path == goodsFile() || path == cardFile())
        return {};
    return path;
}

bool CardStore::isSelectedId(const QString &id)
{
    bool ok = false;
    const qint64 value = id.toLongLong(&ok);
    return ok && value != 0;
}

GoodsFields CardStore::cleaned(const GoodsFields &fields)
{
    return {withoutBreaks(fields.keyword, false), withoutBreaks(fields.rechargeAddress, false),
            withoutBreaks(fields.purchaseAddress, true)};
}

QString CardStore::dateText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/M/d H:mm:ss"));
}

StoreResult CardStore::createMissingFiles()
{
    for (const QString &path : {goodsFile(), cardFile()}) {
        if (QFileInfo::exists(path))
            continue;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return StoreResult::failed(QStringLiteral("%1 建不起来：%2")
                                           .arg(QFileInfo(path).fileName(), file.errorString()));
        }
    }
    return {};
}

std::optional<QList<GoodsEntry>> CardStore::goods(QString *error) const
{
    const auto lines = readStoreFile(goodsFile(), error);
    if (!lines)
        return std::nullopt;
    QList<GoodsEntry> entries;
    for (const QString &line : *lines) {
        if (isRecord(line))
            entries.append({field(line, 0), field(line, 1), field(line, 2), field(line, 3)});
    }
    return entries;
}

GoodsAdded CardStore::addGoods(const GoodsFields &fields)
{
    QString error;
    const auto goodsLines = readStoreFile(goodsFile(), &error);
    if (!goodsLines)
        return {unreadable(goodsFile(), error), {}};
    const auto cardLines = readStoreFile(cardFile(), &error);
    if (!cardLines)
        return {unreadable(cardFile(), error), {}};

    const qint64 largest = qMax(largestId(*goodsLines), largestId(*cardLines));
    if (largest == std::numeric_limits<qint64>::max())
        return {StoreResult::failed(QStringLiteral("商品编号已经用尽")), {}};
    const QString id = QString::number(largest + 1);

    const GoodsFields clean = cleaned(fields);
    QStringList lines = *goodsLines;
    lines.append(QStringList{id, clean.keyword, clean.rechargeAddress, clean.purchaseAddress}.join(
        kSeparator));
    const StoreResult written = rewrite(goodsFile(), lines);
    return {written, written.ok() ? id : QString()};
}

StoreResult CardStore::modifyGoods(const QString &id, const GoodsFields &fields)
{
    if (!isSelectedId(id))
        return StoreResult::refused();
    QString error;
    const auto lines = readStoreFile(goodsFile(), &error);
    if (!lines)
        return unreadable(goodsFile(), error);

    const GoodsFields clean = cleaned(fields);
    const QString replacement =
        QStringList{id, clean.keyword, clean.rechargeAddress, clean.purchaseAddress}.join(
            kSeparator);
    QStringList rebuilt;
    bool changed = false;
    for (const QString &line : *lines) {
        if (isRecord(line) && field(line, 0) == id) {
            rebuilt.append(replacement);
            changed = true;
        } else {
            rebuilt.append(line);
        }
    }
    return changed ? rewrite(goodsFile(), rebuilt) : StoreResult();
}

StoreResult CardStore::deleteGoods(const QString &id)
{
    if (!isSelectedId(id))
        return StoreResult::refused();
    QString error;
    const auto lines = readStoreFile(goodsFile(), &error);
    if (!lines)
        return unreadable(goodsFile(), error);

    QStringList rebuilt;
    for (const QString &line : *lines) {
        if (isRecord(line) && field(line, 0) != id)
            rebuilt.append(line);
    }
    return rewrite(goodsFile(), rebuilt);
}

std::optional<QList<CardEntry>> CardStore::cards(const QString &goodsId, bool showUsed,
                                                 bool showUnused, QString *error) const
{
    const auto lines = readStoreFile(cardFile(), error);
    if (!lines)
        return std::nullopt;
    QList<CardEntry> entries;
    for (const QString &line : *lines) {
        if (!isRecord(line) || field(line, 0) != goodsId)
            continue;
        const CardEntry card = cardOf(line);
        // Both boxes ticked show every code of the goods, whatever its mark.
        const bool shown = showUsed && showUnused ? true
                           : showUsed             ? card.state == kCardUsed
                                                  : showUnused && card.state == kCardUnused;
        if (shown)
            entries.append(card);
    }
    return entries;
}

StoreResult CardStore::addCard(const QString &goodsId, const QString &number,
                               const QString &password, bool used, const QDateTime &storedAt)
{
    if (!isSelectedId(goodsId) || number.isEmpty() || password.isEmpty())
        return StoreResult::refused();
    if (!fitsOneField(number) || !fitsOneField(password))
        return StoreResult::refused(QStringLiteral("卡号和卡密里不能有“|”或换行，这张卡没有存"));
    QString error;
    const auto lines = readStoreFile(cardFile(), &error);
    if (!lines)
        return unreadable(cardFile(), error);
    return rewrite(cardFile(),
                   *lines + QStringList{cardLine(goodsId, number, password, used, storedAt)});
}

CardsImported CardStore::importCards(const QString &goodsId, const QString &text,
                                     const QDateTime &storedAt)
{
    CardsImported imported;
    if (!isSelectedId(goodsId)) {
        imported.result = StoreResult::refused();
        return imported;
    }
    QStringList newLines;
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString &line : normalised.split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty())
            continue;
        const QStringList words = blankSeparated(line);
        if (words.size() < 2 || !fitsOneField(words[0]) || !fitsOneField(words[1])) {
            ++imported.skipped;
            continue;
        }
        newLines.append(cardLine(goodsId, words[0], words[1], false, storedAt));
    }
    if (newLines.isEmpty())
        return imported;

    QString error;
    const auto lines = readStoreFile(cardFile(), &error);
    if (!lines) {
        imported.result = unreadable(cardFile(), error);
        return imported;
    }
    imported.result = rewrite(cardFile(), *lines + newLines);
    if (imported.result.ok())
        imported.stored = int(newLines.size());
    return imported;
}

StoreResult CardStore::exportCards(const QString &goodsId, const QString &name) const
{
    if (!isSelectedId(goodsId))
        return StoreResult::refused();
    const QString path = exportFile(name);
    if (path.isEmpty()) {
        return StoreResult::refused(
            QStringLiteral("“%1”不能用作文件名：文件名里不能有 \\ / : * ? \" < > | "
                           "、“..”和控制字符，请换一个名字")
                .arg(name));
    }
    QString error;
    const auto lines = readStoreFile(cardFile(), &error);
    if (!lines)
        return unreadable(cardFile(), error);

    QStringList unused;
    QStringList used;
    for (const QString &line : *lines) {
        if (!isRecord(line) || field(line, 0) != goodsId)
            continue;
        const QString state = field(line, 3);
        if (state == kCardUnused)
            unused.append(line);
        else if (state == kCardUsed)
            used.append(line);
    }
    QStringList out;
    out << kUnusedBegin << QString() << unused << QString() << kUnusedEnd << QString();
    out << kUsedBegin << QString() << used << QString() << kUsedEnd << QString();
    return rewrite(path, out);
}

StoreResult CardStore::deleteCards(const QString &goodsId)
{
    if (!isSelectedId(goodsId))
        return StoreResult::refused();
    QString error;
    const auto lines = readStoreFile(cardFile(), &error);
    if (!lines)
        return unreadable(cardFile(), error);

    QStringList rebuilt;
    for (const QString &line : *lines) {
        if (!isRecord(line) || field(line, 0) != goodsId)
            rebuilt.append(line);
    }
    return rewrite(cardFile(), rebuilt);
}
