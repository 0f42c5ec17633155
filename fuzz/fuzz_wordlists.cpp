// Other programs' word lists as they come: whatever the bytes, a list holds only pairs a lesson
// can hold (what else there was is left out or refuses the file), and reads back the same from
// every format it can be saved in.
#include "lessons/wordlists.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const ListFormat format :
         {ListFormat::Delimited, ListFormat::FlashCard, ListFormat::Kvtml, ListFormat::Package}) {
        WordList list;
        if (!readWordList(bytes, format, QStringLiteral("x"), list).ok()) {
            if (!list.pairs.isEmpty())
                std::abort();
            continue;
        }
        for (const WordPair& pair : std::as_const(list.pairs))
            for (const QString* field : {&pair.word, &pair.meaning})
                if (field->isEmpty() || field->size() > LongestField || field->contains(u'"') ||
                    field->contains(u'\r') || field->contains(u'\n'))
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
