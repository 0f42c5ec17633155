#pragma once

#include <QMainWindow>

struct Module1;

// The main window: the drill itself and everything around it.
class frmMain final : public QMainWindow {
    Q_OBJECT

public:
    explicit frmMain(Module1& module, QWidget* parent = nullptr);

private:
    void Form_Load();

    Module1& module_;
};
