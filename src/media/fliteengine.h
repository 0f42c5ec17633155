#pragma once
// flite's voices, made into sound on a thread of their own and played whole.
#include "flitevoices.h"
#include "pcmplayer.h"
#include "speechengine.h"

#include <QThread>

class FliteWorker;

class FliteEngine final : public SpeechEngine {
    Q_OBJECT

public:
    explicit FliteEngine(QObject* parent = nullptr);
    ~FliteEngine() override;

    QString name() const override { return QStringLiteral("flite"); }
    QList<VoiceOffer> englishVoices() override;
    void setVoice(const VoiceOffer& voice) override { voice_ = voice.name; }
    QString voiceName() const override { return voice_; }
    QLocale locale() const override { return {QLocale::English, QLocale::UnitedStates}; }
    void setRate(double rate) override { stretch_ = fliteStretch(rate); }
    void say(const QString& text) override;
    void stop() override;
    QTextToSpeech::State state() const override { return state_; }

signals:
    // A reading played to its end: how long it was and its loudest sample.
    void played(const QString& text, qint64 lengthMs, int peak);
    // A text that gave no sound; said in the log too.
    void unreadable(const QString& text);

private:
    void made(quint64 serial, const QString& text, const Wave& sound);
    void play(const QString& text, const Wave& sound);
    void ended(bool whole);
    // Ends the reading under way: a Ready, always from the event loop.
    void finish();

    QThread thread_;
    FliteWorker* worker_;
    PcmPlayer player_;
    QString voice_;
    double stretch_ = 1.0;
    QTextToSpeech::State state_ = QTextToSpeech::Ready;
    quint64 serial_ = 0;
    // The reading under way (made or played), 0 with none.
    quint64 outstanding_ = 0;
    QString playing_;
    qint64 lengthMs_ = 0;
    int peak_ = 0;
};
