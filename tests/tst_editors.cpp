// The word-file editor and the settings dialog, opened from a real main window.
#include "drill/lessonloader.h"
#include "lessons/pronunciations.h"
#include "lessons/wordlists.h"
#include "windowharness.h"
#include "windows/importpreview.h"
#include "windows/settingsdialog.h"
#include "windows/wordfileeditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStringEncoder>
#include <QTableWidget>
#include <QTimer>

namespace {

struct Editor {
    explicit Editor(Harness& harness)
        : h(harness) {
        h.window->show();
        QTest::keyClick(h.window.get(), Qt::Key_F);
        form = topLevel<Form1>("Form1");
        if (!form)
            qFatal("the editor did not open");
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form))
            qWarning("editor not active");
    }
    QLineEdit* box(const char* name) const { return form->findChild<QLineEdit*>(name); }
    QListWidget* list(int i) const {
        return form->findChild<QListWidget*>(QStringLiteral("List1_%1").arg(i));
    }
    QPushButton* button(const char* name) const { return form->findChild<QPushButton*>(name); }
    QString count() const { return form->findChild<QLabel*>("Label3")->text(); }
    Pairs pairs() const {
        Pairs all;
        for (int i = 0; i < list(0)->count(); ++i)
            all.append({list(0)->item(i)->text(), list(1)->item(i)->text()});
        return all;
    }
    int selected(int i) const {
        const auto chosen = list(i)->selectedItems();
        return chosen.isEmpty() ? -1 : list(i)->row(chosen.first());
    }
    void type(const char* boxName, const QString& text) const {
        box(boxName)->setFocus();
        box(boxName)->insert(text);
    }
    void add(const QString& word, const QString& meaning) const {
        box("Text1")->setText(word);
        box("Text2")->setText(meaning);
        button("Command1")->click();
    }

    // The import preview of a list just opened, made active; null when none opened.
    ImportPreview* preview() const {
        auto* shown = form->findChild<ImportPreview*>();
        if (shown && QTest::qWaitForWindowExposed(shown)) {
            QApplication::setActiveWindow(shown); // as a window manager would
            if (!QTest::qWaitForWindowActive(shown))
                qWarning("preview not active");
        }
        return shown;
    }
    // Takes the list as the preview guessed it, with Enter.
    void acceptPreview() const {
        if (ImportPreview* shown = preview())
            QTest::keyClick(shown, Qt::Key_Return);
    }

    Harness& h;
    QPointer<Form1> form;
};

struct Settings {
    explicit Settings(Harness& harness)
        : h(harness) {
        QTest::keyClick(h.window.get(), Qt::Key_C);
        form = topLevel<Form2>("Form2");
        if (!form)
            qFatal("the settings dialog did not open");
    }
    QString value(const char* label) const { return form->findChild<QLabel*>(label)->text(); }
    void press(int command) const {
        form->findChild<QPushButton*>(QStringLiteral("Command%1").arg(command))->click();
    }
    QColor swatch(const QString& name) const {
        return form->findChild<QLabel*>(name)->palette().color(QPalette::Window);
    }
    void clickSwatch(const QString& name) const {
        QTest::mouseClick(form->findChild<QLabel*>(name), Qt::LeftButton);
    }
    template <typename T> T* get(const char* name) const { return form->findChild<T*>(name); }
    void apply() const { get<QPushButton>("cmdApply")->click(); }

    Harness& h;
    QPointer<Form2> form;
};

qsizetype recordStart(int record) {
    return (record - 1) * 128;
}

} // namespace

class tst_Editors final : public QObject {
    Q_OBJECT

private slots:
    // --- Word-file editor ---

    void editorLooksAsItShould() {
        Harness h;
        Editor e(h);
        QCOMPARE(e.form->windowTitle(), QStringLiteral("单词文件管理器"));
        QCOMPARE(e.form->size(), QSize(toPixels(6945), toPixels(5670)));
        QVERIFY(e.form->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(e.button("Command1")->text(), QStringLiteral("确定"));
        QCOMPARE(e.button("Command3")->text(), QStringLiteral("打开"));
        QCOMPARE(e.button("Command4")->text(), QStringLiteral("删除"));
        QCOMPARE(e.button("Command2")->text(), QStringLiteral("保存"));
        QCOMPARE(e.button("Command5")->text(), QStringLiteral("退出"));
        QVERIFY(e.count().isEmpty());
        QCOMPARE(QApplication::focusWidget(), e.box("Text1"));
    }

    void keyboardFlowAddsAPair() {
        Harness h;
        Editor e(h);
        QTest::keyClicks(e.box("Text1"), "apple");
        QTest::keyClick(e.box("Text1"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), e.box("Text2"));
        e.box("Text2")->insert(QStringLiteral("苹果"));
        QTest::keyClick(e.box("Text2"), Qt::Key_Return);
        QCOMPARE(e.pairs(), (Pairs{{"apple", "苹果"}}));
        QVERIFY(e.box("Text1")->text().isEmpty());
        QVERIFY(e.box("Text2")->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), e.box("Text1"));
        QCOMPARE(e.count(), QStringLiteral("共计： 1个单词"));
        QVERIFY(h.fakes.messages.shown.isEmpty());
    }

