#include "qtspeech.h"

#include <QLoggingCategory>
#include <QTextToSpeech>
#include <QVoice>
#include <memory>
#include <vector>

// QT_LOGGING_RULES="vokarin.speech.debug=true" shows every state the engine reports.
Q_LOGGING_CATEGORY(lcSpeech, "vokarin.speech", QtWarningMsg)

QtSpeech::QtSpeech(QObject* parent)
    : QObject(parent) {}

// Building the engine takes tens of milliseconds, so it waits until it is first needed, when
// the window is already on screen.
void QtSpeech::open(const QString&, const QString&) {
    opened_ = true;
}

QTextToSpeech* QtSpeech::engine() {
    if (opened_ && !tried_)
        build();
    return engine_;
}

// The engines' English voices, listed under English locales only, engine after engine until
// one is good enough, and the best of them.
void QtSpeech::build() {
    tried_ = true;
    QList<VoiceOffer> offers;
    std::vector<std::unique_ptr<QTextToSpeech>> engines;
    for (const QString& name : QTextToSpeech::availableEngines()) {
        auto candidate = std::make_unique<QTextToSpeech>(name);
        if (candidate->state() == QTextToSpeech::Error)
            continue;
        for (const QLocale& locale : candidate->availableLocales()) {
            if (locale.language() != QLocale::English)
                continue;
            candidate->setLocale(locale);
            const QList<QVoice> voices = candidate->availableVoices();
            for (const QVoice& voice : voices)
                offers.append({name, locale.name(), voice.name()});
        }
        engines.push_back(std::move(candidate));
        if (goodEnoughVoice(offers, accent_))
            break;
    }
    const qsizetype best = bestVoice(offers, accent_);
    if (best < 0) {
        qCWarning(lcSpeech) << "no English voice among" << QTextToSpeech::availableEngines();
        useFirstWorkingEngine();
    } else {
        const VoiceOffer& chosen = offers[best];
        for (auto& candidate : engines)
            if (candidate->engine() == chosen.engine) {
                engine_ = candidate.release();
                engine_->setParent(this);
                break;
            }
        engine_->setLocale(QLocale(chosen.locale));
        const QList<QVoice> voices = engine_->availableVoices();
        for (const QVoice& voice : voices)
            if (voice.name() == chosen.name)
                engine_->setVoice(voice);
        qCInfo(lcSpeech) << "reading with" << chosen.engine << chosen.locale << chosen.name
                         << (onlyRoboticVoices(offers, accent_) ? "(no natural voice installed)"
                                                                : "");
    }
    if (!engine_)
        return;
    engine_->setRate(rate_);
    // Every utterance ends in one Ready, including one cut short by a new word, and that
    // Ready may arrive after the next say(). Only the Ready of the latest utterance lets the
    // next reading start; a late one from an earlier utterance is ignored.
    connect(engine_, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State state) {
        qCDebug(lcSpeech) << current_ << state << "issued" << issued_ << "finished" << finished_
                          << "queued" << queue_.size();
        // flite fails some words outright: Error, then Ready. That Ready ends the failed
        // reading like any other, and the readings left go on.
        if (state == QTextToSpeech::Ready) {
            if (finished_ < issued_)
                ++finished_;
            sayNext();
        }
    });
}

// The first engine that works: the default one, then each other one, none of them twice.
void QtSpeech::useFirstWorkingEngine() {
    QString failed;
    auto usable = [&](QTextToSpeech* candidate) {
        if (candidate->state() != QTextToSpeech::Error)
            return true;
        failed = candidate->engine();
        delete candidate;
        return false;
    };
    if (auto* candidate = new QTextToSpeech(this); usable(candidate)) {
        engine_ = candidate;
        return;
    }
    for (const QString& name : QTextToSpeech::availableEngines()) {
        if (name == failed)
            continue;
        if (auto* candidate = new QTextToSpeech(name, this); usable(candidate)) {
            engine_ = candidate;
            return;
        }
    }
}

void QtSpeech::setAccent(Accent accent) {
    if (accent == accent_)
        return;
    accent_ = accent;
    if (!tried_)
        return;
    // Chosen again when next needed; what is being read now is cut short.
    queue_.clear();
    if (engine_) {
        engine_->disconnect(this);
        engine_->stop();
        engine_->deleteLater();
        engine_ = nullptr;
    }
    finished_ = issued_;
    tried_ = false;
}

void QtSpeech::setSpeed(qint32 wordsPerMinute) {
    rate_ = engineRate(wordsPerMinute);
    if (engine_)
        engine_->setRate(rate_);
}

void QtSpeech::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled && engine_) { // an engine not built yet has nothing to stop
        queue_.clear();
        engine_->stop();
    }
}

void QtSpeech::speak(const QString& text, qint32) {
    if (!enabled_ || !engine())
        return;
    // Repeats of one word follow each other; a different word stops what is left, so the
    // learner never hears the previous question after the new one is shown.
    if (text != current_) {
        current_ = text;
        queue_ = {text};
        // A reading cut short still ends in its Ready, and only then does the engine take the
        // next one: a word handed over while it stops may be dropped and never heard.
        if (engine_->state() == QTextToSpeech::Speaking)
            engine_->stop();
        sayNext();
        return;
    }
    queue_.append(text);
    sayNext();
}

void QtSpeech::sayNext() {
    if (finished_ < issued_ || queue_.isEmpty() || !enabled_)
        return;
    say(queue_.takeFirst());
}

void QtSpeech::say(const QString& text) {
    ++issued_;
    engine_->say(text);
}
