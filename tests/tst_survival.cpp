// A learner's files survive whatever the disk does: writes that fail, pipes and devices where
// files belong, settings full of garbage, names from another system, a closed main window.
#include "windowharness.h"
#include "windows/lessonchooser.h"
#include "windows/settingsdialog.h"
#include "windows/wordfileeditor.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const Pairs Fruit = {{"apple", "苹果"}, {"pear", "梨"}, {"plum", "李子"}};
const QByteArray OldNotebook = "\"old\",\"\xBE\xC9\"\r\n\"words\",\"\xB4\xCA\"\r\n"; // 旧, 词

SettingsRecord noReview() {
    SettingsRecord s;
    s.ReviewNotebookAtStart = VbFalse;
    s.SpeechSpeed = 200; // not the default, so that a file of defaults shows
    return s;
}

// The bytes of a file whose name may not be UTF-8.
QByteArray nativeBytes(const QString& path) {
    QByteArray bytes;
    return readFileBytes(path, bytes).ok() ? bytes : QByteArray("<unreadable>");
}

// What a path is, without following a link: "fifo", "link", "file", "none".
QString kindOf(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return "none";
    return S_ISFIFO(info.st_mode)  ? "fifo"
           : S_ISLNK(info.st_mode) ? "link"
           : S_ISREG(info.st_mode) ? "file"
                                   : "other";
}

enum class Write { FirstStart, SettingsApply, NotebookAtEnd, NotebookAtClose, EditorSave };

} // namespace

Q_DECLARE_METATYPE(Write)

