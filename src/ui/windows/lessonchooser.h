#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
struct Module1;

// The lesson chooser: drives, folders and a file list in which any number of lesson files
// are picked. "打开" hands the selection over (into Module1) and says so; the window stays on
// top without holding up the main window.
class Formopen final : public QDialog {
    Q_OBJECT

public:
    explicit Formopen(Module1& module, QWidget* parent = nullptr);

    QString folder() const { return folder_; }
    // Shows the given folder in the tree and its files in the list.
    void showFolder(const QString& path);

    void Command1_Click();
    void Command3_Click();

signals:
    // The selection has been handed over: its first file is to be studied.
    void lessonsChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();

    Module1& module_;
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
