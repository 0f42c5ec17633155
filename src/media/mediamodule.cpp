// The media module: a Qt plugin that makes the real sound and speech.
#include "qtsound.h"
#include "qtspeech.h"
#include "services/mediafactory.h"

#include <QObject>

class MediaModule final : public QObject, public MediaFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VokarinMediaFactory_iid)
    Q_INTERFACES(MediaFactory)

public:
    Sound* createSound() override { return new QtSound; }
    Speech* createSpeech() override { return new QtSpeech; }
};

#include "mediamodule.moc"
