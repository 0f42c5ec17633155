#include "spokenipa.h"
#include "lessons/wordlists.h"

#include <QLoggingCategory>
#include <QProcess>
#include <QTimer>
#include <algorithm>

Q_LOGGING_CATEGORY(lcIpa, "vokarin.ipa")

namespace {

// What espeak-ng is given and keeps: a word of a lesson, not a text.
constexpr qsizetype LongestAsked = 60;
constexpr int AnswerMs = 2000;
constexpr qsizetype MostKnown = 5000;

QString keyOf(const QString& word, Accent accent) {
    return (accent == Accent::British ? u'b' : u'a') + word;
}

bool isEnglish(const QString& word) {
    const bool letter = std::any_of(word.begin(), word.end(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    });
    // No control character, nothing from the CJK blocks on (surrogates among them).
    return letter && word.size() <= LongestAsked &&
           std::none_of(word.begin(), word.end(),
                        [](QChar c) { return c.unicode() < u' ' || c.unicode() >= 0x2E80; });
}

} // namespace

SpokenIpa::SpokenIpa(QObject* parent)
    : QObject(parent) {}

SpokenIpa::~SpokenIpa() {
    if (process_) {
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(500);
    }
}

void SpokenIpa::find(const QString& word, Accent accent) {
    if (missing_ || !isEnglish(word))
        return;
    if (const auto known = known_.constFind(keyOf(word, accent)); known != known_.cend()) {
        if (!known->isEmpty())
            emit found(word, *known);
        return;
    }
    wanted_ = word;
    wantedAccent_ = accent;
    if (!process_)
        start();
}

void SpokenIpa::start() {
    asked_ = std::exchange(wanted_, {});
    askedAccent_ = wantedAccent_;
    auto* process = new QProcess(this);
    process_ = process;
    connect(process, &QProcess::finished, this, &SpokenIpa::finished);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        qCInfo(lcIpa) << program_ << "could not be started: no pronunciations from it";
        missing_ = true;
        wanted_.clear();
        process->deleteLater();
    });
    QTimer::singleShot(AnswerMs, process, [process] {
        qCWarning(lcIpa) << "espeak-ng gave no pronunciation in time";
        process->kill();
    });
    const QString voice =
        askedAccent_ == Accent::British ? QStringLiteral("en-gb-x-rp") : QStringLiteral("en-us");
    process->start(program_, {QStringLiteral("-q"), QStringLiteral("--ipa"), QStringLiteral("-v"),
                              voice, QStringLiteral("--stdin")});
    process->write(asked_.toUtf8() + '\n');
    process->closeWriteChannel();
}

void SpokenIpa::finished() {
    auto* process = qobject_cast<QProcess*>(sender());
    if (!process)
        return;
    QString ipa;
    if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0)
        ipa = QString::fromUtf8(process->readAllStandardOutput().left(4 * LongestPronunciation))
                  .simplified();
    process->deleteLater();
    process_ = nullptr;
    const QString shown = shownPronunciation(ipa);
    if (known_.size() >= MostKnown)
        known_.clear();
    known_.insert(keyOf(asked_, askedAccent_), shown);
    if (!shown.isEmpty())
        emit found(asked_, shown);
    if (!wanted_.isEmpty())
        start();
}
