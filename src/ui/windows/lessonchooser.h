#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
struct Module1;

// The lesson chooser: drives, folders and a file list in which any number of lesson files
// are picked. "打开" hands the selection over to whoever listens; the window stays on
// top without holding up the main window.
class Formopen final : public QDialog {
    Q_OBJECT

public:
    explicit Formopen(const Module1& module, QWidget* parent = nullptr);

    QString folder() const { return folder_; }
    // Shows the given folder in the tree and its files in the list.
    void showFolder(const QString& path);

    void Command1_Click();
    void Command3_Click();

signals:
    // "打开" with files selected: the paths in the list's order, the first to be studied first.
    void lessonsChosen(const QStringList& files);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();

    const Module1& module_;
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
