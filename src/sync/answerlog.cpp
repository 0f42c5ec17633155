#include "sync/answerlog.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace {

constexpr char Magic[] = "VOKARIN-LOG 1 ";

std::array<quint32, 256> crcTable() {
    std::array<quint32, 256> table{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

// CRC-32 (as zip has it): a damaged or half-written line does not pass.
quint32 crc32(QByteArrayView bytes) {
    static const std::array<quint32, 256> table = crcTable();
    quint32 c = 0xFFFFFFFFu;
    for (const char byte : bytes)
        c = table[(c ^ quint8(byte)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray escaped(const QString& text) {
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescaped(QByteArrayView field) {
    if (!field.contains('\\'))
        return QString::fromUtf8(field);
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char next = field[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return QString::fromUtf8(out);
}

QByteArray sealed(QByteArray line) {
    line += '\t' + QByteArray::number(crc32(line), 16) + '\n';
    return line;
}

// A line's fields, its checksum checked; none when it does not match.
std::optional<QList<QByteArrayView>> fieldsOf(QByteArrayView line) {
    const qsizetype lastTab = line.lastIndexOf('\t');
    if (lastTab < 0)
        return std::nullopt;
    bool ok = false;
    const quint32 sum = line.sliced(lastTab + 1).toByteArray().toUInt(&ok, 16);
    const QByteArrayView body = line.first(lastTab);
    if (!ok || sum != crc32(body))
        return std::nullopt;
    QList<QByteArrayView> fields;
    qsizetype from = 0;
    for (qsizetype tab; (tab = body.indexOf('\t', from)) >= 0; from = tab + 1)
        fields << body.sliced(from, tab - from);
    fields << body.sliced(from);
    return fields;
}

qint64 number(QByteArrayView field, bool& ok) {
    bool good = false;
    const qint64 value = field.toByteArray().toLongLong(&good);
    ok = ok && good && value >= 0;
    return value;
}

} // namespace

QString logFileName(const QString& device) {
    return device + QStringLiteral(".log");
}

QByteArray logHeader(const QString& device) {
    return Magic + device.toUtf8() + '\n';
}

QByteArray logLine(const AnswerRecord& answer) {
    const AnswerFacts& f = answer.facts;
    return sealed("A\t" + QByteArray::number(answer.answeredAt) + '\t' + escaped(answer.lesson) +
                  '\t' + escaped(answer.english) + '\t' + escaped(answer.chinese) + '\t' +
                  (answer.chineseAsked ? '1' : '0') + '\t' + answerModeName(f.mode) + '\t' +
                  (f.correct ? '1' : '0') + '\t' + (f.revealed ? '1' : '0') + '\t' +
                  QByteArray::number(f.responseMs));
}

QByteArray logLine(const SessionRecord& session) {
    return sealed("S\t" + QByteArray::number(session.startedAt) + '\t' +
                  QByteArray::number(session.endedAt) + '\t' + QByteArray::number(session.minutes) +
                  '\t' + escaped(session.lessonFiles.join(QChar(0x1F))));
}

QByteArray logLine(const NotebookEvent& event) {
    return sealed("N\t" + QByteArray::number(event.at) + '\t' + escaped(event.english) + '\t' +
                  escaped(event.chinese) + '\t' + (event.added ? '1' : '0'));
}

QString logDevice(const QByteArray& firstBytes) {
    const qsizetype end = firstBytes.indexOf('\n');
    if (end < 0 || !firstBytes.startsWith(Magic))
        return {};
    const auto from = qsizetype(std::strlen(Magic));
    QString device = QString::fromUtf8(firstBytes.sliced(from, end - from)).trimmed();
    for (const QChar c : device)
        if (!c.isLetterOrNumber() && c != u'-' && c != u'_')
            return {};
    return device;
}

LogRead readLog(QByteArrayView tail, qint64 offset, qint64 now) {
    LogRead read;
    read.readTo = offset;
    qsizetype at = 0;
    if (offset == 0) {
        const qsizetype end = tail.first(qMin(tail.size(), LongestLogLine)).indexOf('\n');
        if (end < 0 || logDevice(tail.first(end + 1).toByteArray()).isEmpty()) {
            read.damaged = tail.size() >= LongestLogLine ? 1 : 0;
            return read;
        }
        at = end + 1;
        read.readTo = at;
    }
    const qint64 latest = now + LatestLogAhead;
    qint64 newest = 0;
    const auto time = [&](QByteArrayView field, bool& ok) {
        bool good = ok;
        const qint64 value = number(field, good);
        // A time up to a month ahead is a clock set wrong, and said so; beyond, only damage.
        if (good && value > now && value - now <= 30 * LatestLogAhead)
            newest = qMax(newest, value);
        ok = good && value >= EarliestLogTime && value <= latest;
        return value;
    };
    while (at < tail.size()) {
        const qsizetype end = tail.sliced(at, qMin(tail.size() - at, LongestLogLine)).indexOf('\n');
        if (end < 0) {
            // Cut off (still arriving), unless no line is that long.
            read.damaged = tail.size() - at >= LongestLogLine ? 1 : 0;
            break;
        }
        const QByteArrayView line = tail.sliced(at, end);
        const std::optional<QList<QByteArrayView>> fields = fieldsOf(line);
        bool ok = fields.has_value();
        if (ok && fields->size() == 10 && (*fields)[0] == "A") {
            const QList<QByteArrayView>& f = *fields;
            AnswerRecord answer;
            answer.answeredAt = time(f[1], ok);
            answer.lesson = unescaped(f[2]);
            answer.english = unescaped(f[3]);
            answer.chinese = unescaped(f[4]);
            answer.chineseAsked = f[5] == "1";
            const std::optional<AnswerMode> mode = answerModeNamed(f[6]);
            ok = ok && mode.has_value();
            answer.facts.mode = mode.value_or(AnswerMode::Choice);
            answer.facts.correct = f[7] == "1";
            answer.facts.revealed = f[8] == "1";
            answer.facts.responseMs = number(f[9], ok);
            ok = ok && !answer.english.isEmpty() && answer.facts.responseMs <= LatestLogAhead;
            if (ok)
                read.answers << answer;
        } else if (ok && fields->size() == 5 && (*fields)[0] == "S") {
            const QList<QByteArrayView>& f = *fields;
            SessionRecord session;
            session.startedAt = time(f[1], ok);
            session.endedAt = time(f[2], ok);
            session.minutes = qint32(qMin<qint64>(number(f[3], ok), 1'000'000));
            const QString files = unescaped(f[4]);
            if (!files.isEmpty())
                session.lessonFiles = files.split(QChar(0x1F));
            ok = ok && session.endedAt >= session.startedAt;
            if (ok)
                read.sessions << session;
        } else if (ok && fields->size() == 5 && (*fields)[0] == "N") {
            const QList<QByteArrayView>& f = *fields;
            NotebookEvent event;
            event.at = time(f[1], ok);
            event.english = unescaped(f[2]);
            event.chinese = unescaped(f[3]);
            event.added = f[4] == "1";
            ok = ok && !event.english.isEmpty() && (f[4] == "1" || f[4] == "0");
            if (ok)
                read.notebook << event;
        } else {
            ok = false;
        }
        if (!ok) {
            read.damaged = 1;
            break;
        }
        at += end + 1;
        read.readTo = offset + at;
    }
    read.aheadMs = qMax<qint64>(0, newest - now);
    return read;
}
