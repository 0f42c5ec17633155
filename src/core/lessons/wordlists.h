#pragma once

#include "lessons/lessonfile.h"

#include <QStringList>
#include <functional>
#include <optional>

// The word lists of other programs, read beside Vokarin's own lesson files and written on
// request. Which columns hold the word and its meaning is found from what they hold.
enum class ListFormat {
    Lesson,    // Vokarin's own: "word","meaning" per line, GBK
    Delimited, // a spreadsheet's CSV or TSV: comma, semicolon or tab, quoted as RFC 4180
    FlashCard, // the plain-text export of the big flash-card programs: #separator:, #html: ...
    Kvtml,     // KVTML 2, the XML vocabulary files of the KDE trainers
    Package,   // the big flash-card program's packages (.apkg, .colpkg), read only
    WordBook, // the web typing trainers' JSON word books: [{"name": …, "trans": […]}, …], read only
    YoudaoBook,  // a dictionary program's XML word book: <wordbook><item><word>…, read only
    FreeForm,    // plain text, an entry a line: "abandon [ə'bændən] vt. 放弃", read only
    Spreadsheet, // Excel's .xlsx and LibreOffice's .ods, read only
};

// What a file holds, from its bytes: a zip is a package or a spreadsheet by the entries it
// names, XML is a word book or KVTML by its outermost element, flash-card header lines are
// flash-card text, "[{"name"…" a JSON word book, lines of a word and Chinese after it an
// entry-a-line list, text in UTF-16, with tabs, or with three or more fields a row is a
// spreadsheet's list. The name's ending (.kvtml, .csv, .tsv, .json) decides only what the
// content leaves open; everything else is a lesson file, read as it always was.
ListFormat listFormatOf(const QString& path, const QByteArray& bytes);

// Where the word and the meaning are in a list's rows (columns counted from 0; for KVTML the
// languages in the order the file names them).
struct ListLayout final {
    int wordColumn = 0;
    int meaningColumn = 1;
    int partOfSpeechColumn = -1;  // -1: none; otherwise put before the meaning ("vt. 放弃")
    bool header = false;          // the first row names the columns
    int pronunciationColumn = -1; // -1: none; otherwise the word's, kept beside it ("/ɡrɪt/")

    bool operator==(const ListLayout&) const = default;
};

// What the reader decided about a list and what it found; the preview shows it.
struct ListReading final {
    ListFormat format = ListFormat::Delimited;
    QString encoding;              // "GBK", "UTF-8", "UTF-16" or "Big5"
    ListLayout layout;             // as guessed, or as asked for
    QStringList columns;           // a name for each column, for the learner to choose from
    QList<QStringList> firstRows;  // the first rows as split, the header among them
    qint32 incomplete = 0;         // rows without a word or a meaning, left out
    qint32 unreadable = 0;         // rows that could not be read, left out
    qint32 tooLong = 0;            // of them, rows with a side longer than any word
    qint32 controlCharacters = 0;  // and rows with a control character in a side
    QList<qint32> unreadableLines; // the first of them, by line (for KVTML, the entry's line)
    qint32 mediaOnly = 0;          // of the incomplete, cards with only a picture or a sound
    qint32 pictures = 0;           // cards read whose pictures are not shown
    QString why; // what the whole file lacks, when it gives nothing or less than it seems to hold
};

// What the learner asks for instead of the reader's guesses.
struct ListRequest final {
    std::optional<ListLayout> layout;
    TextGuess encoding = TextGuess::List;
};

// Why a file gave no pairs or fewer than it holds ("这个文件只有一种语言（en）…"), then "另有 M
// 行没有 读入：第 62 行、第 70 行…" for the rows left out; nothing when all was read.
QString leftOutText(const ListReading& reading);

struct WordList final {
    QList<WordPair> pairs;
    ListReading reading;
};

// No list of words comes near this many pairs; a file with more is refused as soon as it
// shows, before its pairs take the memory.
inline constexpr qint64 MostListPairs = 2'000'000;

// The refusal of a file with more than MostListPairs pairs, lesson files included.
FileResult tooManyPairs(const QString& path);

// Receives the pairs of a list as they are read.
using PairSink = std::function<void(QStringView word, QStringView meaning)>;
// Receives a word's pronunciation, as shown ("/ɡrɪt/", "[di'semineit]"), right after its pair.
using PronunciationSink = std::function<void(QStringView word, const QString& pronunciation)>;

// Receives the recording of a word's pronunciation a package carries: the file it was copied to.
using RecordingSink = std::function<void(QStringView word, const QString& file)>;

// What a list holds beside its pairs, for a reader that keeps it.
struct WordExtras final {
    PronunciationSink pronounced;
    // Where a package's recordings are copied, each named by its content's hash (the folder is
    // made when needed); empty: recordings are not kept.
    QString recordingFolder;
    RecordingSink recorded;
};

// A package's recordings: at most this many are kept, each at most this large.
inline constexpr qsizetype MostRecordings = 5000;
inline constexpr qint64 LargestRecording = 4 << 20;

// No pronunciation is this long; a longer one is no pronunciation and is dropped.
inline constexpr qsizetype LongestPronunciation = 80;

// A list's pronunciation as shown: "/ɡrɪt/" and "[ɡrɪt]" as they are, a bare one between
// slashes; nothing for one too long or with a control character or a line break in it.
QString shownPronunciation(QStringView pronunciation);

// Reads a list in one of the other programs' formats (not ListFormat::Lesson), in any encoding
// a lesson may have. A row that cannot be read (a stray quote, a pair the lesson format cannot
// hold: a double quote or a control character in a field, a field longer than any word) is left
// out and counted with its line. A file that cannot be read at all (malformed XML, more than
// MostListPairs pairs, not text) loads nothing: the message names the file and why.
FileResult readWordList(const QByteArray& bytes, ListFormat format, const QString& path,
                        WordList& list, const ListRequest& request = {});

// The same, each pair handed to sink as it is read, so that a long list is held only where it
// goes. On a failure some pairs may have been handed over already: the caller drops them.
// bytes are let go once decoded.
// Pronunciations and recordings, where the list has them, go to extras.
FileResult readWordList(QByteArray bytes, ListFormat format, const QString& path,
                        const PairSink& sink, ListReading& reading, const ListRequest& request = {},
                        const WordExtras& extras = {});

// The pairs in a format: TSV (UTF-8) for ListFormat::Delimited, the flash-card text with its
// header lines, KVTML 2 titled title, or the lesson format.
QByteArray wordListBytes(const QList<WordPair>& pairs, ListFormat format, const QString& title);

// The first pair (counted from 0) holding a character XML cannot carry (control characters,
// U+FFFE, U+FFFF), which KVTML therefore cannot hold either; -1 when there is none.
qsizetype firstPairOutsideXml(const QList<WordPair>& pairs);

// Replaces path with the pairs in format, all at once, or leaves the old file untouched. KVTML
// is not written when a pair holds what it cannot carry.
FileResult writeWordList(const QString& path, const QList<WordPair>& pairs, ListFormat format);
