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
    // The pairs shown of a reading.
    static constexpr int PairsShown = 5;
    // A reading as the preview needs it: what was decided, the first PairsShown pairs and how
    // many there are in all (the whole list is read when it is taken, to the editor's room).
    struct Reading final {
        FileResult result;
        WordList list;
        qsizetype pairs = 0;
    };
    // Reads the list as a request asks; it runs on a thread of its own when the list is large.
    using Reader = std::function<Reading(const ListRequest&)>;

    // first: the list as read({}) gave it. aside: each new reading goes on a thread of its own
    // (a large list), one at a time, the learner's latest choice read next, while the window
    // answers; Escape leaves at once.
    ImportPreview(const QString& path, Reader read, Reading first, bool aside,
                  QWidget* parent = nullptr);

    // Runs read on a thread of its own while this thread's events go on (the learner's input
    // waits): the first reading of a large list.
    static Reading readAside(const Reader& read, const ListRequest& request);

signals:
    // The choices as shown when the learner took the list.
    void listAccepted(const ListRequest& request);

private:
    void reread();
    void startReading();
    void display(const FileResult& result);
    ListRequest request() const;

    Reader read_;
    WordList list_; // the first pairs only
    qsizetype pairs_ = 0;
    bool filling_ = false; // the controls are being set from a reading
    bool aside_ = false;
    bool reading_ = false; // a reading runs on its thread
    bool again_ = false;   // the learner changed a choice meanwhile: read again when it ends

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
