#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The pronunciation a learner imitates.
enum class Accent { American, British };

// The text-to-speech object. Every call returns at once; speaking goes on in the background.
class Speech {
public:
    virtual ~Speech() = default;
    // The opening call, made once at start-up before anything else.
    virtual void open(const QString& siteName, const QString& appName) = 0;
    // Words per minute, 160 being a normal pace.
    virtual void setSpeed(qint32 wordsPerMinute) = 0;
    virtual void setEnabled(bool enabled) = 0;
    // Queued after whatever is still being spoken, so n calls are heard n times.
    virtual void speak(const QString& text, qint32 flags) = 0;
    // A recording of text's pronunciation (a file), queued as speak() queues text; text is read
    // by the voice instead when the recording cannot be played.
    virtual void speakRecording(const QString& file, const QString& text, qint32 flags) = 0;
    // The pronunciation the learner imitates: the voice is chosen for it.
    virtual void setAccent(Accent) {}
    // The voice that reads ("flite · slt"), chosen now if it was not yet; empty with none.
    virtual QString voiceInUse() { return {}; }
    // Every English voice found ("flite · slt (en_US)"), best first for the accent.
    virtual QStringList voicesFound() { return {}; }
    // The Debian package that would read the accent better than the voices found, if one would.
    virtual QString betterVoicePackage() = 0;
};

// Maps words per minute onto an engine rate in [-1, 1]: 80 is the slowest, 160 the engine's
// normal pace and 280 the fastest the settings offer.
inline double engineRate(qint32 wordsPerMinute) {
    const double rate =
        wordsPerMinute < 160 ? (wordsPerMinute - 160) / 80.0 : (wordsPerMinute - 160) / 120.0;
    return qBound(-1.0, rate, 1.0);
}
