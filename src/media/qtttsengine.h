#pragma once
// An engine of Qt's text-to-speech plugins (speech-dispatcher), as a SpeechEngine.
#include "speechengine.h"

class QtTtsEngine final : public SpeechEngine {
    Q_OBJECT

public:
    // Null when the plugin does not work.
    static QtTtsEngine* make(const QString& plugin, QObject* parent);

    QString name() const override { return tts_->engine(); }
    QList<VoiceOffer> englishVoices() override;
    void setVoice(const VoiceOffer& voice) override;
    QString voiceName() const override { return tts_->voice().name(); }
    QLocale locale() const override { return tts_->locale(); }
    void setRate(double rate) override { tts_->setRate(rate); }
    void say(const QString& text) override { tts_->say(text); }
    void stop() override { tts_->stop(); }
    QTextToSpeech::State state() const override { return tts_->state(); }

private:
    QtTtsEngine(QTextToSpeech* tts, QObject* parent);
    QTextToSpeech* tts_;
};
