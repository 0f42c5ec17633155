#include "qtservices/qtmessageboxes.h"

#include <QApplication>
#include <QMessageBox>

namespace {

int ask(const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vokarin"), text, buttons,
                    QApplication::activeWindow());
    return box.exec();
}

} // namespace

void QtMessageBoxes::ok(const QString& text) {
    ask(text, QMessageBox::Ok);
}

MessageBoxes::Answer QtMessageBoxes::yesNo(const QString& text) {
    return ask(text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes ? Answer::Yes
                                                                             : Answer::No;
}
