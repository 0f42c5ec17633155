#pragma once

#include <QIcon>

// The sizes of the window icon compiled in.
inline constexpr int AppIconSizes[] = {16, 24, 32, 48, 64};

// Vokarin's own picture: a teal tile with a white V and a yellow 词.
QIcon appIcon();
