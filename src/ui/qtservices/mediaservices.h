#pragma once

#include "services/sound.h"
#include "services/speech.h"

#include <QStringList>
#include <memory>
#include <optional>

// Sound and speech from the media module (vokarin-media.so), which is loaded the first time
// the program speaks or sounds the alarm. Until then the settings given to speech are kept
// and handed on when it loads. Without the module the program runs silently.
class MediaServices final {
public:
    // Where to look for the module, in order.
    explicit MediaServices(const QStringList& folders);
    ~MediaServices();

    Sound& sound() { return sound_; }
    Speech& speech() { return speech_; }
    // Whether the module has been loaded (false before first use, and when it is missing).
    bool loaded() const { return realSound_ != nullptr; }

private:
    class DeferredSound final : public Sound {
    public:
        explicit DeferredSound(MediaServices& media)
            : media_(media) {}
        void play(const QString& wavePath) override;

    private:
        MediaServices& media_;
    };
    class DeferredSpeech final : public Speech {
    public:
        explicit DeferredSpeech(MediaServices& media)
            : media_(media) {}
        void open(const QString& siteName, const QString& appName) override;
        void setSpeed(qint32 wordsPerMinute) override;
        void setEnabled(bool enabled) override;
        void speak(const QString& text, qint32 flags) override;
        void speakRecording(const QString& file, const QString& text, qint32 flags) override;
        void setAccent(Accent accent) override;
        QString voiceInUse() override;
        QStringList voicesFound() override;
        QString betterVoicePackage() override;

    private:
        friend class MediaServices;
        MediaServices& media_;
        bool opened_ = false;
        QString siteName_, appName_;
        std::optional<qint32> speed_;
        std::optional<bool> enabled_;
        std::optional<Accent> accent_;
    };

    // Loads the module once; true when sound and speech are there.
    bool load();

    QStringList folders_;
    bool tried_ = false;
    std::unique_ptr<Sound> realSound_;
    std::unique_ptr<Speech> realSpeech_;
    DeferredSound sound_{*this};
    DeferredSpeech speech_{*this};
};
