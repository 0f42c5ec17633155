#pragma once
// One engine that reads aloud: Qt's (speech-dispatcher) or flite's voices read by the program.
#include "voicechoice.h"

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QTextToSpeech>

// QT_LOGGING_RULES="vokarin.speech.debug=true" shows every state the engines report.
Q_DECLARE_LOGGING_CATEGORY(lcSpeech)

class SpeechEngine : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // "flite", "speechd"
    virtual QString name() const = 0;
    // Every English voice it has, each with the locale it is listed under.
    virtual QList<VoiceOffer> englishVoices() = 0;
    // One of englishVoices().
    virtual void setVoice(const VoiceOffer& voice) = 0;
    virtual QString voiceName() const = 0;
    virtual QLocale locale() const = 0;
    // In [-1, 1], 0 the voice's normal pace.
    virtual void setRate(double rate) = 0;
    // Every reading ends in a Ready, also one cut short by stop(); that Ready may come after
    // the next say().
    virtual void say(const QString& text) = 0;
    virtual void stop() = 0;
    virtual QTextToSpeech::State state() const = 0;

signals:
    void stateChanged(QTextToSpeech::State state);
};