class tst_Survival final : public QObject {
    Q_OBJECT

private slots:
    // Each file the program writes, smaller than Qt's buffer, on a "disk" that takes 4
    // bytes: the learner is told, and the file on disk is the one that was there before.
    void failingWrites_data() {
        QTest::addColumn<Write>("write");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("file"); // relative to the application folder
        QTest::newRow("csh2.dat at the first start") << Write::FirstStart << "设置文件有问题"
                                                     << "csh2.dat";
        QTest::newRow("csh2.dat on Apply") << Write::SettingsApply << "设置没能保存"
                                           << "csh2.dat";
        QTest::newRow("notebook at the end of a run")
            << Write::NotebookAtEnd << "生词没能存进生词本"
            << "lesson/scb.txt";
        QTest::newRow("notebook when the window closes")
            << Write::NotebookAtClose << "生词没能存进生词本"
            << "lesson/scb.txt";
        QTest::newRow("editor saving over a lesson") << Write::EditorSave << "单词没有保存"
                                                     << "lesson/a.txt";
    }
    void failingWrites() {
        QFETCH(Write, write);
        QFETCH(QString, says);
        QFETCH(QString, file);
        Harness h(nullptr, false);
        const QString path = h.dir.filePath(file);
        const QByteArray before = write == Write::FirstStart      ? QByteArray("<missing>")
                                  : write == Write::SettingsApply ? encodeSettings(noReview())
                                  : write == Write::EditorSave    ? QByteArray("\"a\",\"b\"\r\n")
                                                                  : OldNotebook;
        if (write != Write::FirstStart)
            putFile(h.dir, "csh2.dat", encodeSettings(noReview()));
        if (before != "<missing>")
            putFile(h.dir, file, before);
        const QString lesson = h.lesson("fruit.txt", Fruit);
        const QDir folder(QFileInfo(path).path());
        const QStringList filesBefore = folder.entryList(QDir::Files | QDir::Hidden);

        if (write == Write::FirstStart) {
            const FileSizeCap cap(4);
            h.start();
        } else {
            h.start();
        }
        switch (write) {
        case Write::FirstStart:
            QCOMPARE(h.module.Settings, SettingsRecord{}); // runs on the defaults
            break;
        case Write::SettingsApply: {
            QTest::keyClick(h.window.get(), Qt::Key_C);
            auto* dialog = topLevel<Form2>("Form2");
            QVERIFY(dialog);
            dialog->findChild<QPushButton*>("Command1")->click(); // faster
            const FileSizeCap cap(4);
            dialog->cmdApply_Click();
            break;
        }
        case Write::NotebookAtEnd: {
            h.study({lesson});
            const FileSizeCap cap(4);
            h.missThenLearn({"apple", "pear"});
            break;
        }
        case Write::NotebookAtClose: {
            h.study({lesson});
            for (int guard = 0; h.window->notebook().count() < 2 && guard < 100; ++guard)
                h.answerOnce({"apple", "pear"});
            QCOMPARE(h.window->notebook().count(), 2);
            const FileSizeCap cap(4);
            h.window->close();
            break;
        }
        case Write::EditorSave: {
            QTest::keyClick(h.window.get(), Qt::Key_F);
            auto* editor = topLevel<Form1>("Form1");
            QVERIFY(editor);
            editor->findChild<QLineEdit*>("Text1")->setText("cat");
            editor->findChild<QLineEdit*>("Text2")->setText("猫");
            editor->findChild<QPushButton*>("Command1")->click();
            h.fakes.files.answers.push_back(path);
            const FileSizeCap cap(4);
            editor->findChild<QPushButton*>("Command2")->click();
            break;
        }
        }
        QCOMPARE(h.fakes.messages.shown.size(), 1);
        QVERIFY2(h.fakes.messages.shown[0].contains(says), qPrintable(h.fakes.messages.shown[0]));
        QCOMPARE(fileBytes(path), before);
        // No half-written temporary file is left beside it.
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), filesBefore);
    }

    // The notebook's words outlive a run that ends without closing (killed, its display
    // gone): the next start adds them to the notebook file. An orderly close needs them no
    // longer; a lone word waits for company.
    void notebookAfterAnAbruptEnd_data() {
        QTest::addColumn<QStringList>("missed");
        QTest::addColumn<bool>("closed"); // else the window goes without a close
        QTest::addColumn<bool>("oldNotebook");
        QTest::addColumn<QString>("notebook"); // after the next start
        QTest::addColumn<int>("stillKept");
        QTest::newRow("killed with two words")
            << QStringList{"apple", "pear"} << false << false << "apple pear" << 0;
        QTest::newRow("killed with two words, an earlier notebook")
            << QStringList{"apple", "pear"} << false << true << "old words apple pear" << 0;
        QTest::newRow("killed with one word, an earlier notebook")
            << QStringList{"apple"} << false << true << "old words apple" << 0;
        QTest::newRow("killed with one word alone")
            << QStringList{"apple"} << false << false << "" << 1;
        QTest::newRow("closed with two words")
            << QStringList{"apple", "pear"} << true << true << "apple pear" << 0;
    }
    void notebookAfterAnAbruptEnd() {
        QFETCH(QStringList, missed);
        QFETCH(bool, closed);
        QFETCH(bool, oldNotebook);
        QFETCH(QString, notebook);
        QFETCH(int, stillKept);
        Harness h(noReview());
        if (oldNotebook)
            putFile(h.dir, "lesson/scb.txt", OldNotebook);
        h.study({h.lesson("fruit.txt", Fruit)});
        for (int guard = 0; h.window->notebook().count() < missed.size() && guard < 100; ++guard)
            h.answerOnce(missed);
        QCOMPARE(h.fakes.history.kept.size(), missed.size());
        if (closed)
            h.window->close();
        h.window.reset();
        h.start();
        QStringList words;
        const QString path = h.dir.filePath("lesson/scb.txt");
        qint32 lines = 0;
        if (countlines(path, lines).ok())
            QVERIFY(readpairs(path, lines, [&](QStringView w, QStringView) {
                        words << w.toString();
                        return true;
                    }).ok());
        QCOMPARE(words.join(' '), notebook);
        QCOMPARE(h.fakes.history.kept.size(), stillKept);
        QVERIFY(h.fakes.messages.shown.isEmpty());
    }

    // Pipes, devices and giants where a lesson, the notebook or the settings belong: the start
    // never hangs, nothing is read or written through them, and the learner hears why.
    void oddFiles_data() {
        QTest::addColumn<QString>("file"); // relative to the application folder
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says"); // in every message; empty: no message at all
        QTest::addColumn<int>("messages");
        // The notebook is reviewed at the start and saved at the end of a run.
        QTest::newRow("notebook is a pipe") << "lesson/scb.txt"
                                            << "fifo"
                                            << "不是普通文件" << 2;
        QTest::newRow("notebook links to /dev/zero") << "lesson/scb.txt"
                                                     << "/dev/zero"
                                                     << "不是普通文件" << 2;
        QTest::newRow("notebook links to /dev/null") << "lesson/scb.txt"
                                                     << "/dev/null"
                                                     << "不是普通文件" << 2;
        QTest::newRow("lesson is a pipe") << "lesson/odd.txt"
                                          << "fifo"
                                          << "不是普通文件" << 1;
        QTest::newRow("lesson links to /dev/zero") << "lesson/odd.txt"
                                                   << "/dev/zero"
                                                   << "不是普通文件" << 1;
        QTest::newRow("lesson of 64 MB and a byte") << "lesson/odd.txt"
                                                    << "huge"
                                                    << "太大了" << 1;
        QTest::newRow("lesson links to a lesson elsewhere") << "lesson/odd.txt"
                                                            << "good link"
                                                            << "" << 0;
        QTest::newRow("notebook links to a lesson elsewhere") << "lesson/scb.txt"
                                                              << "good link"
                                                              << "" << 0;
        QTest::newRow("settings file is a pipe") << "csh2.dat"
                                                 << "fifo"
                                                 << "不是普通文件" << 1;
        QTest::newRow("settings file of 3 GB, read for its records") << "csh2.dat"
                                                                     << "huge"
                                                                     << "" << 0;
    }
    void oddFiles() {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        QFETCH(QString, says);
        QFETCH(int, messages);
        Harness h(nullptr, false);
        const bool settings = file == "csh2.dat", notebook = file.endsWith("scb.txt");
        SettingsRecord s = noReview();
        s.ReviewNotebookAtStart = notebook ? VbTrue : VbFalse;
        s.InitialUnfamiliarity = 1;
        const QString path = h.dir.filePath(file);
        QTemporaryDir elsewhere;
        const QString good = elsewhere.filePath("good.txt");
        QVERIFY(writepairs(good, Fruit).ok());
        const QByteArray goodBytes = fileBytes(good);
        QDir().mkpath(h.module.lessonFolder());
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        } else if (kind == "huge") {
            putFile(h.dir, file, settings ? encodeSettings(s) : QByteArray("\"a\",\"b\"\r\n"));
            QFile big(path);
            QVERIFY(big.resize(settings ? 3LL << 30 : LargestReadBytes + 1)); // sparse
        } else {
            QVERIFY(QFile::link(kind == "good link" ? good : kind, path));
        }
        if (!settings)
            putFile(h.dir, "csh2.dat", encodeSettings(s));
        const qint64 size = QFileInfo(path).size();
        const QString target = QFileInfo(path).symLinkTarget();

        h.start(); // returns: nothing blocks on the pipe
        if (settings)
            QCOMPARE(h.module.Settings.SpeechSpeed, kind == "huge" ? 200 : 160);
        const QString lesson = h.lesson("fruit.txt", Fruit);
        if (notebook) {
            if (h.engine().reviewingNotebook()) // a notebook that can be read is reviewed first
                h.missThenLearn({});
            h.study({lesson});
            h.missThenLearn({"apple", "pear"}); // the notebook cannot be written there
        } else if (!settings) {
            h.study({path});
            QCOMPARE(h.engine().questionOpen(), says.isEmpty());
        }

        QCOMPARE(h.fakes.messages.shown.size(), messages);
        for (const QString& shown : h.fakes.messages.shown)
            QVERIFY2(shown.contains(says) && shown.contains(QFileInfo(file).fileName()),
                     qPrintable(shown));
        if (!notebook && !settings) // a lesson is only read: what matters is said above
            return;
        // The notebook (written at the end of a run) and the settings file (written when they
        // change) are left as they were found where they cannot be written; a notebook linked
        // from elsewhere is written where the link leads, and stays a link.
        QCOMPARE(kindOf(path), kind == "fifo" ? "fifo" : kind == "huge" ? "file" : "link");
        QCOMPARE(QFileInfo(path).symLinkTarget(), target);
        if (kind == "huge")
            QCOMPARE(QFileInfo(path).size(), size);
        QCOMPARE(fileBytes(good), notebook && kind == "good link"
                                      ? lessonBytes({Fruit[0], Fruit[1]}) // apple, pear
                                      : goodBytes);
    }

    // A line no word can fill is refused with its number, before it ever reaches the screen.
    void longFieldIsRefusedWithItsLine() {
        Harness h;
        h.study({h.lesson("fruit.txt", Fruit)});
        const QString question = h.question();
        const QByteArray bytes = "a,b\r\nc,d\r\ne," + QByteArray(3 << 20, 'x') + "\r\n";
        const QString path = putFile(h.dir, "lesson/long.txt", bytes);
        h.study({path});
        QCOMPARE(h.fakes.messages.shown.size(), 1);
        QVERIFY2(h.fakes.messages.shown[0].contains("long.txt”第 3 行"),
                 qPrintable(h.fakes.messages.shown[0]));
        QCOMPARE(h.question(), question);
        QCOMPARE(fileBytes(path), bytes);
    }

    // Random bytes as csh2.dat: every stepped count within the dialog's range, the file as it
    // was, the drill running.
    void garbageSettings_data() {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u, 4u, 5u})
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
    }
    void garbageSettings() {
        QFETCH(quint32, seed);
        const QByteArray bytes = garbage(SettingsFileLength, seed);
        Harness h(nullptr, false);
        const QString path = putFile(h.dir, "csh2.dat", bytes);
        h.start();
        const SettingsRecord& s = h.module.Settings;
        QVERIFY(s.SpeechSpeed >= 80 && s.SpeechSpeed <= 280);
        QVERIFY(s.ReadCount >= 1 && s.ReadCount <= 5);
        QVERIFY(s.ChoiceCount >= 1 && s.ChoiceCount <= 5);
        QVERIFY(s.InitialUnfamiliarity >= 1 && s.InitialUnfamiliarity <= 10);
        QVERIFY(s.WrongRepeatCount >= 1 && s.WrongRepeatCount <= 5);
        QCOMPARE(fileBytes(path), bytes);
        h.study({h.lesson("fruit.txt", Fruit)});
        QVERIFY(h.engine().questionOpen());
        QVERIFY(h.fakes.messages.shown.isEmpty());
    }

    // Names in GBK bytes, as a zip from a Chinese Windows machine leaves them: shown readable,
    // opened by their real bytes.
    void gbkFileNames() {
        Harness h;
        QDir().mkpath(h.module.lessonFolder());
        const QByteArray folder = QFile::encodeName(h.module.lessonFolder());
        const QByteArray school = folder + "/\xB5\xA5\xB4\xCA.txt"; // 单词.txt
        const QByteArray course = folder + "/\xBF\xCE\xB3\xCC";     // 课程
        const QByteArray inner = course + "/\xB5\xDA\xD2\xBB.txt";  // 第一.txt
        const auto putNative = [](const QByteArray& name, const Pairs& pairs) {
            QTemporaryDir scratch;
            QVERIFY(writepairs(scratch.filePath("l.txt"), pairs).ok());
            const QByteArray bytes = fileBytes(scratch.filePath("l.txt"));
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
            ::close(fd);
        };
        putNative(school, Fruit);
        QCOMPARE(::mkdir(course.constData(), 0755), 0);
        putNative(inner, {{"one", "一"}, {"two", "二"}});
        const QByteArray schoolBytes = nativeBytes(pathFromNative(school));
        QVERIFY(schoolBytes.startsWith("\"apple\""));

        QTest::keyClick(h.window.get(), Qt::Key_O);
        QPointer<Formopen> chooser = h.window->findChild<Formopen*>("Formopen");
        QVERIFY(chooser);
        auto* files = chooser->findChild<QListWidget*>("File1");
        auto* folders = chooser->findChild<QListWidget*>("Dir1");
        const auto shown = [](QListWidget* list) {
            QStringList texts;
            for (int i = 0; i < list->count(); ++i)
                texts << list->item(i)->text().trimmed();
            return texts;
        };
        QVERIFY2(shown(files).contains("单词.txt"), qPrintable(shown(files).join('|')));
        QVERIFY2(shown(folders).contains("课程"), qPrintable(shown(folders).join('|')));

        files->item(int(shown(files).indexOf("单词.txt")))->setSelected(true);
        chooser->Command1_Click();
        QVERIFY(h.engine().questionOpen());
        QCOMPARE(h.engine().wordCount(), 3);
        QVERIFY2(h.window->windowTitle().endsWith("单词.txt"), qPrintable(h.window->windowTitle()));

        // The folder opens too, and its file loads.
        QTRY_VERIFY(!chooser);
        QTest::keyClick(h.window.get(), Qt::Key_O);
        chooser = h.window->findChild<Formopen*>("Formopen");
        folders = chooser->findChild<QListWidget*>("Dir1");
        folders->setCurrentRow(int(shown(folders).indexOf("课程")));
        QTest::keyClick(folders, Qt::Key_Return);
        QTest::qWait(0);
        QVERIFY(chooser); // Enter opened the folder and left the chooser open
        QVERIFY(chooser->isVisible());
        files = chooser->findChild<QListWidget*>("File1");
        QCOMPARE(shown(files), QStringList{"第一.txt"});
        files->item(0)->setSelected(true);
        chooser->Command1_Click();
        QCOMPARE(h.engine().wordCount(), 2);
        QVERIFY(h.fakes.messages.shown.isEmpty());
        QCOMPARE(nativeBytes(pathFromNative(school)), schoolBytes);
        // Qt cannot name these files, so they are removed by their bytes.
        QCOMPARE(::unlink(inner.constData()) | ::rmdir(course.constData()) |
                     ::unlink(school.constData()),
                 0);
    }

    // Closing the main window closes it alone: typed words in the editor stay, the drill's
    // own windows and its clock stop with it.
    void closingMainKeepsEditor() {
        SettingsRecord s;
        s.AutoBrowse = VbTrue;
        Harness h(s);
        h.window->show();
        h.study({h.lesson("fruit.txt", Fruit)});
        QTest::keyClick(h.window.get(), Qt::Key_F);
        auto* editor = topLevel<Form1>("Form1");
        QVERIFY(editor);
        editor->findChild<QLineEdit*>("Text1")->setText("cat");
        editor->findChild<QLineEdit*>("Text2")->setText("猫");
        editor->findChild<QPushButton*>("Command1")->click();
        QTest::keyClick(h.window.get(), Qt::Key_O);
        QVERIFY(h.window->findChild<Formopen*>("Formopen"));

        h.window->close();
        QVERIFY(!h.window->isVisible());
        QTRY_VERIFY(!h.window->findChild<Formopen*>("Formopen"));
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->findChild<QListWidget*>("List1_1")->item(0)->text(), "猫");
        QVERIFY(!h.window->findChild<QTimer*>("Timer1")->isActive());
    }
};

QTEST_MAIN(tst_Survival)
#include "tst_survival.moc"
