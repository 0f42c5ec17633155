// csh2.dat as it may be found: short, long, with any lengths and colour texts.
#include "settings/settingsfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const SettingsRecord read =
        decodeSettings(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (read.ChoiceCount < 1 || read.ChoiceCount > 5 || read.InitialUnfamiliarity < 1 ||
        read.WrongRepeatCount < 0)
        std::abort();
    for (const QString* colour :
         {&read.WindowBackColor, &read.QuestionColor1, &read.QuestionColor2, &read.QuestionColor3,
          &read.QuestionColor4, &read.HoverColor, &read.WrongColor, &read.AnswerColor})
        if (!colourFromText(*colour))
            std::abort();
    // What is read can be written and read back unchanged.
    const QByteArray image = encodeSettings(read);
    if (image.size() != SettingsFileLength || !(decodeSettings(image) == read))
        std::abort();
    return 0;
}
