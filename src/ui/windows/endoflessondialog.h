#pragma once

#include <QDialog>
#include <array>

class QPushButton;
class frmMain;
struct Module1;
struct Platform;

// "太棒了！": shown when the last file of a selection is learned. Once more, other lessons,
// or stop.
class Form3 final : public QDialog {
    Q_OBJECT

public:
    Form3(Module1& module, const Platform& platform, frmMain& main);

    void Command1_Click(int index);

private:
    void repeatSelection();

    Module1& module_;
    const Platform& platform_;
    frmMain& main_;
    std::array<QPushButton*, 3> Command1{};
};
