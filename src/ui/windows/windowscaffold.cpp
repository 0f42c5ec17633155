#include "windows/windowscaffold.h"

#include "windows/twips.h"

#include <QAbstractButton>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>

void setUpSecondaryWindow(QWidget* window, const QString& name, const QString& title,
                          int widthTwips, int heightTwips) {
    window->setObjectName(name);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->setModal(false);
    window->setWindowTitle(title);
    window->setFixedSize(toPixels(widthTwips), toPixels(heightTwips));
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    window->move(area.x() + (area.width() - window->width()) / 2,
                 area.y() + (area.height() - window->height()) / 2);
}

void placeTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

void giveAltKey(QAbstractButton* button, Qt::Key letter) {
    const QKeySequence key(Qt::ALT | letter);
    QObject::connect(new QShortcut(key, button->window()), &QShortcut::activated, button,
                     &QAbstractButton::click);
    button->setToolTip(QStringLiteral("%1 (%2)").arg(button->text().remove(u' '),
                                                     key.toString(QKeySequence::NativeText)));
}
