#pragma once

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
    // Chooses the voice again, the next time one is needed.
    void setAccent(Accent accent) override;
    QString voiceInUse() override;
    QStringList voicesFound() override;

    // The engine in use, built now if it was not yet; null when none works.
    SpeechEngine* engine();
    // Nothing waits to be read and everything handed to the engine has been read: no more is
    // heard until the next speak().
    bool idle() const { return queue_.isEmpty() && finished_ == issued_; }

private:
    void build();
    void sayNext();
    void say(const QString& text);

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
    QStringList queue_;
};
