#include "fliteengine.h"

#include <QAudioSink>
#include <QLoggingCategory>
#include <QMediaDevices>

Q_DECLARE_LOGGING_CATEGORY(lcSpeech)

// Makes the sound of one text after another, away from the window's thread (a long sentence
// takes flite tens of milliseconds).
class FliteWorker final : public QObject {
    Q_OBJECT

public:
    void read(quint64 serial, const QString& text, const QString& voice, double stretch) {
        emit made(serial, text, voices_.read(text, voice, stretch));
    }

signals:
    void made(quint64 serial, const QString& text, const Samples& samples);

private:
    FliteVoices voices_;
};

namespace {

// A sink that never says it has taken everything (no working server) is given up after the
// word's length and this.
constexpr qint64 GiveUpMs = 3000;
constexpr qint64 BufferUs = 200'000;
// How often more of a word is handed over, a tenth of the buffer.
constexpr int FeedMs = 20;

} // namespace

FliteEngine::FliteEngine(QObject* parent)
    : SpeechEngine(parent)
    , worker_(new FliteWorker) {
    qRegisterMetaType<Samples>();
    worker_->moveToThread(&thread_);
    connect(worker_, &FliteWorker::made, this, &FliteEngine::made);
    thread_.setObjectName(QStringLiteral("flite"));
    thread_.start();
    tail_.setSingleShot(true);
    connect(&tail_, &QTimer::timeout, this, &FliteEngine::heardToTheEnd);
    feeder_.setInterval(FeedMs);
    connect(&feeder_, &QTimer::timeout, this, &FliteEngine::feed);
}

FliteEngine::~FliteEngine() {
    thread_.quit();
    thread_.wait();
    delete worker_; // its voices are let go of after the last reading, the thread ended
    if (sink_)
        sink_->stop();
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
    tail_.stop();
    feeder_.stop();
    if (sink_ && !playing_.isNull()) {
        playing_ = QString();
        sink_->stop();
    }
    finish();
}

void FliteEngine::made(quint64 serial, const QString& text, const Samples& samples) {
    if (serial != outstanding_)
        return; // cut short while it was being made
    if (samples.isEmpty() || samples.peak() == 0) {
        qCWarning(lcSpeech) << "flite voice" << voice_ << "gives no sound for" << text;
        emit unreadable(text);
        finish();
        return;
    }
    play(text, samples);
}

void FliteEngine::play(const QString& text, const Samples& samples) {
    QAudioFormat format;
    format.setSampleFormat(QAudioFormat::Int16);
    format.setSampleRate(samples.sampleRate);
    format.setChannelCount(samples.channels);
    // A sink for each reading, asked for the same buffer each time: Qt 6.4's sink asks the
    // server for the buffer its last stream ended with, which the server makes smaller each
    // time, until no sound is asked for at all.
    if (sink_)
        sink_->deleteLater();
    sink_ = new QAudioSink(QMediaDevices::defaultAudioOutput(), format, this);
    sink_->setBufferSize(format.bytesForDuration(BufferUs));
    connect(sink_, &QAudioSink::stateChanged, this, &FliteEngine::sinkChanged);
    pcm_ = samples.pcm;
    written_ = 0;
    lengthMs_ = samples.lengthMs();
    peak_ = samples.peak();
    clock_.start();
    out_ = sink_->start(); // its own Stopped on the way is not the reading's end
    if (!out_ || sink_->state() == QAudio::StoppedState) {
        qCWarning(lcSpeech) << "no sound output for" << text << sink_->error();
        emit unreadable(text);
        finish();
        return;
    }
    playing_ = text;
    tail_.start(lengthMs_ + GiveUpMs);
    feed();
    state_ = QTextToSpeech::Speaking;
    emit stateChanged(state_);
}

// As much of the word as the server has room for, and the rest as room is made.
void FliteEngine::feed() {
    while (written_ < pcm_.size()) {
        const qint64 room = qMin<qint64>(sink_->bytesFree(), pcm_.size() - written_);
        const qint64 taken = room > 0 ? out_->write(pcm_.constData() + written_, room) : 0;
        if (taken <= 0)
            break;
        written_ += taken;
    }
    if (written_ < pcm_.size())
        feeder_.start();
    else
        feeder_.stop();
}

void FliteEngine::sinkChanged() {
    if (playing_.isNull())
        return;
    switch (sink_->state()) {
    case QAudio::IdleState:
        // The server has played all it was given; when that was the whole word, it was heard.
        if (written_ == pcm_.size())
            heardToTheEnd();
        break;
    case QAudio::StoppedState:
        qCWarning(lcSpeech) << "sound output stopped reading" << playing_ << sink_->error();
        playing_ = QString();
        tail_.stop();
        feeder_.stop();
        finish();
        break;
    default:
        break;
    }
}

void FliteEngine::heardToTheEnd() {
    const QString text = playing_;
    if (text.isNull())
        return;
    playing_ = QString();
    tail_.stop();
    feeder_.stop();
    const bool whole = written_ == pcm_.size();
    sink_->stop();
    if (whole)
        emit played(text, lengthMs_, peak_);
    else
        qCWarning(lcSpeech) << "sound output did not take all of" << text;
    finish();
}

void FliteEngine::finish() {
    outstanding_ = 0;
    state_ = QTextToSpeech::Ready;
    QMetaObject::invokeMethod(
        this, [this] { emit stateChanged(QTextToSpeech::Ready); }, Qt::QueuedConnection);
}

#include "fliteengine.moc"
