#pragma once
// Which of the voices the speech engines offer reads English best for a learner who wants
// American or British pronunciation: a voice to imitate, never one that merely speaks.
#include "services/speech.h"

#include <QList>
#include <QString>

// A voice as an engine offers it: the engine's name ("flite", "speechd"), the locale it was
// listed under ("en_US") and the voice's own name ("slt", "English (America)").
struct VoiceOffer final {
    QString engine;
    QString locale;
    QString name;

    bool operator==(const VoiceOffer&) const = default;
};

// How good a voice is to imitate in that accent, higher better; 0 for one that does not read
// English. Natural voices (festival's HTS voices and the like) first, then flite's US voices
// (slt, rms, kal16, kal), espeak-ng last, except its Received Pronunciation for British English;
// flite's awb, a Scottish voice, and espeak-ng's novelty variants ("+croak") at the bottom.
int voiceScore(const VoiceOffer& voice, Accent accent);

// The offer to use (its index), or -1 when none reads English; the first of equals.
qsizetype bestVoice(const QList<VoiceOffer>& offers, Accent accent);

// Whether the best of these is as good as a voice without a natural one gets for the accent
// (flite's slt for American, espeak-ng's Received Pronunciation for British): then another
// engine is not started to look further (speech-dispatcher takes seconds to start).
bool goodEnoughVoice(const QList<VoiceOffer>& offers, Accent accent);

// Only robotic voices, or none: the learner is told once which packages give a natural one.
bool onlyRoboticVoices(const QList<VoiceOffer>& offers, Accent accent);

// The Debian package that would read the accent better than these voices, where one alone
// does: espeak-ng's Received Pronunciation through speech-dispatcher for British English when
// no British voice is there; empty otherwise.
QString betterVoicePackage(const QList<VoiceOffer>& offers, Accent accent);
