#pragma once

#include "lessons/wordlists.h"

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <array>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class ImportPreview;
enum class ListFormat;
struct ListRequest;
struct Module1;
struct Platform;

// "单词文件管理器": word pairs are typed into two boxes, listed side by side, deleted,
// merged in from lesson files (or other programs' lists) and saved as a lesson file (or as
// one of those lists).
class Form1 final : public QDialog {
    Q_OBJECT

public:
    Form1(Module1& module, const Platform& platform, QWidget* parent = nullptr);

    void Command1_Click(); // 确定: add the pair typed
    void Command2_Click(); // 保存
    void Command3_Click(); // 打开
    void Command4_Click(); // 删除

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Text1_KeyPress();
    void Text2_KeyPress();
    void List1_Click();
    void appendPair(QStringView word, QStringView meaning);
    void openWordList(const QByteArray& bytes, const QString& path);
    void takeWordList(const QByteArray& bytes, const QString& path, const ListRequest& request);
    // Where the pronunciations of what is read go: kept for a lesson the list is saved as.
    PronunciationSink keepPronunciation();

    Module1& module_;
    const Platform& platform_;
    QString lastFile_; // offered again by the next file dialog
    QString saveAs_;   // after a list of another program: the lesson 保存 offers
    QPointer<ImportPreview> preview_;
    QHash<QString, QString> pronunciations_; // word → "/ɡrɪt/", of the files read

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    std::array<QListWidget*, 2> List1{};
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
};
