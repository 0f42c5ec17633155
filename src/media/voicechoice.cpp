#include "voicechoice.h"

using namespace Qt::StringLiterals;

namespace {

bool has(const QString& text, QLatin1StringView part) {
    return text.contains(part, Qt::CaseInsensitive);
}

// Scores by kind, before the accent is weighed.
constexpr int Natural = 100, FliteBest = 60, Espeak = 30, Novelty = 2;
constexpr int BritishRp = FliteBest + 10; // the one espeak-ng voice that beats flite
constexpr int RoboticBelow = Natural;     // every score under it is a synthetic voice

} // namespace

int voiceScore(const VoiceOffer& voice, Accent accent) {
    const QString& name = voice.name;
    const bool englishLocale = voice.locale.startsWith(QLatin1String("en"));
    const bool englishName = has(name, "english"_L1) || has(name, "en-"_L1) ||
                             has(name, "en_"_L1) || has(name, "_us_"_L1) || has(name, "_uk_"_L1);
    if (!englishLocale && !englishName)
        return 0;
    const bool american = has(name, "america"_L1) || has(name, "_us_"_L1) ||
                          has(name, "en-us"_L1) || has(name, "en_us"_L1) ||
                          voice.engine == QLatin1String("flite");
    const bool british = has(name, "received pronunciation"_L1) || has(name, "great britain"_L1) ||
                         has(name, "en-gb"_L1) || has(name, "en_gb"_L1) || has(name, "_uk_"_L1) ||
                         has(name, "rab_"_L1);
    const bool wanted = accent == Accent::American ? american : british;

    // Festival's HTS voices (cmu_us_slt_arctic_hts …), MBROLA's and festival's clustergen ones.
    if (has(name, "hts"_L1) || has(name, "mbrola"_L1) || has(name, "_cg"_L1))
        return Natural + (wanted ? 10 : 0);
    if (voice.engine == QLatin1String("flite")) {
        static const QLatin1StringView ranked[] = {"slt"_L1, "rms"_L1, "kal16"_L1, "kal"_L1};
        for (int i = 0; i < 4; ++i)
            if (name.compare(ranked[i], Qt::CaseInsensitive) == 0)
                return FliteBest - 5 * i;
        return Novelty + 1; // awb (Scottish) and whatever else
    }
    // espeak-ng, under whatever names the engine lists it.
    if (name.contains(u'+'))
        return Novelty;
    if (accent == Accent::British && has(name, "received pronunciation"_L1))
        return BritishRp;
    if (has(name, "scotland"_L1) || has(name, "lancaster"_L1) || has(name, "midlands"_L1) ||
        has(name, "caribbean"_L1) || has(name, "new york"_L1))
        return Novelty + 1;
    return Espeak + (wanted ? 5 : 0);
}

qsizetype bestVoice(const QList<VoiceOffer>& offers, Accent accent) {
    qsizetype best = -1;
    int bestScore = 0;
    for (qsizetype i = 0; i < offers.size(); ++i)
        if (const int score = voiceScore(offers[i], accent); score > bestScore)
            best = i, bestScore = score;
    return best;
}

bool goodEnoughVoice(const QList<VoiceOffer>& offers, Accent accent) {
    const qsizetype best = bestVoice(offers, accent);
    return best >= 0 &&
           voiceScore(offers[best], accent) >= (accent == Accent::British ? BritishRp : FliteBest);
}

QString betterVoicePackage(const QList<VoiceOffer>& offers, Accent accent) {
    return accent == Accent::British && !goodEnoughVoice(offers, accent)
               ? QStringLiteral("speech-dispatcher-espeak-ng")
               : QString();
}

bool onlyRoboticVoices(const QList<VoiceOffer>& offers, Accent accent) {
    const qsizetype best = bestVoice(offers, accent);
    return best < 0 || voiceScore(offers[best], accent) < RoboticBelow;
}
