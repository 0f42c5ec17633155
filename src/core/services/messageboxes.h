#pragma once

#include <QString>

// Message boxes titled "Vokarin", without an icon. Both calls block until answered.
class MessageBoxes {
public:
    enum class Answer { Ok, Yes, No };

    virtual ~MessageBoxes() = default;
    virtual void ok(const QString& text) = 0;
    virtual Answer yesNo(const QString& text) = 0;
};
