#include "windows/wordfileeditor.h"
#include "windows/importpreview.h"

#include "drill/lessonloader.h"
#include "lessons/pronunciations.h"
#include "lessons/wordfile.h"
#include "module1.h"
#include "services/filedialogs.h"
#include "services/messageboxes.h"
#include "services/platform.h"
#include "windows/windowscaffold.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

namespace {

const QString NothingTyped = QStringLiteral("您还没有输入");
// Every list the editor reads first, then the lesson format, then each other program's (the
// kinds added later at the end: the one left chosen is kept by its place).
// Opening goes by what a file holds, whichever filter shows it; saving goes by the filter left
// chosen, the lesson format first, as always.
const QString OpenFilter = QStringLiteral(
    "所有单词表(*.txt *.csv *.tsv *.xlsx *.ods *.kvtml *.xml *.apkg *.colpkg *.json)|"
    "*.txt;*.csv;*.tsv;*.xlsx;*.ods;*.kvtml;*.xml;*.apkg;*.colpkg;*.json|"
    "text_files(*.txt)|*.txt|CSV 表格(*.csv)|*.csv|TSV 表格(*.tsv)|*.tsv|"
    "闪卡纯文本(*.txt)|*.txt|KVTML 词库(*.kvtml)|*.kvtml|"
    "闪卡卡片包(*.apkg *.colpkg)|*.apkg;*.colpkg|JSON 单词本(*.json)|*.json|"
    "电子表格(*.xlsx *.ods)|*.xlsx;*.ods|词典 XML 单词本(*.xml)|*.xml");
const QString SaveFilter = QStringLiteral("text_files(*.txt)|*.txt|TSV 表格(*.tsv)|*.tsv|"
                                          "闪卡纯文本(*.txt)|*.txt|KVTML 词库(*.kvtml)|*.kvtml");
struct SaveFormat final {
    ListFormat format;
    const char* suffix;
};
constexpr SaveFormat SaveFormats[] = {{ListFormat::Lesson, "txt"},
                                      {ListFormat::Delimited, "tsv"},
                                      {ListFormat::FlashCard, "txt"},
                                      {ListFormat::Kvtml, "kvtml"}};
// A list position is a 16-bit number.
constexpr int MostPairs = 32767;

template <typename T>
T* place(T* widget, const QString& name, int left, int top, int width, int height) {
    widget->setObjectName(name);
    placeTwips(widget, left, top, width, height);
    return widget;
}

// What the editor says of a side the drill would refuse; empty when it is fine.
QString faultOf(const QString& side) {
    switch (sideFault(side)) {
    case SideFault::TooLong:
        return QStringLiteral("单词和汉语都不能超过 %1 个字，请改一下再确定").arg(LongestField);
    case SideFault::ControlCharacter:
        return QStringLiteral(
            "单词和汉语里不能有换行等控制字符（也许是粘贴进来的），请改一下再确定");
    case SideFault::None:
        break;
    }
    return {};
}

} // namespace

Form1::Form1(Module1& module, const Platform& platform, QWidget* parent)
    : QDialog(parent, SecondaryWindowFlags)
    , module_(module)
    , platform_(platform) {
    setUpSecondaryWindow(this, QStringLiteral("Form1"), QStringLiteral("单词文件管理器"), 6945,
                         5670);

    Label1 = place(new QLabel(QStringLiteral("请在此处输入单词："), this), "Label1", 360, 480, 1695,
                   375);
    Label2 = place(new QLabel(QStringLiteral("请在此处输入汉语："), this), "Label2", 2520, 480,
                   1695, 375);
    Text1 = place(new QLineEdit(this), "Text1", 360, 1080, 1815, 375);
    Text2 = place(new QLineEdit(this), "Text2", 2520, 1080, 1815, 375);
    Command1 =
        place(new QPushButton(QStringLiteral("确定"), this), "Command1", 5040, 1080, 1005, 405);
    List1[0] = place(new QListWidget(this), "List1_0", 360, 1800, 1815, 2400);
    List1[1] = place(new QListWidget(this), "List1_1", 2520, 1800, 1815, 2400);
    Command3 =
        place(new QPushButton(QStringLiteral("打开"), this), "Command3", 5040, 1920, 975, 375);
    Command4 =
        place(new QPushButton(QStringLiteral("删除"), this), "Command4", 5040, 2520, 975, 375);
    Command2 =
        place(new QPushButton(QStringLiteral("保存"), this), "Command2", 5040, 3120, 1005, 405);
    Command5 =
        place(new QPushButton(QStringLiteral("退出"), this), "Command5", 5040, 3720, 975, 375);
    Label3 = place(new QLabel(this), "Label3", 480, 4680, 3735, 375);
    // The labels above the fields are not their buddies (Enter moves between the fields).
    Text1->setAccessibleName(QStringLiteral("单词"));
    Text2->setAccessibleName(QStringLiteral("汉语"));
    List1[0]->setAccessibleName(QStringLiteral("单词列表"));
    List1[1]->setAccessibleName(QStringLiteral("汉语列表"));
    Label3->setAccessibleName(QStringLiteral("单词个数"));

    // Tab order: the word, the meaning, 确定, the lists, 保存, 打开, 删除, 退出.
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command1);
    setTabOrder(Command1, List1[0]);
    setTabOrder(List1[0], List1[1]);
    setTabOrder(List1[1], Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command5);
    // Enter belongs to the boxes, not to a default button.
    for (QPushButton* button : {Command1, Command2, Command3, Command4, Command5})
        button->setAutoDefault(false);

    // Each button has its key, Alt and a letter, named in its tip (the captions stay as they are).
    giveAltKey(Command1, Qt::Key_Y);
    giveAltKey(Command3, Qt::Key_O);
    giveAltKey(Command4, Qt::Key_D);
    giveAltKey(Command2, Qt::Key_S);
    giveAltKey(Command5, Qt::Key_X);

    Text1->installEventFilter(this);
    Text2->installEventFilter(this);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &QWidget::close);
    for (QListWidget* list : List1)
        connect(list, &QListWidget::itemSelectionChanged, this, &Form1::List1_Click);
    Text1->setFocus();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == Text1)
                Text1_KeyPress();
            else if (watched == Text2)
                Text2_KeyPress();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Form1::Text1_KeyPress() {
    if (Text1->text().isEmpty())
        platform_.messages.ok(NothingTyped);
    else
        Text2->setFocus();
}

