#include "recordingplayer.h"

#include <QAudioDecoder>
#include <QUrl>

namespace {

// A word's recording is decoded in far less.
constexpr int DecodeMs = 10000;

} // namespace

RecordingPlayer::RecordingPlayer(QObject* parent)
    : QObject(parent) {
    giveUp_.setSingleShot(true);
    connect(&giveUp_, &QTimer::timeout, this, [this] {
        qCWarning(lcPlayer) << "recording" << file_ << "not decoded in time";
        finish(Outcome::Failed);
    });
    connect(&player_, &PcmPlayer::ended, this,
            [this](bool whole) { finish(whole ? Outcome::Played : Outcome::Failed); });
}

RecordingPlayer::~RecordingPlayer() {
    dropDecoder();
}

void RecordingPlayer::play(const QString& file) {
    stop();
    serial_ = ++serials_;
    file_ = file;
    if (std::optional<Wave> wave = readWave(file)) {
        if (!player_.play(*wave))
            finish(Outcome::Failed);
        return;
    }
    // Not a wave file: decoded into 16-bit sound first, within the same bound as a wave's.
    sound_ = {};
    decoder_ = new QAudioDecoder(this);
    QAudioFormat format;
    format.setSampleFormat(QAudioFormat::Int16);
    decoder_->setAudioFormat(format);
    connect(decoder_, &QAudioDecoder::bufferReady, this, [this] {
        const QAudioBuffer buffer = decoder_->read();
        if (!buffer.isValid())
            return;
        if (sound_.pcm.isEmpty())
            sound_.format = buffer.format();
        if (buffer.format() != sound_.format ||
            sound_.pcm.size() + buffer.byteCount() > MaxWaveBytes) {
            qCWarning(lcPlayer) << "recording" << file_ << "is no word's recording";
            return finish(Outcome::Failed);
        }
        sound_.pcm.append(buffer.constData<char>(), buffer.byteCount());
    });
    connect(decoder_, &QAudioDecoder::finished, this, &RecordingPlayer::decoded);
    connect(decoder_, qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), this,
            [this](QAudioDecoder::Error) {
                qCWarning(lcPlayer)
                    << "recording" << file_ << "cannot be decoded:" << decoder_->errorString();
                finish(Outcome::Failed);
            });
    decoder_->setSource(QUrl::fromLocalFile(file));
    giveUp_.start(DecodeMs);
    decoder_->start();
}

void RecordingPlayer::decoded() {
    giveUp_.stop();
    dropDecoder();
    if (sound_.isEmpty() || !player_.play(sound_)) {
        qCWarning(lcPlayer) << "recording" << file_ << "gives no sound";
        finish(Outcome::Failed);
    }
    sound_ = {};
}

void RecordingPlayer::stop() {
    if (serial_ != 0)
        finish(Outcome::Stopped);
}

void RecordingPlayer::finish(Outcome outcome) {
    if (serial_ == 0)
        return;
    serial_ = 0;
    giveUp_.stop();
    dropDecoder();
    player_.stop();
    sound_ = {};
    QMetaObject::invokeMethod(
        this, [this, outcome] { emit ended(outcome); }, Qt::QueuedConnection);
}

void RecordingPlayer::dropDecoder() {
    if (!decoder_)
        return;
    decoder_->disconnect(this);
    decoder_->stop();
    decoder_->deleteLater(); // this may run inside the decoder's own signal
    decoder_ = nullptr;
}
