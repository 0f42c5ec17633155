#include "fliteengine.h"

#include <QLoggingCategory>
#include <utility>

// Makes the sound of one text after another, away from the window's thread (a long sentence
// takes flite tens of milliseconds).
class FliteWorker final : public QObject {
    Q_OBJECT

public:
    void read(quint64 serial, const QString& text, const QString& voice, double stretch) {
        emit made(serial, text, voices_.read(text, voice, stretch));
    }

signals:
    void made(quint64 serial, const QString& text, const Wave& sound);

private:
    FliteVoices voices_;
};

FliteEngine::FliteEngine(QObject* parent)
    : SpeechEngine(parent)
    , worker_(new FliteWorker) {
    qRegisterMetaType<Wave>();
    worker_->moveToThread(&thread_);
    connect(worker_, &FliteWorker::made, this, &FliteEngine::made);
    thread_.setObjectName(QStringLiteral("flite"));
    thread_.start();
    connect(&player_, &PcmPlayer::ended, this, &FliteEngine::ended);
}

FliteEngine::~FliteEngine() {
    thread_.quit();
    thread_.wait();
    delete worker_; // its voices are let go of after the last reading, the thread ended
}

QList<VoiceOffer> FliteEngine::englishVoices() {
    QList<VoiceOffer> offers;
    const QString us = locale().name();
    for (const QString& voice : FliteVoices::installed())
        offers.append({name(), us, voice});
    return offers;
}

void FliteEngine::say(const QString& text) {
    if (outstanding_)
        stop();
    outstanding_ = ++serial_;
    const quint64 serial = serial_;
    const QString voice = voice_;
    const double stretch = stretch_;
    QMetaObject::invokeMethod(
        worker_,
        [worker = worker_, serial, text, voice, stretch] {
            worker->read(serial, text, voice, stretch);
        },
        Qt::QueuedConnection);
}

void FliteEngine::stop() {
    if (!outstanding_)
        return;
    playing_ = QString();
    player_.stop();
    finish();
}

void FliteEngine::made(quint64 serial, const QString& text, const Wave& sound) {
    if (serial != outstanding_)
        return; // cut short while it was being made
    if (sound.isEmpty() || sound.peak() < AudiblePeak) {
        qCWarning(lcSpeech) << "flite voice" << voice_ << "gives no sound for" << text;
        emit unreadable(text);
        finish();
        return;
    }
    play(text, sound);
}

void FliteEngine::play(const QString& text, const Wave& sound) {
    if (!player_.play(sound)) {
        emit unreadable(text);
        finish();
        return;
    }
    playing_ = text;
    lengthMs_ = sound.lengthMs();
    peak_ = sound.peak();
    state_ = QTextToSpeech::Speaking;
    emit stateChanged(state_);
}

void FliteEngine::ended(bool whole) {
    const QString text = std::exchange(playing_, QString());
    if (whole)
        emit played(text, lengthMs_, peak_);
    else
        qCWarning(lcSpeech) << "sound output did not play all of" << text;
    finish();
}

void FliteEngine::finish() {
    outstanding_ = 0;
    state_ = QTextToSpeech::Ready;
    QMetaObject::invokeMethod(
        this, [this] { emit stateChanged(QTextToSpeech::Ready); }, Qt::QueuedConnection);
}

#include "fliteengine.moc"
