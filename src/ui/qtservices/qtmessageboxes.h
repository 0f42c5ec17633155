#pragma once

#include "services/messageboxes.h"

class QtMessageBoxes final : public MessageBoxes {
public:
    void ok(const QString& text) override;
    Answer yesNo(const QString& text) override;
};
