#pragma once
// flite's US English voices, read by the program itself: Qt 6.4's flite plugin writes each piece
// of sound into its audio sink without waiting for room, and whatever does not fit is lost
// ("Audio streaming error."), so words like "international" were never heard through it.
// Here a word is made whole, then played.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

struct cst_voice_struct;

// A word's sound: 16-bit samples, as flite makes them.
struct Samples final {
    QByteArray pcm;
    int sampleRate = 0;
    int channels = 0;

    bool isEmpty() const { return pcm.isEmpty() || sampleRate <= 0 || channels <= 0; }
    qint64 lengthMs() const {
        return isEmpty() ? 0 : qint64(pcm.size()) * 1000 / (2LL * sampleRate * channels);
    }
    // The loudest sample's magnitude, 0 for silence.
    int peak() const;
};

// libflite and its voices, loaded when first asked for. One object is used from one thread
// only (flite keeps state of its own); it is not meant to be copied.
class FliteVoices final {
public:
    FliteVoices() = default;
    FliteVoices(const FliteVoices&) = delete;
    FliteVoices& operator=(const FliteVoices&) = delete;
    ~FliteVoices();

    // The voices present ("slt", "rms", ...), each a library of its own; empty without libflite.
    static QStringList installed();

    // The text read by that voice at that pace (1 normal, 2 twice as slow); empty when it
    // cannot be read (no such voice, no libflite, nothing to say).
    Samples read(const QString& text, const QString& voice, double stretch);

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

// Maps an engine rate in [-1, 1] onto flite's duration stretch, as speech-dispatcher does.
double fliteStretch(double rate);
