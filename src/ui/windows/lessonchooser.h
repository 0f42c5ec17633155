#pragma once

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
struct Module1;

// The lesson chooser: drives, folders and a file list in which any number of lesson files
// are picked. "打开" fills the selection list and starts the study; the window stays on top
// without holding up the main window.
class Formopen final : public QDialog {
    Q_OBJECT

public:
    // open loads the first chosen file into the drill.
    Formopen(Module1& module, std::function<void()> open, QWidget* parent = nullptr);

    QString folder() const { return folder_; }
    // Shows the given folder in the tree and its files in the list.
    void showFolder(const QString& path);

    void Command1_Click();
    void Command3_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();

    Module1& module_;
    std::function<void()> open_;
    QString folder_;
    QString drive_;

    QLabel* Label1 = nullptr;
    QComboBox* Drive1 = nullptr;
    QListWidget* Dir1 = nullptr;
    QListWidget* File1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
};
