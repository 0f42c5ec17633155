#pragma once

#include <QColor>
#include <QString>

// The settings keep colours as 0x00BBGGRR values (red in the low byte), written as text.
QColor toQColor(quint32 colour);
quint32 fromQColor(const QColor& colour);
// A colour text of the settings as a QColor; black when the text is no colour.
QColor colourOf(const QString& text);
// A QColor as the settings dialog stores it: decimal text.
QString colourText(const QColor& colour);
