#include "qtspeech.h"
#include "fliteengine.h"
#include "qtttsengine.h"
#include "voicechoice.h"

#include <QLoggingCategory>
#include <algorithm>
#include <functional>

Q_LOGGING_CATEGORY(lcSpeech, "vokarin.speech", QtWarningMsg)

QtSpeech::QtSpeech(QObject* parent)
    : QObject(parent) {}

// Building the engine takes tens of milliseconds, so it waits until it is first needed, when
// the window is already on screen.
void QtSpeech::open(const QString&, const QString&) {
    opened_ = true;
}

SpeechEngine* QtSpeech::engine() {
    if (opened_ && !tried_)
        build();
    return engine_;
}

// The engines' English voices, engine after engine until one is good enough, and the best of
// them. flite's voices are read by the program itself and asked first: they start at once,
// where speech-dispatcher takes seconds. An engine once made is kept for the program's life.
void QtSpeech::build() {
    tried_ = true;
    QStringList names = QTextToSpeech::availableEngines();
    names.removeAll(QStringLiteral("flite")); // Qt's own flite plugin loses words
    names.prepend(QStringLiteral("flite"));
    for (const QString& name : std::as_const(names)) {
        if (goodEnoughVoice(offers_, accent_))
            break;
        if (asked_.contains(name))
            continue;
        asked_ << name;
        SpeechEngine* candidate = nullptr;
        if (name == QLatin1String("flite")) {
            if (!FliteVoices::installed().isEmpty())
                candidate = new FliteEngine(this);
        } else {
            candidate = QtTtsEngine::make(name, this);
        }
        if (!candidate) {
            qCWarning(lcSpeech) << "speech engine" << name << "does not work";
            continue;
        }
        engines_ << candidate;
        offers_ << candidate->englishVoices();
    }
    const qsizetype best = bestVoice(offers_, accent_);
    if (best < 0) {
        // No English voice: the first engine that works, as it is.
        qCWarning(lcSpeech) << "no English voice among" << asked_;
        engine_ = engines_.value(0);
    } else {
        const VoiceOffer& chosen = offers_[best];
        for (SpeechEngine* candidate : std::as_const(engines_))
            if (candidate->name() == chosen.engine)
                engine_ = candidate;
        engine_->setVoice(chosen);
        qCInfo(lcSpeech) << "reading with" << chosen.engine << chosen.locale << chosen.name
                         << (onlyRoboticVoices(offers_, accent_) ? "(no natural voice installed)"
                                                                 : "");
        if (const QString better = ::betterVoicePackage(offers_, accent_); !better.isEmpty())
            qCWarning(lcSpeech) << "no voice for this accent; install" << better;
    }
    if (!engine_)
        return;
    engine_->setRate(rate_);
    // Every utterance ends in one Ready, including one cut short by a new word, and that
    // Ready may arrive after the next say(). Only the Ready of the latest utterance lets the
    // next reading start; a late one from an earlier utterance is ignored.
    connect(engine_, &SpeechEngine::stateChanged, this, [this](QTextToSpeech::State state) {
        qCDebug(lcSpeech) << current_ << state << "issued" << issued_ << "finished" << finished_
                          << "queued" << queue_.size();
        // An engine may fail a word outright: Error, then Ready. That Ready ends the failed
        // reading like any other, and the readings left go on.
        if (state == QTextToSpeech::Ready)
            readingEnded();
    });
}

void QtSpeech::readingEnded() {
    if (finished_ < issued_)
        ++finished_;
    sayNext();
}

RecordingPlayer& QtSpeech::recordings() {
    if (!recordings_) {
        recordings_ = new RecordingPlayer(this);
        connect(recordings_, &RecordingPlayer::ended, this,
                [this](RecordingPlayer::Outcome outcome) {
                    const QString file = playingRecording_;
                    playingRecording_.clear();
                    if (outcome != RecordingPlayer::Outcome::Stopped)
                        emit recordingPlayed(file, outcome == RecordingPlayer::Outcome::Played);
                    // A recording that cannot be played is read by the voice, as the same
                    // reading: the voice's Ready ends it.
                    if (outcome == RecordingPlayer::Outcome::Failed && enabled_ && engine()) {
                        qCWarning(lcSpeech) << "recording" << file << "not played; read instead";
                        engine_->say(current_);
                        return;
                    }
                    readingEnded();
                });
    }
    return *recordings_;
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
        engine_ = nullptr;
    }
    finished_ = issued_;
    tried_ = false;
}

QString QtSpeech::voiceInUse() {
    SpeechEngine* const in = engine();
    return in ? QStringLiteral("%1 · %2").arg(in->name(), in->voiceName()) : QString();
}

QStringList QtSpeech::voicesFound() {
    engine(); // the engines are asked when first needed
    QList<VoiceOffer> offers = offers_;
    std::ranges::stable_sort(offers, std::greater{}, [this](const VoiceOffer& offer) {
        return voiceScore(offer, accent_);
    });
    QStringList found;
    for (const VoiceOffer& offer : std::as_const(offers))
        if (voiceScore(offer, accent_) > 0)
            found << QStringLiteral("%1 · %2 (%3)").arg(offer.engine, offer.name, offer.locale);
    return found;
}

QString QtSpeech::betterVoicePackage() {
    engine(); // the engines are asked when first needed
    return ::betterVoicePackage(offers_, accent_);
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
    if (!enabled && recordings_) {
        queue_.clear();
        recordings_->stop();
    }
}

void QtSpeech::speak(const QString& text, qint32) {
    if (!enabled_ || !engine())
        return;
    queueReading({text, {}});
}

void QtSpeech::speakRecording(const QString& file, const QString& text, qint32) {
    if (!enabled_)
        return;
    engine(); // for the text, should the recording not play
    queueReading({text, file});
}

void QtSpeech::queueReading(const Reading& reading) {
    // Repeats of one word follow each other; a different word stops what is left, so the
    // learner never hears the previous question after the new one is shown.
    if (reading.text != current_) {
        current_ = reading.text;
        queue_ = {reading};
        // A reading cut short still ends in its Ready, and only then does the engine take the
        // next one: a word handed over while it stops may be dropped and never heard.
        if (engine_ && engine_->state() == QTextToSpeech::Speaking)
            engine_->stop();
        if (recordings_ && recordings_->busy())
            recordings_->stop();
        sayNext();
        return;
    }
    queue_.append(reading);
    sayNext();
}

void QtSpeech::sayNext() {
    if (finished_ < issued_ || queue_.isEmpty() || !enabled_)
        return;
    say(queue_.takeFirst());
}

void QtSpeech::say(const Reading& reading) {
    ++issued_;
    if (!reading.recording.isEmpty()) {
        playingRecording_ = reading.recording;
        recordings().play(reading.recording);
    } else if (engine_) {
        engine_->say(reading.text);
    } else {
        readingEnded();
    }
}
