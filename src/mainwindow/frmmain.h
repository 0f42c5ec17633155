#pragma once

#include <QWidget>
#include <array>

class QFrame;
class QLabel;
class QLineEdit;
class QStatusBar;
class QTimer;
class QToolBar;
struct Module1;
struct Platform;

// The main window: the question, up to five choices, the typing box, the toolbar that the
// top-left corner calls up, and the status bar. Controls are placed by hand in twips, as the
// layout pass works them out from the window's size.
class frmMain final : public QWidget {
    Q_OBJECT

public:
    frmMain(Module1& module, const Platform& platform, QWidget* parent = nullptr);

    // The layout pass: scales the fonts to the window and places question and choices.
    void Form_Resize();
    // Empties the question area and takes every highlight off the choices.
    void clscreen();

    QColor backColor() const;
    QString statusText() const;
    void setStatusText(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void createToolBar();
    void Form_Load();
    void placeBars();
    QSize frameExtra() const;
    void setOuterSize(float widthTwips, float heightTwips);

    Module1& module_;
    const Platform& platform_;

    QLabel* Label1 = nullptr;
    std::array<QLabel*, 6> Label2{}; // 1 to 5
    std::array<QLabel*, 6> Label3{}; // 1 to 5
    QLineEdit* Text1 = nullptr;
    QFrame* Label4 = nullptr;
    QToolBar* tbToolBar = nullptr;
    QStatusBar* sbStatusBar = nullptr;
    QLabel* statusPanel_ = nullptr;
    QTimer* Timer1 = nullptr;
};
