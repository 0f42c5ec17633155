#include "flitevoices.h"

#include <QLibrary>
#include <algorithm>

extern "C" {
#include <flite/flite.h>
}

namespace {

// The US voices Debian's libflite brings, each in a library named after it.
const char* const KnownVoices[] = {"slt", "rms", "kal16", "kal", "awb"};

// libflite's own functions, looked up when first needed so that the program runs (silent)
// without it.
struct Flite final {
    decltype(&flite_init) init = nullptr;
    decltype(&flite_text_to_wave) toWave = nullptr;
    decltype(&delete_wave) deleteWave = nullptr;
    decltype(&feat_set_float) setFloat = nullptr;

    static const Flite& get() {
        static const Flite flite = [] {
            Flite f;
            QLibrary library(QStringLiteral("flite"), 1);
            if (!library.load())
                return f;
            f.init = reinterpret_cast<decltype(init)>(library.resolve("flite_init"));
            f.toWave = reinterpret_cast<decltype(toWave)>(library.resolve("flite_text_to_wave"));
            f.deleteWave = reinterpret_cast<decltype(deleteWave)>(library.resolve("delete_wave"));
            f.setFloat = reinterpret_cast<decltype(setFloat)>(library.resolve("feat_set_float"));
            if (!f.init || !f.toWave || !f.deleteWave || !f.setFloat)
                return Flite{};
            return f;
        }();
        return flite;
    }
    bool present() const { return init != nullptr; }
};

QString voiceLibrary(const QString& name) {
    return QStringLiteral("flite_cmu_us_") + name;
}

bool isKnown(const QString& name) {
    return std::ranges::any_of(KnownVoices,
                               [&](const char* known) { return name == QLatin1String(known); });
}

} // namespace

double fliteStretch(double rate) {
    rate = std::clamp(rate, -1.0, 1.0);
    return rate < 0 ? 1.0 - rate * 2 : 1.0 - rate * (100.0 / 175.0);
}

QStringList FliteVoices::installed() {
    if (!Flite::get().present())
        return {};
    QStringList names;
    for (const char* known : KnownVoices) {
        const QString name = QString::fromLatin1(known);
        QLibrary library(voiceLibrary(name), 1);
        // Looked up, not registered: registering builds the voice, which costs memory.
        if (library.load() &&
            library.resolve(qPrintable(QStringLiteral("register_cmu_us_") + name)))
            names << name;
    }
    return names;
}

FliteVoices::~FliteVoices() {
    for (const Loaded& loaded : std::as_const(voices_))
        if (loaded.voice && loaded.unregister)
            loaded.unregister(loaded.voice);
}

cst_voice_struct* FliteVoices::voice(const QString& name) {
    const auto known = voices_.constFind(name);
    if (known != voices_.constEnd())
        return known->voice;
    Loaded& loaded = voices_[name]; // a voice that fails is not tried again
    const Flite& flite = Flite::get();
    if (!flite.present() || !isKnown(name))
        return nullptr;
    if (!initialised_) {
        flite.init();
        initialised_ = true;
    }
    QLibrary library(voiceLibrary(name), 1);
    using Register = cst_voice_struct* (*)(const char*);
    const auto doRegister = reinterpret_cast<Register>(
        library.resolve(qPrintable(QStringLiteral("register_cmu_us_") + name)));
    loaded.unregister = reinterpret_cast<Unregister>(
        library.resolve(qPrintable(QStringLiteral("unregister_cmu_us_") + name)));
    if (doRegister && loaded.unregister)
        loaded.voice = doRegister(nullptr);
    return loaded.voice;
}

Wave FliteVoices::read(const QString& text, const QString& name, double stretch) {
    cst_voice_struct* const vox = voice(name);
    if (!vox || text.trimmed().isEmpty())
        return {};
    const Flite& flite = Flite::get();
    flite.setFloat(vox->features, "duration_stretch", float(stretch));
    cst_wave* const wave = flite.toWave(text.left(MostSpokenCharacters).toUtf8().constData(), vox);
    Wave made;
    if (wave && wave->samples && wave->num_samples > 0 && wave->num_channels > 0) {
        made.format.setSampleFormat(QAudioFormat::Int16);
        made.format.setSampleRate(wave->sample_rate);
        made.format.setChannelCount(wave->num_channels);
        made.pcm = QByteArray(reinterpret_cast<const char*>(wave->samples),
                              qsizetype(wave->num_samples) * wave->num_channels * 2);
    }
    if (wave)
        flite.deleteWave(wave);
    return made;
}
