#pragma once
// Plays sound already in memory, whole, on a sink made for each playing.
//
// Qt 6.4's sinks, started again, ask the sound server for the buffer their last stream ended
// with, which the server makes smaller each time until no sound is asked for at all; fed by
// Qt's own timer (pulling), a small buffer runs dry. So each playing has a sink of its own with
// the same buffer, and the sound is pushed into it as the server makes room.
#include "wavefile.h"

#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QTimer>

// "vokarin.sound": what the sound output refused or did not play.
Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

class QAudioSink;
class QIODevice;

class PcmPlayer final : public QObject {
    Q_OBJECT

public:
    explicit PcmPlayer(QObject* parent = nullptr);
    ~PcmPlayer() override;

    // Starts playing, ending whatever played before (without ended()); false when no sound
    // output takes it.
    bool play(const Wave& sound);
    // Ends the playing now, without ended().
    void stop();
    bool playing() const { return sink_ != nullptr; }

signals:
    // The playing is over: whole when the server took and played every sample.
    void ended(bool whole);

private:
    void feed();
    void sinkChanged();
    void end();
    void letGo();

    QAudioSink* sink_ = nullptr;
    QIODevice* out_ = nullptr; // the sink's
    QByteArray pcm_;
    qint64 written_ = 0;
    QTimer feeder_;
    // Gives a playing up when the server never says it has played it.
    QTimer giveUp_;
    // Sinks stopped and not yet deleted.
    QList<QAudioSink*> retired_;
};
