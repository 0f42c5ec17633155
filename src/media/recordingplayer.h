#pragma once
// Plays a recording of a word from its file: a wave file as it is, anything else (MP3, Ogg…)
// decoded first by Qt's decoder, then played whole like a word a voice made.
#include "pcmplayer.h"

#include <QObject>
#include <QTimer>

class QAudioDecoder;

class RecordingPlayer final : public QObject {
    Q_OBJECT

public:
    enum class Outcome { Played, Failed, Stopped };

    explicit RecordingPlayer(QObject* parent = nullptr);
    ~RecordingPlayer() override;

    // Starts playing file, stopping what played before; ends in one ended(), always from the
    // event loop.
    void play(const QString& file);
    // Ends the playing under way: ended(Stopped).
    void stop();
    bool busy() const { return serial_ != 0; }

signals:
    void ended(RecordingPlayer::Outcome outcome);

private:
    void decoded();
    void finish(Outcome outcome);
    void dropDecoder();

    PcmPlayer player_;
    QAudioDecoder* decoder_ = nullptr;
    Wave sound_;
    QString file_;
    QTimer giveUp_;      // a decoder that never finishes
    quint64 serial_ = 0; // of the playing under way, 0 with none
    quint64 serials_ = 0;
};
