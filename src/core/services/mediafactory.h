#pragma once

#include <QtPlugin>

class Sound;
class Speech;

// What the media module (a Qt plugin) gives: the real sound and speech, each made once, owned
// by the caller.
class MediaFactory {
public:
    virtual ~MediaFactory() = default;
    virtual Sound* createSound() = 0;
    virtual Speech* createSpeech() = 0;
};

#define VokarinMediaFactory_iid "Vokarin.MediaFactory/3"
Q_DECLARE_INTERFACE(MediaFactory, VokarinMediaFactory_iid)
