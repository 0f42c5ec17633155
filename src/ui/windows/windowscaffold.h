#pragma once

#include <QString>
#include <Qt>

class QAbstractButton;
class QWidget;

// Every secondary window is a window of its own, kept above the others, with a title and a
// close box; it does not hold up the main window and is deleted when it closes.
inline constexpr Qt::WindowFlags SecondaryWindowFlags =
    Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// Names the window, gives it its title and its fixed size in twips, and the rest of the above.
void setUpSecondaryWindow(QWidget* window, const QString& name, const QString& title,
                          int widthTwips, int heightTwips);
// Centres the window on its screen.
void centreOnScreen(QWidget* window);
// Places a control by its geometry in twips.
void placeTwips(QWidget* widget, int left, int top, int width, int height);
// Gives a button Alt and a letter as its key, named in its tip; its caption stays as it is.
void giveAltKey(QAbstractButton* button, Qt::Key letter);
