// The JSON word books of the web typing trainers: [{"name": "abandon", "trans": ["v. 放弃",
// "n. 放任"], "usphone": "…", "ukphone": "…"}, …]. Two columns, the word and its meanings (joined
// with "；"); read only.
#include "lessons/listreaders.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Word books of thousands of words are a few megabytes; the parsed document costs several
// times its text, so a larger file is not taken for one.
constexpr qsizetype MostWordBookBytes = 32 << 20;

QString textOf(const QJsonValue& value) {
    if (value.isString())
        return value.toString().trimmed();
    QStringList meanings;
    const QJsonArray parts = value.toArray();
    for (const auto& part : parts)
        if (part.isString() && !part.toString().trimmed().isEmpty())
            meanings << part.toString().trimmed();
    return meanings.join(u'；');
}

} // namespace

bool looksLikeWordBook(QStringView head, QStringView suffix) {
    const QStringView start = head.trimmed();
    return start.startsWith(u'[') && (suffix == u"json" || start.contains(u"\"name\""));
}

FileResult readWordBook(QByteArray& bytes, const QString& path, const ListRequest& request,
                        ListOutput& out) {
    if (bytes.size() > MostWordBookBytes)
        return refused(FileError::TooLarge, path, QStringLiteral("太大了，不像是单词本"));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    bytes = {};
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return refused(FileError::BadList, path,
                       QStringLiteral("不是单词本（JSON 格式不对：%1）").arg(error.errorString()));
    ListReading& reading = out.reading;
    reading.encoding = QStringLiteral("UTF-8");
    reading.columns = {QStringLiteral("name（单词）"), QStringLiteral("trans（释义）")};
    ListLayout layout;
    if (request.layout && request.layout->wordColumn < 2 && request.layout->meaningColumn < 2)
        layout.wordColumn = request.layout->wordColumn,
        layout.meaningColumn = request.layout->meaningColumn;
    reading.layout = layout;
    const QJsonArray entries = document.array();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QJsonObject entry = entries[i].toObject();
        const QStringList texts = {textOf(entry.value(QLatin1String("name"))),
                                   textOf(entry.value(QLatin1String("trans")))};
        if (reading.firstRows.size() < PreviewRows)
            reading.firstRows << texts;
        // The American pronunciation where the book has both.
        QString sound = textOf(entry.value(QLatin1String("usphone")));
        if (sound.isEmpty())
            sound = textOf(entry.value(QLatin1String("ukphone")));
        if (FileResult r = out.put(texts[layout.wordColumn], texts[layout.meaningColumn],
                                   qint32(qMin<qsizetype>(i + 1, INT_MAX)), path,
                                   layout.wordColumn == 0 ? QStringView(sound) : QStringView());
            !r.ok())
            return r;
    }
    return FileResult::success();
}
