#pragma once

#include "recordingplayer.h"
#include "services/speech.h"
#include "voicechoice.h"

#include <QObject>
#include <QStringList>

class SpeechEngine;

class QtSpeech final : public QObject, public Speech {
    Q_OBJECT

public:
    explicit QtSpeech(QObject* parent = nullptr);

    // Picks, when it is first needed, the English voice best to imitate in the accent asked
    // for, among the engines' (the locale set to English, never the desktop's); with no English
    // voice, the first engine that works. With none the program is simply silent.
    void open(const QString& siteName, const QString& appName) override;
    void setSpeed(qint32 wordsPerMinute) override;
    void setEnabled(bool enabled) override;
    void speak(const QString& text, qint32 flags) override;
    // Plays the recording; the voice reads text when it cannot be played.
    void speakRecording(const QString& file, const QString& text, qint32 flags) override;
    // Chooses the voice again, the next time one is needed.
    void setAccent(Accent accent) override;
    QString voiceInUse() override;
    QStringList voicesFound() override;
    QString betterVoicePackage() override;

    // The engine in use, built now if it was not yet; null when none works.
    SpeechEngine* engine();
    // Nothing waits to be read and everything handed to the engine has been read: no more is
    // heard until the next speak().
    bool idle() const { return queue_.isEmpty() && finished_ == issued_; }

signals:
    // A recording was played to its end, or could not be (and its text was read instead).
    void recordingPlayed(const QString& file, bool played);

private:
    // A reading: the text, and the recording played for it, if any.
    struct Reading {
        QString text;
        QString recording;
    };
    void build();
    void queueReading(const Reading& reading);
    void sayNext();
    void say(const Reading& reading);
    // The reading handed over has ended.
    void readingEnded();
    RecordingPlayer& recordings();

    SpeechEngine* engine_ = nullptr;
    // Every engine asked, those that work, and the English voices they offer.
    QStringList asked_;
    QList<SpeechEngine*> engines_;
    QList<VoiceOffer> offers_;
    bool opened_ = false;
    bool tried_ = false;
    double rate_ = 0;
    Accent accent_ = Accent::American;
    bool enabled_ = true;
    // Utterances handed to the engine, and those whose end the engine has reported.
    quint64 issued_ = 0;
    quint64 finished_ = 0;
    QString current_;
    QList<Reading> queue_;
    RecordingPlayer* recordings_ = nullptr; // made when the first recording is played
    QString playingRecording_;
};