    void emptyBoxes_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("enterIn");
        QTest::newRow("Enter in an empty word box") << ""
                                                    << "Text1";
        QTest::newRow("Enter in an empty meaning box") << "apple"
                                                       << "Text2";
        QTest::newRow("Enter in the meaning box, no word") << ""
                                                           << "Text2m";
    }
    void emptyBoxes() {
        QFETCH(QString, word);
        QFETCH(QString, enterIn);
        Harness h;
        Editor e(h);
        e.box("Text1")->setText(word);
        if (enterIn == "Text2m")
            e.box("Text2")->setText(QStringLiteral("苹果"));
        QLineEdit* target = e.box(enterIn == "Text1" ? "Text1" : "Text2");
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QCOMPARE(h.fakes.messages.shown, QStringList{"您还没有输入"});
        QVERIFY(e.pairs().isEmpty());
        QCOMPARE(QApplication::focusWidget(), enterIn == "Text2" ? e.box("Text2") : e.box("Text1"));
    }

    // What the drill would refuse is refused at 确定 with the reason (a line break pasted in, a
    // side longer than any word); a quote is taken, and saved in the lesson format as the
    // full-width ＂, which the editor says; other formats keep it as it is.
    void oneRuleForWhatALessonHolds_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("meaning");
        QTest::addColumn<QString>("refusal"); // empty: taken
        QTest::newRow("quote in the word") << "say \"hi\""
                                           << "问好"
                                           << "";
        QTest::newRow("quote in the meaning") << "hi"
                                              << "“你好”\""
                                              << "";
        QTest::newRow("line feed") << "a\nb"
                                   << "甲"
                                   << "控制字符";
        QTest::newRow("tab inside") << "a\tb"
                                    << "甲"
                                    << "";
        QTest::newRow("a meaning of 1,001 characters") << "long" << QString(1001, u'长') << "1000";
    }
    void oneRuleForWhatALessonHolds() {
        QFETCH(QString, word);
        QFETCH(QString, meaning);
        QFETCH(QString, refusal);
        Harness h;
        QDir().mkpath(h.module.lessonFolder());
        Editor e(h);
        e.add(word, meaning);
        if (!refusal.isEmpty()) {
            QVERIFY(e.pairs().isEmpty());
            QCOMPARE(h.fakes.messages.shown.size(), 1);
            QVERIFY2(h.fakes.messages.shown[0].contains(refusal),
                     qPrintable(h.fakes.messages.shown[0]));
            QCOMPARE(e.box("Text1")->text(), word); // kept for mending
            return;
        }
        e.add("b", "乙");
        QCOMPARE(e.pairs(), (Pairs{{word, meaning}, {"b", "乙"}}));
        const bool quoted = word.contains('"') || meaning.contains('"');
        const QString lesson = QDir(h.module.lessonFolder()).filePath("said.txt");
        const QString tsv = QDir(h.module.lessonFolder()).filePath("said.tsv");
        h.fakes.files.answers = {lesson, tsv};
        h.fakes.files.filters = {0, 1};
        e.button("Command2")->click();
        QCOMPARE(h.fakes.messages.shown.filter("全角的＂").size(), quoted ? 1 : 0);
        e.button("Command2")->click();
        // Both open as lessons the drill takes: the lesson with ＂, the TSV as it was typed.
        const auto opened = [&](const QString& path) {
            WordList list;
            const FileResult read =
                readWordList(fileBytes(path), listFormatOf(path, fileBytes(path)), path, list);
            return read.ok() ? list.pairs : QList<WordPair>();
        };
        QList<WordPair> asLesson;
        qint32 lines = 0;
        QVERIFY(countlines(lesson, lines).ok());
        QVERIFY(readpairs(lesson, lines, [&](QStringView w, QStringView m) {
                    asLesson.append({w.toString(), m.toString()});
                    return true;
                }).ok());
        QCOMPARE(asLesson.first(), (WordPair{QString(word).replace('"', u'＂'),
                                             QString(meaning).replace('"', u'＂')}));
        QCOMPARE(opened(tsv).first(), (WordPair{word, meaning}));
    }

    void deleteAndMirroredSelection() {
        Harness h;
        Editor e(h);
        e.add("a", "甲");
        e.add("b", "乙");
        e.add("c", "丙");
        e.button("Command4")->click();
        QCOMPARE(h.fakes.messages.shown, QStringList{"还没选单词呢"});

        e.list(0)->setCurrentRow(0);
        QCOMPARE(e.selected(1), 0);
        e.list(1)->setCurrentRow(2); // a click on a meaning has no lasting effect
        QCOMPARE(e.selected(0), 0);
        QCOMPARE(e.selected(1), 0);

        e.list(0)->setCurrentRow(1);
        e.button("Command4")->click();
        QCOMPARE(e.pairs(), (Pairs{{"a", "甲"}, {"c", "丙"}}));
        QCOMPARE(e.selected(0), -1);
        QCOMPARE(e.selected(1), -1);
        QCOMPARE(e.count(), QStringLiteral("共计： 3个单词")); // unchanged by deleting
    }

    void openMergesFiles() {
        Harness h;
        const QString first = h.lesson("one.txt", {{"a", "甲"}, {"007", "特工"}});
        const QString second = h.lesson("two.txt", {{"c", "丙"}, {"d", ""}});
        const QString single = putFile(h.dir, "lesson/single.txt", "\"x\",\"y\"\r\n");
        Editor e(h);
        h.fakes.files.answers = {single, first, second};
        e.button("Command3")->click();
        QCOMPARE(h.fakes.messages.shown, QStringList{"单词不能少于2个"});
        QVERIFY(e.pairs().isEmpty());
        e.button("Command3")->click();
        e.button("Command3")->click();
        // Text exactly as read, numbers included; empty fields are accepted.
        QCOMPARE(e.pairs(), (Pairs{{"a", "甲"}, {"007", "特工"}, {"c", "丙"}, {"d", ""}}));
        QVERIFY(e.count().isEmpty());
        const auto& requests = h.fakes.files.requests;
        // Every list it reads first, then the lesson format, then each other program's.
        QVERIFY(requests[0].filter.startsWith(
            "所有单词表(*.txt *.csv *.tsv *.xlsx *.ods *.kvtml *.xml *.apkg *.colpkg *.json)|"
            "*.txt;*.csv;*.tsv;*.xlsx;*.ods;*.kvtml;*.xml;*.apkg;*.colpkg;*.json|"
            "text_files(*.txt)|*.txt|CSV 表格(*.csv)|*.csv|"));
        QCOMPARE(requests[0].folder, h.module.lessonFolder());
        QCOMPARE(requests[1].fileName, single); // the last name chosen is offered again
    }

    // A spreadsheet's list opens (rows without a meaning left out, and counted), and saves in
    // each format under the filter chosen; each file opens again as the same pairs.
    void otherProgramsListsOpenAndSave_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("saved"); // the name given is "mine"
        QTest::addColumn<int>("format");
        QTest::newRow("lesson") << 0 << "mine" << int(ListFormat::Lesson);
        QTest::newRow("tsv") << 1 << "mine.tsv" << int(ListFormat::Delimited);
        QTest::newRow("flash-card") << 2 << "mine.txt" << int(ListFormat::FlashCard);
        QTest::newRow("kvtml") << 3 << "mine.kvtml" << int(ListFormat::Kvtml);
    }
    void otherProgramsListsOpenAndSave() {
        QFETCH(int, filter);
        QFETCH(QString, saved);
        QFETCH(int, format);
        Harness h;
        const QString csv =
            putFile(h.dir, "lesson/sheet.csv",
                    "Word;IPA;Meaning\r\nred;/red/;\"红色的, 红\"\r\nblue;;\r\ngo;/ɡəʊ/;去\r\n");
        const Pairs expected = {{"red", "红色的, 红"}, {"go", "去"}};
        const QString path = QDir(h.module.lessonFolder()).filePath(saved);
        {
            Editor e(h);
            h.fakes.files.answers = {csv, QDir(h.module.lessonFolder()).filePath("mine")};
            h.fakes.files.filters = {filter};
            e.button("Command3")->click();
            e.acceptPreview();
            QCOMPARE(e.pairs(), expected);
            QCOMPARE(e.count(),
                     QStringLiteral("共计： 2个单词（另有 1 条缺单词或汉语，没有读入）"));
            e.button("Command2")->click();
            e.button("Command5")->click();
            QTRY_VERIFY(e.form.isNull());
        }
        QCOMPARE(int(listFormatOf(path, fileBytes(path))), format);
        // A lesson keeps the list's pronunciations beside it.
        const QString kept = pronunciationsPathOf(path);
        QCOMPARE(fileBytes(kept), format == int(ListFormat::Lesson)
                                      ? QByteArray("go\t/ɡəʊ/\nred\t/red/\n")
                                      : QByteArray("<missing>"));
        Editor fresh(h);
        h.fakes.files.answers = {path};
        fresh.button("Command3")->click();
        fresh.acceptPreview();
        QCOMPARE(fresh.pairs(), expected);
        QVERIFY(h.fakes.messages.shown.isEmpty());
    }

    // A list of another program, from a folder of its own, becomes a lesson with the keyboard
    // alone: the count shows, and 保存 offers the lesson folder and the list's name as a lesson,
    // never the list itself. The kind of list shown is remembered, in vokarin.ini too.
    void importInOnePass_data() {
        QTest::addColumn<QString>("where"); // the list's folder, under the application folder
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("offered");
        QTest::newRow("outside") << "downloads"
                                 << "四级词汇.csv"
                                 << "四级词汇.txt";
        QTest::newRow("flash-card text in the lesson folder") << "lesson"
                                                              << "deck.txt"
                                                              << "deck（课文）.txt";
    }
    void importInOnePass() {
        QFETCH(QString, where);
        QFETCH(QString, name);
        QFETCH(QString, offered);
        Harness h;
        const QByteArray list = name.endsWith(".csv")
                                    ? QStringEncoder("GB18030").encode(
                                          QStringLiteral("单词,音标,释义\nabandon,/əˈbændən/,放弃\n"
                                                         "ability,/əˈbɪləti/,能力\n"))
                                    : QByteArray("#separator:tab\nred\t红\ngo\t去\n");
        const QString path = putFile(h.dir, where + "/" + name, list);
        QDir().mkpath(h.module.lessonFolder());
        Editor e(h);
        FakeFileDialogs& files = h.fakes.files;
        files.answers = {path};
        files.openFilters = {4};
        QTest::keyClick(e.form, Qt::Key_O, Qt::AltModifier);
        QCOMPARE(files.requests.size(), 1);
        QCOMPARE(files.requests[0].shownFilter, 0); // every list
        const QPointer<ImportPreview> preview = e.preview();
        QVERIFY(preview);
        QTest::keyClick(preview, Qt::Key_Return);
        QCOMPARE(e.pairs().size(), 2);
        QCOMPARE(e.count(), QStringLiteral("共计： 2个单词"));
        QTRY_VERIFY(!preview || !preview->isVisible());
        e.form->activateWindow(); // as the window manager does when the preview closes
        QVERIFY(QTest::qWaitForWindowActive(e.form));
        const QString lesson = QDir(h.module.lessonFolder()).filePath(offered);
        files.answers = {lesson};
        QTest::keyClick(e.form, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(files.requests.size(), 2);
        QCOMPARE(files.requests[1].fileName, lesson);
        QCOMPARE(fileBytes(path), list);
        QCOMPARE(int(listFormatOf(lesson, fileBytes(lesson))), int(ListFormat::Lesson));
        QTest::keyClick(e.form, Qt::Key_O, Qt::AltModifier);
        QCOMPARE(files.requests.size(), 3);
        QCOMPARE(files.requests[2].shownFilter, 4);
        QCOMPARE(files.requests[2].fileName, lesson);
        Module1 again(h.dir.path());
        again.LoadPreferences();
        QCOMPARE(again.EditorOpenFilter, 4);
        QVERIFY2(h.fakes.messages.shown.isEmpty(), qPrintable(h.fakes.messages.shown.join('|')));
    }

    // A wrong guess put right in the preview with a few keys: the header row, the direction,
    // the encoding; Enter brings the pairs in.
    void previewPutsAWrongGuessRight() {
        Harness h;
        // GBK bytes that are valid UTF-8 as well, under a row that names nothing.
        QStringEncoder gbk("GB18030");
        const QString csv = putFile(h.dir, "lesson/list.csv",
                                    gbk.encode(QStringLiteral("sun,太阳\ncat,猫\nwood,木\n")));
        Editor e(h);
        h.fakes.files.answers = {csv};
        e.button("Command3")->click();
        ImportPreview* preview = e.preview();
        QVERIFY(preview);
        auto* pairs = preview->findChild<QTableWidget*>("Pairs");
        QCOMPARE(pairs->item(0, 0)->text(), QStringLiteral("sun"));
        QCOMPARE(preview->findChild<QLabel*>("Summary")->text(),
                 QStringLiteral("表格文字（CSV/TSV），GBK，共 3 个单词"));
        QTest::keyClick(preview, Qt::Key_H, Qt::AltModifier); // the first row is a header
        QTRY_COMPARE(pairs->item(0, 0)->text(), QStringLiteral("cat"));
        QTest::keyClick(preview, Qt::Key_R, Qt::AltModifier); // Chinese first
        QTRY_COMPARE(pairs->item(0, 0)->text(), QStringLiteral("猫"));
        QTest::keyClick(preview, Qt::Key_E, Qt::AltModifier); // the encoding: UTF-8
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(pairs->item(0, 0)->text(), QStringLiteral("è")); // 猫 read as UTF-8
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up); // back to GBK
        QCOMPARE(pairs->item(0, 0)->text(), QStringLiteral("猫"));
        QTest::keyClick(preview, Qt::Key_Return);
        QCOMPARE(e.pairs(), (Pairs{{"猫", "cat"}, {"木", "wood"}}));
        QVERIFY(h.fakes.messages.shown.isEmpty());
    }

    // A large list is read again on a thread of its own when a choice changes: the window
    // answers meanwhile (its timers run), choices made quickly are read once, the latest last,
    // and Escape in the middle leaves at once with the editor as it was.
    void largeListPreviewKeepsTheWindowAnswering_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("choices changed, then taken") << false;
        QTest::newRow("Escape in the middle") << true;
    }
    void largeListPreviewKeepsTheWindowAnswering() {
        QFETCH(bool, escape);
        Harness h;
        QByteArray bytes;
        for (int i = 0; bytes.size() < LoadAsideBytes + 1024; ++i)
            bytes += "word" + QByteArray::number(i) + ",n.,意思" + QByteArray::number(i) + "\n";
        const QString csv = putFile(h.dir, "lesson/big.csv", bytes);
        Editor e(h);
        h.fakes.files.answers = {csv};
        e.button("Command3")->click();
        QPointer<ImportPreview> preview = e.preview();
        QVERIFY(preview);
        auto* summary = preview->findChild<QLabel*>("Summary");
        auto* encoding = preview->findChild<QComboBox*>("Encoding");
        int ticks = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(0);
        encoding->setCurrentIndex(1); // GBK
        QCOMPARE(summary->text(), QStringLiteral("正在按新的选择重新读……"));
        encoding->setCurrentIndex(2); // UTF-8, meanwhile: read after the first
        if (escape) {
            QTest::keyClick(preview, Qt::Key_Escape);
            QVERIFY(preview.isNull() || !preview->isVisible());
            QTRY_VERIFY(ticks > 0);
            QVERIFY(e.pairs().isEmpty());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(summary->text().startsWith("表格文字"), 60000);
        QVERIFY(ticks > 0);
        QVERIFY2(summary->text().contains("UTF-8"), qPrintable(summary->text()));
        QCOMPARE(encoding->currentIndex(), 2);
        QTest::keyClick(preview, Qt::Key_Return);
        QCOMPARE(e.pairs().first(), (WordPair{"word0", "n. 意思0"}));
    }

    void failedOpenSaysSo() {
        Harness h;
        Editor e(h);
        h.fakes.files.answers = {h.dir.filePath("missing.txt")};
        e.button("Command3")->click();
        QCOMPARE(h.fakes.messages.shown.size(), 1);
        QVERIFY(h.fakes.messages.shown[0].contains("找不到文件"));
    }

    void saveAndReopen() {
        Harness h;
        const QString path = QDir(h.module.lessonFolder()).filePath("mine.txt");
        QDir().mkpath(h.module.lessonFolder());
        const Pairs typed = {{"red", "红色的,红"}, {" look ", " 看 "}, {"go", "去"}};
        {
            Editor e(h);
            for (const WordPair& p : typed)
                e.add(p.word, p.meaning);
            h.fakes.files.answers = {path};
            e.button("Command2")->click();
            QCOMPARE(e.selected(0), 2);
            QCOMPARE(e.selected(1), 2);
            e.button("Command5")->click();
            QTRY_VERIFY(e.form.isNull());
        }
        qint32 lines = 0;
        QVERIFY(countlines(path, lines).ok());
        QCOMPARE(lines, 3);
        Editor fresh(h);
        QVERIFY(fresh.pairs().isEmpty()); // closing discarded the old lists
        h.fakes.files.answers = {path};
        fresh.button("Command3")->click();
        QCOMPARE(fresh.pairs(), typed);
    }

    void emptySaveWritesNothing() {
        Harness h;
        Editor e(h);
        const QString path = h.dir.filePath("empty.txt");
        h.fakes.files.answers = {path};
        e.button("Command2")->click();
        QCOMPARE(fileBytes(path), QByteArray());
    }

    void cancelChangesNothing() {
        Harness h;
        const QString path = h.lesson("one.txt", {{"a", "甲"}, {"b", "乙"}});
        const QByteArray before = fileBytes(path);
        Editor e(h);
        h.fakes.files.answers = {path};
        e.button("Command3")->click(); // an earlier choice
        e.add("c", "丙");
        h.fakes.files.answers = {std::nullopt, std::nullopt};
        e.button("Command2")->click();
        e.button("Command3")->click();
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(e.pairs().size(), 3);
        QVERIFY(h.fakes.messages.shown.isEmpty());
    }

    void failedSaveSaysSoAndKeepsTheOldFile() {
        Harness h;
        Editor e(h);
        e.add("a", "甲");
        h.fakes.files.answers = {h.dir.filePath("no-folder/x.txt")};
        e.button("Command2")->click();
        QCOMPARE(h.fakes.messages.shown.size(), 1);
        QVERIFY(h.fakes.messages.shown[0].startsWith("单词没有保存："));
    }

    // --- Settings dialog ---

    void settingsShowTheDefaults() {
        Harness h;
        Settings d(h);
        QCOMPARE(d.form->windowTitle(), QStringLiteral("设置"));
        // 3135 twips and six rows for the options kept in vokarin.ini.
        QCOMPARE(d.form->size(), QSize(toPixels(10740), toPixels(3135 + 6 * 420)));
        QCOMPARE(d.value("Label1"), QStringLiteral("4"));
        QCOMPARE(d.value("Label3"), QStringLiteral("1"));
        QCOMPARE(d.value("Label4"), QStringLiteral("3"));
        QCOMPARE(d.value("Label2"), QStringLiteral("2"));
        QCOMPARE(d.value("Label5"), QStringLiteral("2"));
        QVERIFY(d.get<QRadioButton>("Option1_0")->isChecked());
        QVERIFY(d.get<QRadioButton>("Option2_1")->isChecked());
        QVERIFY(d.get<QCheckBox>("Check1")->isChecked());
        QVERIFY(!d.get<QCheckBox>("Check2")->isChecked());
        QCOMPARE(d.get<QComboBox>("Combo1")->currentText(), QStringLiteral("3"));
        QCOMPARE(d.swatch("Label6"), QColor(0, 128, 128));
        QCOMPARE(d.swatch("Label8"), QColor(0, 255, 255));
        QCOMPARE(d.swatch("Label9"), QColor(0, 0, 255));
        QCOMPARE(d.swatch("Label10"), QColor(0, 255, 0));
        const QList<QColor> questions = {QColor(0, 0, 255), QColor(0, 255, 0), QColor(255, 255, 0),
                                         QColor(255, 0, 0)};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(d.swatch(QStringLiteral("Label7_%1").arg(i)), questions[i]);
    }

    void steppers_data() {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("values"); // after each of six presses
        QTest::addColumn<QString>("refusal");
        const QString more = "不能再多了!", fewer = "不能再少了!";
        QTest::newRow("speed up") << 160 << 1 << "Label1"
                                  << QStringList{"5", "6", "7", "7", "7", "7"} << "不能再快了!";
        QTest::newRow("speed down")
            << 160 << 2 << "Label1" << QStringList{"3", "2", "2", "2", "2", "2"} << "不能再慢了!";
        QTest::newRow("3.75 up") << 150 << 1 << "Label1"
                                 << QStringList{"4.75", "5.75", "6.75", "6.75", "6.75", "6.75"}
                                 << "不能再快了!";
        QTest::newRow("3.75 down")
            << 150 << 2 << "Label1" << QStringList{"2.75", "2.75", "2.75", "2.75", "2.75", "2.75"}
            << "不能再慢了!";
        QTest::newRow("read count up")
            << 160 << 3 << "Label3" << QStringList{"2", "3", "4", "5", "5", "5"} << more;
        QTest::newRow("read count down")
            << 160 << 4 << "Label3" << QStringList{"1", "1", "1", "1", "1", "1"} << fewer;
        QTest::newRow("choices up")
            << 160 << 5 << "Label4" << QStringList{"4", "5", "5", "5", "5", "5"} << more;
        QTest::newRow("choices down")
            << 160 << 6 << "Label4" << QStringList{"2", "1", "1", "1", "1", "1"} << fewer;
        QTest::newRow("coefficient up")
            << 160 << 7 << "Label2" << QStringList{"3", "4", "5", "6", "7", "8"} << "";
        QTest::newRow("coefficient down")
            << 160 << 8 << "Label2" << QStringList{"1", "1", "1", "1", "1", "1"} << fewer;
        QTest::newRow("repeats up")
            << 160 << 9 << "Label5" << QStringList{"3", "4", "5", "5", "5", "5"} << more;
        QTest::newRow("repeats down")
            << 160 << 10 << "Label5" << QStringList{"1", "1", "1", "1", "1", "1"} << fewer;
    }
    void steppers() {
        QFETCH(int, speed);
        QFETCH(int, command);
        QFETCH(QString, label);
        QFETCH(QStringList, values);
        QFETCH(QString, refusal);
        SettingsRecord s;
        s.SpeechSpeed = speed;
        Harness h(s);
        Settings d(h);
        for (const QString& expected : values) {
            d.press(command);
            QCOMPARE(d.value(qPrintable(label)), expected);
        }
        if (refusal.isEmpty())
            QVERIFY(h.fakes.messages.shown.isEmpty());
        else
            QVERIFY(!h.fakes.messages.shown.isEmpty() &&
                    h.fakes.messages.shown.count(refusal) == h.fakes.messages.shown.size());
        QCOMPARE(h.module.Settings.SpeechSpeed, speed); // nothing changes before Apply
    }

    void coefficientStopsAtTen() {
        Harness h;
        Settings d(h);
        for (int i = 0; i < 10; ++i)
            d.press(7);
        QCOMPARE(d.value("Label2"), QStringLiteral("10"));
        QCOMPARE(h.fakes.messages.shown.size(), 2);
    }

    void applyWritesTheFile() {
        Harness h;
        const QByteArray before = fileBytes(h.dir.filePath("csh2.dat"));
        h.module.Settings.ChoiceMode = VbFalse; // switched to typing in the window
        Settings d(h);
        for (int i = 0; i < 3; ++i)
            d.press(1); // speed 7
        d.get<QRadioButton>("Option2_0")->setChecked(true);
        d.get<QCheckBox>("Check1")->setChecked(false);
        h.fakes.colours.answer = 0x123456;
        d.clickSwatch("Label6");
        d.apply();
        QCOMPARE(h.module.Settings.SpeechSpeed, 280);
        QCOMPARE(h.module.Settings.ListeningMode, VbTrue);
        QCOMPARE(h.module.Settings.WindowBackColor, QStringLiteral("1193046"));

        SettingsRecord expected;
        expected.SpeechSpeed = 280;
        expected.ListeningMode = VbTrue;
        expected.ReviewNotebookAtStart = VbFalse;
        expected.WindowBackColor = QStringLiteral("1193046");
        expected.QuestionColor1 = QString::number(0xFF0000);
        expected.QuestionColor2 = QString::number(0xFF00);
        expected.QuestionColor3 = QString::number(0xFFFF);
        expected.QuestionColor4 = QString::number(0xFF);
        expected.HoverColor = QString::number(0xFFFF00);
        expected.WrongColor = QString::number(0xFF0000);
        expected.AnswerColor = QString::number(0xFF00);
        QByteArray image = encodeSettings(expected);
        image.replace(recordStart(7), 128, before.mid(recordStart(7), 128)); // untouched
        QCOMPARE(fileBytes(h.dir.filePath("csh2.dat")), image);
        QCOMPARE(fileBytes(h.dir.filePath("csh2.dat")).mid(recordStart(12), 9),
                 QByteArray::fromHex("0700") + "1193046");
    }

    // Forgiving typing and the accent live in vokarin.ini; csh2.dat keeps its 19 records
    // unchanged. The accent tried with 试听 and then cancelled is not kept.
    void forgivingTypingIsKeptBesideTheSettings() {
        Harness h;
        {
            Settings tried(h);
            QVERIFY(tried.get<QRadioButton>("Option3_0")->isChecked()); // 美音 by default
            tried.get<QRadioButton>("Option3_1")->setChecked(true);
            tried.get<QPushButton>("Command12")->click();
            QCOMPARE(h.fakes.speech.accent, Accent::British);
            QCOMPARE(h.fakes.speech.calls.last(), "speak international 0");
            QCOMPARE(tried.get<QLabel>("Label14")->text(), "fake · voice");
            QCOMPARE(tried.get<QLabel>("Label14")->toolTip(), "找到的英语语音：\nfake · voice");
            h.fakes.speech.better = "speech-dispatcher-espeak-ng";
            tried.get<QPushButton>("Command12")->click();
            QCOMPARE(tried.get<QLabel>("Label14")->text(),
                     "fake · voice（英音请装 speech-dispatcher-espeak-ng）");
            h.fakes.speech.voice.clear();
            tried.get<QPushButton>("Command12")->click();
            QCOMPARE(tried.get<QLabel>("Label14")->text(), "没有英语语音：请安装 libflite1");
            tried.get<QPushButton>("cmdCancel")->click();
            QCOMPARE(h.fakes.speech.accent, Accent::American);
        }
        Settings dialog(h);
        QVERIFY(!dialog.get<QCheckBox>("Check3")->isChecked());
        QVERIFY(!dialog.get<QCheckBox>("Check6")->isChecked()); // 显示音标 off by default
        dialog.get<QCheckBox>("Check3")->setChecked(true);
        dialog.get<QCheckBox>("Check6")->setChecked(true);
        dialog.get<QRadioButton>("Option3_1")->setChecked(true);
        dialog.apply();
        QVERIFY(h.module.ForgivingTyping);
        QCOMPARE(h.fakes.speech.accent, Accent::British);
        QCOMPARE(fileBytes(h.module.AppFolder + "/csh2.dat").size(), 2432);
        const QByteArray ini = fileBytes(h.module.AppFolder + "/vokarin.ini");
        QVERIFY(ini.contains("forgiving=true") && ini.contains("accent=British") &&
                ini.contains("showPronunciation=true"));
        Module1 later(h.module.AppFolder);
        later.LoadPreferences();
        QVERIFY(later.ForgivingTyping && later.ShowPronunciation);
        QCOMPARE(later.SpeechAccent, Accent::British);
        QVERIFY(h.fakes.messages.shown.isEmpty());
    }

    // The data folder is chosen in the settings: the learner's files move there in one step,
    // or, where that folder already has Vokarin's files, as the learner says; nothing is lost
    // either way, and the history logs there from then on.
    void dataFolderMovesTheFiles_data() {
        QTest::addColumn<bool>("theirs");    // the folder already holds another computer's files
        QTest::addColumn<QString>("answer"); // to the question, when asked
        QTest::addColumn<bool>("moved");
        QTest::newRow("an empty folder") << false << "" << true;
        QTest::newRow("another computer's, merged") << true << "yes" << true;
        QTest::newRow("another computer's, not now") << true << "no" << false;
    }
    void dataFolderMovesTheFiles() {
        QFETCH(bool, theirs);
        QFETCH(QString, answer);
        QFETCH(bool, moved);
        Harness h;
        const QString mine = h.lesson("mine.txt", {{"a", "甲"}, {"b", "乙"}});
        h.lesson("scb.txt", {{"apple", "苹果"}, {"pear", "梨"}});
        QTemporaryDir shared;
        if (theirs) {
            putFile(shared, "lesson/scb.txt", "\"apple\",\"苹果\"\r\n\"fig\",\"无花果\"\r\n");
            putFile(shared, "lesson/mine.txt", "\"other\",\"另一个\"\r\n\"x\",\"叉\"\r\n");
        }
        h.fakes.files.answers.push_back(shared.path());
        if (!answer.isEmpty())
            h.fakes.messages.answers.push_back(answer == "yes" ? MessageBoxes::Answer::Yes
                                                               : MessageBoxes::Answer::No);
        const QString other = h.lesson("other.txt", {{"c", "丙"}, {"d", "丁"}});
        h.study({other});
        Settings d(h);
        d.get<QPushButton>("Command11")->click();
        d.apply();
        // Said: what moved where, and what to do on the other computer.
        QCOMPARE(h.fakes.messages.shown.size(), (theirs ? 1 : 0) + (moved ? 1 : 0));
        if (moved)
            QVERIFY(
                h.fakes.messages.shown.last().contains(QDir::toNativeSeparators(shared.path())) &&
                h.fakes.messages.shown.last().contains("在另一台电脑上"));
        const QString there = QDir(shared.path()).filePath("lesson/");
        // The run goes on with its lesson where it is now, the caption saying so.
        const QString studied = moved ? QDir::cleanPath(there + "other.txt") : other;
        QCOMPARE(h.module.SelectedFiles, QStringList{studied});
        QVERIFY2(h.window->windowTitle().contains(QDir::toNativeSeparators(studied)),
                 qPrintable(h.window->windowTitle()));
        QCOMPARE(h.module.lessonFolder(),
                 moved ? QDir::cleanPath(there) : h.module.AppFolder + "/lesson");
        QCOMPARE(QFileInfo::exists(mine), !moved);
        QCOMPARE(h.fakes.history.logFolder, moved ? shared.filePath("history") : QString());
        QCOMPARE(h.fakes.history.logDevice.isEmpty(), !moved);
        if (!moved)
            return;
        // Both computers' lessons and notebook words are there; vokarin.ini remembers.
        qint32 lines = 0;
        QVERIFY(countlines(there + "scb.txt", lines).ok());
        QStringList words;
        QVERIFY(readpairs(there + "scb.txt", lines, [&](QStringView w, QStringView) {
                    words << w.toString();
                    return true;
                }).ok());
        QCOMPARE(words,
                 theirs ? QStringList({"apple", "fig", "pear"}) : QStringList({"apple", "pear"}));
        QCOMPARE(QFileInfo::exists(there + "mine (本机).txt"), theirs);
        QVERIFY(QFileInfo::exists(there + "mine.txt"));
        Module1 later(h.module.AppFolder);
        later.LoadPreferences();
        QCOMPARE(later.dataFolder(), QDir::cleanPath(shared.path()));
        QCOMPARE(later.DeviceId, h.module.DeviceId);
    }

    void applyRecoloursTheWindowAtOnce() {
        Harness h;
        h.study({h.lesson("a.txt", {{"apple", "苹果"}, {"pear", "梨"}, {"plum", "李子"}})});
        h.answerWrong();
        Settings d(h);
        h.fakes.colours.answer = 0x0000FF; // red
        d.clickSwatch("Label6");
        h.fakes.colours.answer = 0x00FFFF; // yellow
        d.clickSwatch("Label7_0");
        d.apply();
        QCOMPARE(h.window->backColor(), QColor(255, 0, 0));
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(h.backOf(h.choice(i)), QColor(255, 0, 0));
        QCOMPARE(h.label("Label1")->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    }

    void dismissedChooserLeavesTheSwatch() {
        Harness h;
        Settings d(h);
        h.fakes.colours.answer = std::nullopt;
        d.clickSwatch("Label9");
        QCOMPARE(d.swatch("Label9"), QColor(0, 0, 255));
        QCOMPARE(h.fakes.colours.offered, QList<quint32>{0xFF0000});
    }

    void directionChangeRestartsOnEveryApply() {
        Harness h;
        h.study({h.lesson("a.txt", {{"apple", "苹果"}, {"pear", "梨"}, {"plum", "李子"}})});
        h.answerRight();
        Settings d(h);
        d.get<QRadioButton>("Option1_1")->setChecked(true);
        d.apply();
        QCOMPARE(h.question(), QStringLiteral("苹果"));
        QCOMPARE(h.engine().row(1).unfamiliarity, 2);
        h.answerRight();
        d.apply(); // still differs from the direction at opening
        QCOMPARE(h.engine().row(1).unfamiliarity, 2);
        h.answerRight();
        d.get<QPushButton>("cmdOK")->click();
        QCOMPARE(h.engine().row(1).unfamiliarity, 2);
        QTRY_VERIFY(d.form.isNull());

        Settings again(h); // now the reversed direction is the one at opening
        h.answerRight();
        again.apply();
        QCOMPARE(h.engine().row(1).unfamiliarity, 1);
    }

    void autoBrowseApply() {
        Harness h;
        Settings d(h);
        d.press(3);
        d.press(3); // read count 3
        d.get<QCheckBox>("Check2")->setChecked(true);
        d.get<QComboBox>("Combo1")->setCurrentIndex(1); // "2"
        d.apply();
        QCOMPARE(h.module.Settings.AutoBrowse, VbTrue);
        QCOMPARE(h.module.Settings.ChoiceCount, 1);
        QCOMPARE(h.module.Settings.AutoBrowseSpeed, 2);
        QCOMPARE(h.window->findChild<QTimer*>("Timer1")->interval(), 6000);
        QCOMPARE(fileBytes(h.dir.filePath("csh2.dat")).mid(recordStart(3), 4),
                 QByteArray::fromHex("01000000"));
        QCOMPARE(h.module.SavedChoiceCount, 3);

        d.get<QCheckBox>("Check2")->setChecked(false);
        d.apply(); // the number shown while the dialog stayed open
        QCOMPARE(h.module.Settings.ChoiceCount, 3);
        QCOMPARE(h.window->findChild<QTimer*>("Timer1")->interval(), 6000);
    }

    void speedOutsideTheListFallsBack() {
        SettingsRecord s;
        s.AutoBrowseSpeed = 9;
        Harness h(s);
        Settings d(h);
        QCOMPARE(d.get<QComboBox>("Combo1")->currentText(), QStringLiteral("3"));
    }

    void settingsCancelChangesNothing() {
        Harness h;
        const QByteArray before = fileBytes(h.dir.filePath("csh2.dat"));
        const SettingsRecord fields = h.module.Settings;
        Settings d(h);
        d.press(1);
        d.press(5);
        d.get<QCheckBox>("Check2")->setChecked(true);
        d.get<QPushButton>("cmdCancel")->click();
        QTRY_VERIFY(d.form.isNull());
        QVERIFY(h.module.Settings == fields);
        QCOMPARE(fileBytes(h.dir.filePath("csh2.dat")), before);
    }

    void unwritableSettingsAreTold() {
        Harness h;
        QVERIFY(QFile::remove(h.dir.filePath("csh2.dat")));
        QVERIFY(QDir(h.dir.path()).mkdir("csh2.dat"));
        Settings d(h);
        d.press(1);
        d.apply();
        QCOMPARE(h.module.Settings.SpeechSpeed, 200); // in effect all the same
        QCOMPARE(h.fakes.messages.shown.size(), 1);
        QVERIFY(h.fakes.messages.shown[0].startsWith("设置没能保存："));
    }

    void stopClosesEverything() {
        SettingsRecord s;
        s.InitialUnfamiliarity = 1;
        Harness h(s);
        h.window->show();
        h.study({h.lesson("a.txt", {{"a", "甲"}, {"b", "乙"}})});
        QTest::keyClick(h.window.get(), Qt::Key_F);
        QTest::keyClick(h.window.get(), Qt::Key_C);
        h.answerRight();
        h.answerRight();
        h.fakes.messages.answers.push_back(MessageBoxes::Answer::No);
        h.window->findChild<QPushButton*>("Command1_2")->click();
        QTRY_VERIFY(!topLevel<Form1>("Form1"));
        QVERIFY(!topLevel<Form2>("Form2"));
        QVERIFY(!h.window->isVisible());
    }
};

QTEST_MAIN(tst_Editors)
#include "tst_editors.moc"
