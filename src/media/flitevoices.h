#pragma once
// flite's US English voices, read by the program itself: Qt 6.4's flite plugin writes each piece
// of sound into its audio sink without waiting for room, and whatever does not fit is lost
// ("Audio streaming error."), so words like "international" were never heard through it.
// Here a word is made whole, then played.
#include "wavefile.h"

#include <QHash>
#include <QString>
#include <QStringList>

struct cst_voice_struct;

// libflite and its voices, loaded when first asked for. One object is used from one thread
// only (flite keeps state of its own); it is not meant to be copied.
class FliteVoices final {
public:
    FliteVoices() = default;
    FliteVoices(const FliteVoices&) = delete;
    FliteVoices& operator=(const FliteVoices&) = delete;
    ~FliteVoices();

    // The voices present ("slt", "rms", ...), each a library of its own; empty without libflite.
    // Looked for once.
    static QStringList installed();

    // The text read by that voice at that pace (1 normal, 2 twice as slow), 16-bit, up to its
    // first MostSpokenCharacters; empty when it cannot be read (no such voice, no libflite,
    // nothing to say).
    Wave read(const QString& text, const QString& voice, double stretch);

private:
    cst_voice_struct* voice(const QString& name);

    using Unregister = void (*)(cst_voice_struct*);
    struct Loaded {
        cst_voice_struct* voice = nullptr;
        Unregister unregister = nullptr;
    };
    QHash<QString, Loaded> voices_;
    bool initialised_ = false;
};

// Below this loudest sample a word has nothing to hear: flite makes a murmur of 185 ms (its
// loudest sample about 80) of text it cannot say, Chinese or punctuation alone.
constexpr int AudiblePeak = 500;

// No word or phrase is longer; a field of a thousand letters took flite 2.6 s to make (18.6 s
// under AddressSanitizer) and 219 s to hear.
constexpr qsizetype MostSpokenCharacters = 300;

// Maps an engine rate in [-1, 1] onto flite's duration stretch, as speech-dispatcher does.
double fliteStretch(double rate);
