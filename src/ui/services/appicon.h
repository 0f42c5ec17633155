#pragma once

#include <QIcon>
#include <QImage>

// Vokarin's own picture: a teal tile with a white V and a yellow 词.
QImage appIconImage(int size);
QIcon appIcon();
