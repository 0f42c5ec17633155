#include "qtttsengine.h"

#include <QVoice>

QtTtsEngine::QtTtsEngine(QTextToSpeech* tts, QObject* parent)
    : SpeechEngine(parent)
    , tts_(tts) {
    tts_->setParent(this);
    connect(tts_, &QTextToSpeech::stateChanged, this, &SpeechEngine::stateChanged);
}

QtTtsEngine* QtTtsEngine::make(const QString& plugin, QObject* parent) {
    // Qt 6.4's speech-dispatcher engine starts in the program's default locale, Chinese here,
    // and fails outright ("Failed to initialize default locale and voice.") when no voice
    // speaks it; the English voices are chosen afterwards anyway.
    const QLocale program;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    auto* tts = new QTextToSpeech(plugin);
    QLocale::setDefault(program);
    if (tts->state() == QTextToSpeech::Error) {
        qCWarning(lcSpeech) << plugin << tts->errorString();
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
