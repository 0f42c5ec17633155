#include "qtservices/mediaservices.h"

#include "qtservices/modules.h"
#include "services/mediafactory.h"

MediaServices::MediaServices(const QStringList& folders)
    : folders_(folders) {}

MediaServices::~MediaServices() = default;

bool MediaServices::load() {
    if (tried_)
        return loaded();
    tried_ = true;
    auto* const media =
        qobject_cast<MediaFactory*>(moduleInstance(folders_, QStringLiteral("vokarin-media")));
    if (!media)
        return false; // no sound and no speech
    realSound_.reset(media->createSound());
    realSpeech_.reset(media->createSpeech());
    // What speech was told before it was there, in the order it matters.
    if (speech_.accent_)
        realSpeech_->setAccent(*speech_.accent_);
    if (speech_.opened_)
        realSpeech_->open(speech_.siteName_, speech_.appName_);
    if (speech_.speed_)
        realSpeech_->setSpeed(*speech_.speed_);
    if (speech_.enabled_)
        realSpeech_->setEnabled(*speech_.enabled_);
    return true;
}

void MediaServices::DeferredSound::play(const QString& wavePath) {
    if (media_.load())
        media_.realSound_->play(wavePath);
}

void MediaServices::DeferredSpeech::open(const QString& siteName, const QString& appName) {
    opened_ = true;
    siteName_ = siteName;
    appName_ = appName;
    if (media_.loaded())
        media_.realSpeech_->open(siteName, appName);
}

void MediaServices::DeferredSpeech::setSpeed(qint32 wordsPerMinute) {
    speed_ = wordsPerMinute;
    if (media_.loaded())
        media_.realSpeech_->setSpeed(wordsPerMinute);
}

void MediaServices::DeferredSpeech::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (media_.loaded())
        media_.realSpeech_->setEnabled(enabled);
}

void MediaServices::DeferredSpeech::setAccent(Accent accent) {
    accent_ = accent;
    if (media_.loaded())
        media_.realSpeech_->setAccent(accent);
}

QString MediaServices::DeferredSpeech::voiceInUse() {
    return media_.load() ? media_.realSpeech_->voiceInUse() : QString();
}

QStringList MediaServices::DeferredSpeech::voicesFound() {
    return media_.load() ? media_.realSpeech_->voicesFound() : QStringList();
}

void MediaServices::DeferredSpeech::speak(const QString& text, qint32 flags) {
    if (media_.load())
        media_.realSpeech_->speak(text, flags);
}

void MediaServices::DeferredSpeech::speakRecording(const QString& file, const QString& text,
                                                   qint32 flags) {
    if (media_.load())
        media_.realSpeech_->speakRecording(file, text, flags);
}

QString MediaServices::DeferredSpeech::betterVoicePackage() {
    return media_.load() ? media_.realSpeech_->betterVoicePackage() : QString();
}
