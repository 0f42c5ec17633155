#include "windows/importpreview.h"

#include "aside.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <memory>
#include <utility>

namespace {

// The encodings offered, and what each asks of the reader.
struct EncodingChoice {
    const char16_t* name;
    TextGuess guess;
};
constexpr EncodingChoice Encodings[] = {{u"自动识别", TextGuess::List},
                                        {u"GBK", TextGuess::Gbk},
                                        {u"UTF-8", TextGuess::Utf8},
                                        {u"UTF-16", TextGuess::Utf16}};

QString formatName(ListFormat format) {
    switch (format) {
    case ListFormat::Delimited:
        return QStringLiteral("表格文字（CSV/TSV）");
    case ListFormat::FlashCard:
        return QStringLiteral("闪卡程序导出的文字");
    case ListFormat::Kvtml:
        return QStringLiteral("KVTML");
    case ListFormat::WordBook:
        return QStringLiteral("打字练习的 JSON 单词本");
    case ListFormat::Package:
        return QStringLiteral("闪卡程序的卡片包");
    case ListFormat::YoudaoBook:
        return QStringLiteral("词典的 XML 单词本");
    case ListFormat::FreeForm:
        return QStringLiteral("一行一个词条的文字");
    case ListFormat::Spreadsheet:
        return QStringLiteral("电子表格（xlsx/ods）");
    case ListFormat::Lesson:
        break;
    }
    return QStringLiteral("单词文件");
}

} // namespace

ImportPreview::ImportPreview(const QString& path, Reader read, Reading first, bool aside,
                             QWidget* parent)
    : QDialog(parent)
    , read_(std::move(read))
    , aside_(aside) {
    setObjectName(QStringLiteral("ImportPreview"));
    setWindowTitle(QStringLiteral("导入单词表 - %1").arg(displayPath(path)));
    setAttribute(Qt::WA_DeleteOnClose);

    Summary = new QLabel(this);
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setWordWrap(true);
    Rows = new QTableWidget(this);
    Rows->setObjectName(QStringLiteral("Rows"));
    Rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Rows->setFocusPolicy(Qt::NoFocus);
    Rows->setMinimumSize(520, 200);

    WordColumn = new QComboBox(this);
    WordColumn->setObjectName(QStringLiteral("WordColumn"));
    MeaningColumn = new QComboBox(this);
    MeaningColumn->setObjectName(QStringLiteral("MeaningColumn"));
    PartOfSpeechColumn = new QComboBox(this);
    PartOfSpeechColumn->setObjectName(QStringLiteral("PartOfSpeechColumn"));
    Header = new QCheckBox(QStringLiteral("第一行是标题(&H)"), this);
    Header->setObjectName(QStringLiteral("Header"));
    Reversed = new QCheckBox(QStringLiteral("单词和汉语对调(&R)"), this);
    Reversed->setObjectName(QStringLiteral("Reversed"));
    Encoding = new QComboBox(this);
    Encoding->setObjectName(QStringLiteral("Encoding"));
    for (const EncodingChoice& choice : Encodings)
        Encoding->addItem(QString::fromUtf16(choice.name));

    auto* form = new QFormLayout;
    auto label = [this](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    form->addRow(label(QStringLiteral("单词在(&W)："), WordColumn), WordColumn);
    form->addRow(label(QStringLiteral("汉语在(&M)："), MeaningColumn), MeaningColumn);
    form->addRow(label(QStringLiteral("词性在(&P)："), PartOfSpeechColumn), PartOfSpeechColumn);
    form->addRow(label(QStringLiteral("编码(&E)："), Encoding), Encoding);
    auto* checks = new QVBoxLayout;
    checks->addWidget(Header);
    checks->addWidget(Reversed);
    checks->addStretch();
    auto* controls = new QHBoxLayout;
    controls->addLayout(form);
    controls->addLayout(checks);

    Pairs = new QTableWidget(0, 2, this);
    Pairs->setObjectName(QStringLiteral("Pairs"));
    Pairs->setHorizontalHeaderLabels({QStringLiteral("单词"), QStringLiteral("汉语")});
    Pairs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Pairs->setFocusPolicy(Qt::NoFocus);
    Pairs->horizontalHeader()->setStretchLastSection(true);
    Pairs->setMaximumHeight(170);

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("导入"));
    Buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    Buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(Buttons, &QDialogButtonBox::accepted, this, [this] {
        emit listAccepted(request());
        accept();
    });
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Summary);
    layout->addWidget(Rows, 1);
    layout->addLayout(controls);
    layout->addWidget(new QLabel(QStringLiteral("读入后的前几个单词："), this));
    layout->addWidget(Pairs);
    layout->addWidget(Buttons);

    for (QComboBox* box : {WordColumn, MeaningColumn, PartOfSpeechColumn, Encoding})
        connect(box, &QComboBox::currentIndexChanged, this, &ImportPreview::reread);
    connect(Header, &QCheckBox::toggled, this, &ImportPreview::reread);
    connect(Reversed, &QCheckBox::toggled, this, [this] {
        if (filling_)
            return;
        // Turned round: the two columns change places.
        const QSignalBlocker word(WordColumn), meaning(MeaningColumn);
        const int w = WordColumn->currentIndex();
        WordColumn->setCurrentIndex(MeaningColumn->currentIndex());
        MeaningColumn->setCurrentIndex(w);
        reread();
    });

    list_ = std::move(first.list);
    pairs_ = first.pairs;
    display(first.result);
    WordColumn->setFocus();
}

