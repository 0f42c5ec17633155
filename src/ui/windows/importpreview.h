#pragma once

#include "fileio.h"
#include "lessons/wordlists.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QTableWidget;

// "导入单词表": the first rows of another program's list as the reader split them, with the
// columns it took for 单词 and 汉语, the part of speech, the header row, the direction and the
// encoding, each changeable, and the pairs they give. Enter takes the list as shown.
class ImportPreview final : public QDialog {
    Q_OBJECT

public:
    // Reads the list as a request asks; what is shown first is read({}).
    using Reader = std::function<std::pair<FileResult, WordList>(const ListRequest&)>;

    ImportPreview(const QString& path, Reader read, QWidget* parent = nullptr);

    // The list as last read: what goes into the editor when accepted.
    const WordList& list() const { return list_; }

signals:
    void listAccepted(const WordList& list);

private:
    void reread();
    void display(const FileResult& result);
    ListRequest request() const;

    Reader read_;
    WordList list_;
    bool filling_ = false; // the controls are being set from a reading

    QLabel* Summary = nullptr;
    QTableWidget* Rows = nullptr;
    QComboBox* WordColumn = nullptr;
    QComboBox* MeaningColumn = nullptr;
    QComboBox* PartOfSpeechColumn = nullptr;
    QCheckBox* Header = nullptr;
    QCheckBox* Reversed = nullptr;
    QComboBox* Encoding = nullptr;
    QTableWidget* Pairs = nullptr;
    QDialogButtonBox* Buttons = nullptr;
};
