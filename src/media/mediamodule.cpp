// The media module's one entry point, looked up by name when the module is loaded.
#include "services/qtsound.h"
#include "services/qtspeech.h"

extern "C" Q_DECL_EXPORT void vokarinCreateMedia(Sound** sound, Speech** speech) {
    *sound = new QtSound;
    *speech = new QtSpeech;
}
