// Other programs' word lists as they come: whatever the bytes, a list holds only pairs a lesson
// can hold (what else there was is left out or refuses the file), and reads back the same from
// every format it can be saved in; an entry-a-line list's word is never Chinese.
#include "lessons/listreaders.h"
#include "lessons/wordlists.h"
#include "packagenotes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QList<WordPair> readBack(const QList<WordPair>& pairs, ListFormat format) {
    const QByteArray bytes = wordListBytes(pairs, format, QStringLiteral("x"));
    WordList list;
    if (!readWordList(bytes, format, QStringLiteral("x"), list).ok() ||
        list.reading.incomplete != 0 || list.reading.unreadable != 0)
        std::abort();
    return list.pairs;
}

// An XML format read by the quick reader (with Qt's for what it is not sure of) as by Qt's
// alone: the same verdict, the same pairs, the same account of the file.
using XmlReader = FileResult (*)(const QByteArray&, const QString&, const ListRequest&,
                                 ListOutput&);
void sameAsQtsReader(const QByteArray& bytes, ListFormat format, XmlReader generally,
                     const WordList& list, const FileResult& result) {
    WordList qt;
    const PairSink sink = [&qt](QStringView word, QStringView meaning) {
        qt.pairs.append({word.toString(), meaning.toString()});
    };
    qt.reading.format = format;
    ListOutput out{sink, qt.reading};
    const FileResult qtResult = generally(bytes, QStringLiteral("x"), {}, out);
    if (!qtResult.ok())
        qt.pairs.clear();
    const ListReading &a = list.reading, &b = qt.reading;
    if (result.description != qtResult.description || list.pairs != qt.pairs ||
        (result.ok() && (a.encoding != b.encoding || a.layout != b.layout ||
                         a.columns != b.columns || a.firstRows != b.firstRows ||
                         a.incomplete != b.incomplete || a.unreadableLines != b.unreadableLines)))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static ZipPackageReader reader;
    setPackageReader([] { return &reader; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const ListFormat format :
         {ListFormat::Delimited, ListFormat::FlashCard, ListFormat::Kvtml, ListFormat::Package,
          ListFormat::WordBook, ListFormat::YoudaoBook, ListFormat::FreeForm,
          ListFormat::Spreadsheet}) {
        WordList list;
        const FileResult result = readWordList(bytes, format, QStringLiteral("x"), list);
        if (format == ListFormat::Kvtml)
            sameAsQtsReader(bytes, format, readKvtmlGenerally, list, result);
        if (format == ListFormat::YoudaoBook)
            sameAsQtsReader(bytes, format, readYoudaoBookGenerally, list, result);
        if (!result.ok()) {
            if (!list.pairs.isEmpty())
                std::abort();
            continue;
        }
        for (const WordPair& pair : std::as_const(list.pairs))
            for (const QString* field : {&pair.word, &pair.meaning})
                if (field->isEmpty() || sideFault(*field) != SideFault::None)
                    std::abort();
        // An entry-a-line list never asks a question that holds its answer.
        if (format == ListFormat::FreeForm)
            for (const WordPair& pair : std::as_const(list.pairs))
                if (hasHan(pair.word))
                    std::abort();
        // Not the lesson format: it carries no mark of its encoding, and GBK text that happens
        // to be valid UTF-8 Chinese as well (never a real word) reads back as UTF-8.
        for (const ListFormat saved :
             {ListFormat::Delimited, ListFormat::FlashCard, ListFormat::Kvtml})
            if ((saved != ListFormat::Kvtml || firstPairOutsideXml(list.pairs) < 0) &&
                readBack(list.pairs, saved) != list.pairs)
                std::abort();
    }
    return 0;
}
