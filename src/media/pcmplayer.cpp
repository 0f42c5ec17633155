#include "pcmplayer.h"

#include <QAudioSink>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <utility>

Q_LOGGING_CATEGORY(lcPlayer, "vokarin.sound", QtWarningMsg)

namespace {

constexpr qint64 BufferUs = 200'000;
// How often more is handed over, a tenth of the buffer.
constexpr int FeedMs = 20;
// A server that never says it has played everything is given up after the sound's length and
// this.
constexpr int GiveUpMs = 3000;

} // namespace

PcmPlayer::PcmPlayer(QObject* parent)
    : QObject(parent) {
    feeder_.setInterval(FeedMs);
    connect(&feeder_, &QTimer::timeout, this, &PcmPlayer::feed);
    giveUp_.setSingleShot(true);
    connect(&giveUp_, &QTimer::timeout, this, &PcmPlayer::end);
}

PcmPlayer::~PcmPlayer() {
    stop();
    letGo();
}

// Qt 6.4's sink gives the sound server's stream the sink's own parent, and lets events be
// handled while it is deleted; so sinks have no parent here and are deleted from the event loop
// or before the next playing, never inside one of their own signals.
void PcmPlayer::letGo() {
    for (QAudioSink* sink : std::exchange(retired_, {}))
        delete sink;
}

bool PcmPlayer::play(const Wave& sound) {
    stop();
    if (sound.isEmpty())
        return false;
    const QAudioFormat& format = sound.format;
    letGo();
    auto* sink = new QAudioSink(QMediaDevices::defaultAudioOutput(), format);
    sink->setBufferSize(format.bytesForDuration(BufferUs));
    QIODevice* const out = sink->start();
    if (!out || sink->state() == QAudio::StoppedState) {
        qCWarning(lcPlayer) << "no sound output takes" << format << sink->error();
        retired_ << sink;
        return false;
    }
    sink_ = sink;
    out_ = out;
    pcm_ = sound.pcm;
    written_ = 0;
    connect(sink_, &QAudioSink::stateChanged, this, &PcmPlayer::sinkChanged);
    giveUp_.start(int(sound.lengthMs()) + GiveUpMs);
    feed();
    return true;
}

void PcmPlayer::feed() {
    while (sink_ && written_ < pcm_.size()) {
        const qint64 room = qMin<qint64>(sink_->bytesFree(), pcm_.size() - written_);
        const qint64 taken = room > 0 ? out_->write(pcm_.constData() + written_, room) : 0;
        if (taken <= 0)
            break;
        written_ += taken;
    }
    if (sink_ && written_ < pcm_.size())
        feeder_.start();
    else
        feeder_.stop();
}

void PcmPlayer::sinkChanged() {
    if (!sink_)
        return;
    // Idle: the server has played all it was given; when that was everything, it was heard.
    // Stopped: the output went away.
    const QAudio::State state = sink_->state();
    if ((state == QAudio::IdleState && written_ == pcm_.size()) || state == QAudio::StoppedState)
        end();
}

void PcmPlayer::end() {
    if (!sink_)
        return;
    const bool whole = written_ == pcm_.size() && sink_->state() != QAudio::StoppedState;
    if (!whole)
        qCWarning(lcPlayer) << "sound output did not play all it was given" << sink_->error();
    stop();
    emit ended(whole);
}

void PcmPlayer::stop() {
    feeder_.stop();
    giveUp_.stop();
    if (!sink_)
        return;
    QAudioSink* const sink = sink_;
    sink_ = nullptr;
    out_ = nullptr;
    sink->disconnect(this);
    sink->stop();
    retired_ << sink; // not deleted here: this may run inside the sink's own signal
    QTimer::singleShot(0, this, &PcmPlayer::letGo);
}