void Form1::Text2_KeyPress() {
    if (Text2->text().isEmpty())
        platform_.messages.ok(NothingTyped);
    else
        Command1_Click();
}

void Form1::Command1_Click() {
    const QString word = Text1->text();
    const QString meaning = Text2->text();
    if (word.isEmpty() || meaning.isEmpty()) {
        platform_.messages.ok(NothingTyped);
    } else if (const QString fault = faultOf(word).isEmpty() ? faultOf(meaning) : faultOf(word);
               !fault.isEmpty()) {
        platform_.messages.ok(fault);
    } else if (List1[0]->count() >= MostPairs) {
        platform_.messages.ok(QStringLiteral("单词太多了，请先保存这些单词"));
    } else {
        appendPair(word, meaning);
        Text1->clear();
        Text2->clear();
        Label3->setText(QStringLiteral("共计： %1个单词").arg(List1[0]->count()));
    }
    Text1->setFocus();
}

void Form1::appendPair(QStringView word, QStringView meaning) {
    List1[0]->addItem(word.toString());
    List1[1]->addItem(meaning.toString());
}

// The meaning list follows the selection of the word list, whichever was clicked.
void Form1::List1_Click() {
    const QSignalBlocker blocker(List1[1]);
    const QList<QListWidgetItem*> chosen = List1[0]->selectedItems();
    List1[1]->clearSelection();
    if (chosen.isEmpty()) {
        List1[1]->setCurrentRow(-1);
        return;
    }
    List1[1]->setCurrentRow(List1[0]->row(chosen.first()));
}

void Form1::Command4_Click() {
    const QList<QListWidgetItem*> chosen = List1[0]->selectedItems();
    if (chosen.isEmpty()) {
        platform_.messages.ok(QStringLiteral("还没选单词呢"));
        return;
    }
    const int row = List1[0]->row(chosen.first());
    delete List1[0]->takeItem(row);
    delete List1[1]->takeItem(row);
    List1[0]->clearSelection();
    List1[0]->setCurrentRow(-1);
}

void Form1::Command3_Click() {
    const std::optional<FileDialogs::Chosen> chosen = platform_.files.openFile(
        {OpenFilter, module_.lessonFolder(), lastFile_, module_.EditorOpenFilter});
    if (!chosen)
        return;
    const QString path = chosen->path;
    if (chosen->filter != module_.EditorOpenFilter) {
        module_.EditorOpenFilter = chosen->filter;
        (void)module_.SavePreferences(); // a convenience: not worth a message
    }
    lastFile_ = path;
    saveAs_.clear();
    QByteArray bytes;
    if (const FileResult read = readFileBytes(path, bytes); !read.ok())
        return platform_.messages.ok(read.description);
    if (listFormatOf(path, bytes) != ListFormat::Lesson)
        return openWordList(bytes, path);
    // Vokarin's own file comes in as it is, records with an empty field among them, to be put
    // right here, as far as the list has room; what was read before a failure stays.
    WordFileRules rules;
    rules.stopAtEmptyRecord = false;
    rules.mostPairs = MostPairs - List1[0]->count();
    rules.extras.pronounced = keepPronunciation();
    const WordFileReading read = readWordFile(
        bytes, path, [this](QStringView w, QStringView m) { appendPair(w, m); }, rules);
    if (read.result.ok() && read.lines < 2)
        return platform_.messages.ok(QStringLiteral("单词不能少于2个"));
    if (!read.result.ok())
        platform_.messages.ok(read.result.description);
}

