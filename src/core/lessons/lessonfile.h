#pragma once

#include "fileio.h"

#include <QList>
#include <QString>
#include <functional>

// One line of a lesson file: the English word and its Chinese meaning.
struct WordPair final {
    QString word;
    QString meaning;

    bool operator==(const WordPair&) const = default;
};

// No word or meaning is this long; a field that is longer refuses its file.
inline constexpr qsizetype LongestField = 1000;

// Why one side of a pair cannot be a word or a meaning: longer than any word, or a control
// character in it (a tab aside; a line break is one). The one rule for the drill, every list's
// reader and the word-file editor alike. A double quote is fine everywhere but in the lesson
// format, which writes it as the full-width ＂ (it has no way to hold a straight one).
enum class SideFault { None, TooLong, ControlCharacter };
SideFault sideFault(QStringView side);
inline constexpr char16_t LessonQuote = u'＂';

// Receives each pair as soon as it is read, as views into the decoded text that last until
// the receiver returns; returning false stops the read.
using PairReceiver = std::function<bool(QStringView word, QStringView meaning)>;

// Lesson files are GBK text, one record per line: "word","meaning" CR LF.
// Files in UTF-8 (with or without a byte-order mark) or UTF-16 (with one) are read too.

// Counts lines: a line ends at CR (a following LF belongs to it); an LF alone ends nothing.
FileResult countlines(const QString& path, qint32& lines);

// Reads up to records pairs from the start of path as a stream of fields, word then meaning,
// handing each to receive. Fails with FieldsRanOut when the file ends first.
FileResult readpairs(const QString& path, qint32 records, const PairReceiver& receive);

// The same two on a file's bytes already in memory; path only names the file in messages.
FileResult countLinesIn(const QByteArray& bytes, qint32& lines, const QString& path = {});
FileResult readPairsFrom(const QByteArray& bytes, qint32 records, const PairReceiver& receive,
                         const QString& path = {});

// A lesson file read and checked once, then counted and split as often as needed.
class LessonText final {
public:
    // within: as for readFileBytes (a shared folder the file must stay inside).
    FileResult read(const QString& path, const QString& within = {});
    // The bytes of a file already in memory; path only names the file in messages.
    FileResult take(const QByteArray& bytes, const QString& path = {});
    // No lesson's fields together hold more characters than this.
    qsizetype characterBound() const { return data_.size(); }
    // "GBK", "UTF-8" or "UTF-16", as decided when taken.
    QString encoding() const { return encoding_; }
    // Lines as countlines counts them.
    qint32 countLines() const;
    // Pairs as readpairs reads them.
    FileResult readPairs(qint32 records, const PairReceiver& receive) const;
    // The text is decoded and split this many bytes at a time (to the next line end). Smaller
    // pieces only make reading slower; tests use them to put piece ends everywhere.
    void setPieceSize(qsizetype bytes) { pieceSize_ = qMax<qsizetype>(1, bytes); }

private:
    QByteArray data_; // GBK or UTF-8, without a byte-order mark
    bool utf8_ = false;
    QString encoding_;
    QString path_;
    qsizetype pieceSize_ = 256 * 1024;
};

// How the encoding of text without a byte-order mark is decided.
enum class TextGuess {
    Lesson,        // as lesson files: UTF-8 when valid and most lines hold Chinese, else GBK
    Utf8WhenValid, // UTF-8 whenever valid (text from programs that write nothing else)
    List,          // as lessons, and also UTF-8 when valid and it reads as a Latin word list
                   // (IPA, pinyin, accents); UTF-16 without a mark and Big5 are recognised too
    Gbk,           // as the learner says
    Utf8,
    Utf16,
};

// The whole of a text file's bytes decoded (GBK or GB18030, UTF-8 with or without a
// byte-order mark, UTF-16 with one); fails as reading a lesson does on bytes no text file
// holds. Word lists of other programs are read through this. decided, when given, is told the
// encoding taken: "GBK", "UTF-8", "UTF-16" or "Big5".
FileResult decodeText(const QByteArray& bytes, const QString& path, QString& text,
                      TextGuess guess = TextGuess::Lesson, QString* decided = nullptr);

// The pairs as a lesson file's bytes: GBK, GB18030 for characters beyond GBK.
QByteArray lessonBytes(const QList<WordPair>& pairs);

// Writes the pairs as GBK (GB18030 for characters beyond GBK). Replaces the file as a whole,
// or leaves the old one untouched on failure. within: as for writeFileAtomically.
FileResult writepairs(const QString& path, const QList<WordPair>& pairs,
                      const QString& within = {});