ImportPreview::Reading ImportPreview::readAside(const Reader& read, const ListRequest& request) {
    Reading reading;
    runAside([&] { reading = read(request); });
    return reading;
}

ListRequest ImportPreview::request() const {
    ListRequest r;
    r.layout = ListLayout{WordColumn->currentIndex(), MeaningColumn->currentIndex(),
                          PartOfSpeechColumn->currentIndex() - 1, Header->isChecked()};
    // The pronunciations stay where they were found, unless a column chosen is theirs.
    if (const int p = list_.reading.layout.pronunciationColumn; p != r.layout->wordColumn &&
                                                                p != r.layout->meaningColumn &&
                                                                p != r.layout->partOfSpeechColumn)
        r.layout->pronunciationColumn = p;
    r.encoding =
        Encodings[qBound(0, Encoding->currentIndex(), int(std::size(Encodings)) - 1)].guess;
    return r;
}

void ImportPreview::reread() {
    if (filling_)
        return;
    if (!aside_) {
        Reading reading = read_(request());
        list_ = std::move(reading.list);
        pairs_ = reading.pairs;
        return display(reading.result);
    }
    // One reading at a time: memory holds the list shown and the one being read, however
    // fast the learner changes the choices.
    if (reading_) {
        again_ = true;
        return;
    }
    startReading();
}

void ImportPreview::startReading() {
    reading_ = true;
    Summary->setText(QStringLiteral("正在按新的选择重新读……"));
    Buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    const auto out = std::make_shared<Reading>();
    // The thread keeps what it reads with; the window may close before it ends.
    QThread* const worker =
        QThread::create([read = read_, request = request(), out] { *out = read(request); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, out] {
        reading_ = false;
        if (std::exchange(again_, false))
            return startReading(); // the controls hold the learner's latest choice
        list_ = std::move(out->list);
        pairs_ = out->pairs;
        display(out->result);
    });
    worker->start();
}

void ImportPreview::display(const FileResult& result) {
    const ListReading& reading = list_.reading;
    filling_ = true;
    // The controls, as the reading has it.
    for (QComboBox* box : {WordColumn, MeaningColumn, PartOfSpeechColumn}) {
        const int current = box == WordColumn      ? reading.layout.wordColumn
                            : box == MeaningColumn ? reading.layout.meaningColumn
                                                   : reading.layout.partOfSpeechColumn + 1;
        box->clear();
        if (box == PartOfSpeechColumn)
            box->addItem(QStringLiteral("（没有）"));
        box->addItems(reading.columns);
        box->setCurrentIndex(qBound(0, current, box->count() - 1));
    }
    Header->setChecked(reading.layout.header);
    Header->setEnabled(reading.format == ListFormat::Delimited ||
                       reading.format == ListFormat::Spreadsheet);
    Encoding->setEnabled(
        reading.format != ListFormat::Kvtml && reading.format != ListFormat::Package &&
        reading.format != ListFormat::Spreadsheet && reading.format != ListFormat::YoudaoBook &&
        reading.format != ListFormat::WordBook);
    PartOfSpeechColumn->setEnabled(reading.format != ListFormat::Kvtml);
    Reversed->setChecked(reading.layout.wordColumn > reading.layout.meaningColumn);

    // The rows as split, the chosen columns marked.
    Rows->clear();
    Rows->setColumnCount(int(reading.columns.size()));
    Rows->setRowCount(int(reading.firstRows.size()));
    QStringList headers;
    for (int c = 0; c < reading.columns.size(); ++c)
        headers << (c == reading.layout.wordColumn            ? QStringLiteral("单词：")
                    : c == reading.layout.meaningColumn       ? QStringLiteral("汉语：")
                    : c == reading.layout.partOfSpeechColumn  ? QStringLiteral("词性：")
                    : c == reading.layout.pronunciationColumn ? QStringLiteral("音标：")
                                                              : QString()) +
                       reading.columns[c];
    Rows->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < reading.firstRows.size(); ++r)
        for (int c = 0; c < reading.firstRows[r].size() && c < Rows->columnCount(); ++c) {
            auto* item = new QTableWidgetItem(reading.firstRows[r][c]);
            if (r == 0 && reading.layout.header)
                item->setForeground(Qt::gray);
            else if (c == reading.layout.wordColumn || c == reading.layout.meaningColumn)
                item->setBackground(QColor(0xE6, 0xF2, 0xFF));
            Rows->setItem(r, c, item);
        }
    Rows->resizeColumnsToContents();

    Pairs->setRowCount(0);
    const qsizetype shown = qMin<qsizetype>(list_.pairs.size(), PairsShown);
    Pairs->setRowCount(int(shown));
    for (int i = 0; i < shown; ++i) {
        Pairs->setItem(i, 0, new QTableWidgetItem(list_.pairs[i].word));
        Pairs->setItem(i, 1, new QTableWidgetItem(list_.pairs[i].meaning));
    }

    QString summary;
    if (!result.ok()) {
        summary = result.description;
    } else {
        summary = QStringLiteral("%1，%2，共 %3 个单词")
                      .arg(formatName(reading.format), reading.encoding)
                      .arg(pairs_);
        if (const QString leftOut = leftOutText(reading); !leftOut.isEmpty())
            summary += QStringLiteral("（%1）").arg(leftOut);
    }
    Summary->setText(summary);
    Buttons->button(QDialogButtonBox::Ok)->setEnabled(result.ok() && pairs_ >= 2);
    filling_ = false;
}