// A list of another program: shown first in the import preview, where a wrong guess of its
// columns, header, direction or encoding is put right; its pairs come in when it is accepted.
void Form1::openWordList(const QByteArray& bytes, const QString& path) {
    // The preview keeps only the pairs it shows, however long the list.
    const ImportPreview::Reader read = [bytes, path](const ListRequest& request) {
        ImportPreview::Reading out;
        WordFileRules rules;
        rules.request = request;
        const WordFileReading reading = readWordFile(
            bytes, path,
            [&out](QStringView word, QStringView meaning) {
                if (out.list.pairs.size() < ImportPreview::PairsShown)
                    out.list.pairs.append({word.toString(), meaning.toString()});
                ++out.pairs;
            },
            rules);
        out.result = reading.result;
        out.list.reading = reading.list;
        return out;
    };
    // A large list is read on a thread of its own, here and in the preview, the window
    // painting meanwhile.
    const bool aside = bytes.size() >= LoadAsideBytes;
    ImportPreview::Reading first = aside ? ImportPreview::readAside(read, {}) : read({});
    if (!first.result.ok())
        return platform_.messages.ok(first.result.description);
    if (preview_)
        preview_->close();
    preview_ = new ImportPreview(path, read, std::move(first), aside, this);
    connect(
        preview_, &ImportPreview::listAccepted, this,
        [this, bytes, path](const ListRequest& request) { takeWordList(bytes, path, request); });
    preview_->open();
}

// The list as the preview showed it, read whole as far as the editor has room.
void Form1::takeWordList(const QByteArray& bytes, const QString& path, const ListRequest& request) {
    WordFileRules rules;
    rules.request = request;
    rules.mostPairs = MostPairs - List1[0]->count();
    rules.extras.pronounced = keepPronunciation();
    WordList list;
    const WordFileReading reading = readWordFile(bytes, path, list.pairs, rules);
    if (!reading.result.ok())
        return platform_.messages.ok(reading.result.description);
    if (list.pairs.size() < 2)
        return platform_.messages.ok(QStringLiteral("单词不能少于2个"));
    for (const WordPair& pair : std::as_const(list.pairs)) {
        if (List1[0]->count() >= MostPairs)
            break;
        appendPair(pair.word, pair.meaning);
    }
    const QString leftOut = reading.leftOut();
    Label3->setText(
        leftOut.isEmpty()
            ? QStringLiteral("共计： %1个单词").arg(List1[0]->count())
            : QStringLiteral("共计： %1个单词（%2）").arg(List1[0]->count()).arg(leftOut));
    // Saved, the list becomes a lesson of the lesson folder under the list's name; never the
    // other program's file itself.
    const QDir lessons(module_.lessonFolder());
    saveAs_ = lessons.filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".txt"));
    if (QFileInfo(saveAs_) == QFileInfo(path))
        saveAs_ =
            lessons.filePath(QFileInfo(path).completeBaseName() + QStringLiteral("（课文）.txt"));
}

void Form1::Command2_Click() {
    const std::optional<FileDialogs::Chosen> chosen = platform_.files.saveFile(
        {SaveFilter, module_.lessonFolder(), saveAs_.isEmpty() ? lastFile_ : saveAs_});
    if (!chosen)
        return;
    const SaveFormat& saving =
        SaveFormats[qBound(0, chosen->filter, int(std::size(SaveFormats)) - 1)];
    QString path = chosen->path;
    // Another program's format gets its ending when the name has none.
    if (saving.format != ListFormat::Lesson && QFileInfo(path).suffix().isEmpty())
        path += u'.' + QLatin1String(saving.suffix);
    lastFile_ = path;
    saveAs_.clear();
    QList<WordPair> pairs;
    for (int i = 0; i < List1[0]->count(); ++i)
        pairs.append({List1[0]->item(i)->text(), List1[1]->item(i)->text()});
    if (const FileResult written = writeWordList(path, pairs, saving.format); !written.ok())
        return platform_.messages.ok(QStringLiteral("单词没有保存：") + written.description);
    const auto quoted = [](const WordPair& pair) {
        return pair.word.contains(u'"') || pair.meaning.contains(u'"');
    };
    if (saving.format == ListFormat::Lesson && std::any_of(pairs.cbegin(), pairs.cend(), quoted))
        platform_.messages.ok(QStringLiteral("课文格式放不下英文双引号(\")，保存时写成了全角的＂。"
                                             "想原样保留，请在保存时选 TSV 表格或 KVTML 词库。"));
    // A lesson keeps its words' pronunciations beside it.
    if (saving.format == ListFormat::Lesson) {
        QHash<QString, QString> kept;
        for (const WordPair& pair : std::as_const(pairs))
            if (const QString p = pronunciations_.value(pair.word); !p.isEmpty())
                kept.insert(pair.word, p);
        if (const FileResult written = writePronunciations(path, kept); !written.ok())
            platform_.messages.ok(QStringLiteral("单词已保存，音标没有保存：") +
                                  written.description);
    }
    if (!pairs.isEmpty())
        List1[0]->setCurrentRow(int(pairs.size()) - 1);
}

PronunciationSink Form1::keepPronunciation() {
    return [this](QStringView word, const QString& pronunciation) {
        pronunciations_.insert(word.toString(), pronunciation);
    };
}
