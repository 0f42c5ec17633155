#pragma once

#include <QDialog>

struct Module1;
class QTextBrowser;

// F1's short help, in every window: the keys of each window, what 帮助 does, where the files
// live, how to study on two computers.
class HelpWindow final : public QDialog {
    Q_OBJECT

public:
    // The part on studying on two computers, to open the help at.
    static constexpr const char* TwoComputers = "two-computers";

    HelpWindow(const Module1& module, QWidget* parent = nullptr);
    // Shows the help at the given part (from the top when empty), raised if already open.
    void showAt(const QString& part);

    // The help's text, with this learner's folders in it.
    static QString text(const Module1& module);

private:
    QTextBrowser* Text = nullptr;
};
