#pragma once

#include "services/speech.h"

#include <QObject>
#include <QStringList>

class QTextToSpeech;

class QtSpeech final : public QObject, public Speech {
    Q_OBJECT

public:
    explicit QtSpeech(QObject* parent = nullptr);

    // Picks the first engine that works: the default one, then the others. With none the
    // program is simply silent.
    void open(const QString& siteName, const QString& appName) override;
    void setSpeed(qint32 wordsPerMinute) override;
    void setEnabled(bool enabled) override;
    void speak(const QString& text, qint32 flags) override;

    // The engine in use, or null when none works.
    QTextToSpeech* engine() const { return engine_; }

private:
    void sayNext();
    void say(const QString& text);

    QTextToSpeech* engine_ = nullptr;
    double rate_ = 0;
    bool enabled_ = true;
    // Utterances handed to the engine, and those whose end the engine has reported.
    quint64 issued_ = 0;
    quint64 finished_ = 0;
    QString current_;
    QStringList queue_;
};
