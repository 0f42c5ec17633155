#include "qtttsengine.h"

#include <QVoice>

QtTtsEngine::QtTtsEngine(QTextToSpeech* tts, QObject* parent)
    : SpeechEngine(parent)
    , tts_(tts) {
    tts_->setParent(this);
    connect(tts_, &QTextToSpeech::stateChanged, this, &SpeechEngine::stateChanged);
}

QtTtsEngine* QtTtsEngine::make(const QString& plugin, QObject* parent) {
    auto* tts = new QTextToSpeech(plugin);
    if (tts->state() == QTextToSpeech::Error) {
        delete tts;
        return nullptr;
    }
    return new QtTtsEngine(tts, parent);
}

// Listed under English locales only: the desktop's own (Chinese) locale is never taken.
QList<VoiceOffer> QtTtsEngine::englishVoices() {
    QList<VoiceOffer> offers;
    const QList<QLocale> locales = tts_->availableLocales();
    for (const QLocale& locale : locales) {
        if (locale.language() != QLocale::English)
            continue;
        tts_->setLocale(locale);
        const QList<QVoice> voices = tts_->availableVoices();
        for (const QVoice& voice : voices)
            offers.append({name(), locale.name(), voice.name()});
    }
    return offers;
}

void QtTtsEngine::setVoice(const VoiceOffer& offer) {
    tts_->setLocale(QLocale(offer.locale));
    const QList<QVoice> voices = tts_->availableVoices();
    for (const QVoice& voice : voices)
        if (voice.name() == offer.name) {
            tts_->setVoice(voice);
            return;
        }
}
