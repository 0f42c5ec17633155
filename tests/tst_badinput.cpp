// Whatever a learner's disk holds, the program neither crashes nor hangs nor loses a file,
// and says what is wrong.
#include "windowharness.h"
#include "windows/lessonchooser.h"
#include "windows/settingsdialog.h"

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>

namespace {

const Pairs Fruit = {{"apple", "苹果"}, {"pear", "梨"}, {"plum", "李子"}};

// A folder nobody may write into, made writable again when the test ends. Permissions do
// not bind root, so for root the folder is also made immutable where the file system can.
class ReadOnlyFolder {
public:
    ReadOnlyFolder() = default;
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    ~ReadOnlyFolder() {
        if (path_.isEmpty())
            return;
        if (immutable_)
            QProcess::execute("chattr", {"-i", path_});
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    bool make(const QString& path) {
        path_ = path;
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        if (!writable())
            return true;
        immutable_ = QProcess::execute("chattr", {"+i", path}) == 0;
        return !writable();
    }

private:
    bool writable() const {
        QFile probe(path_ + "/probe");
        if (!probe.open(QIODevice::WriteOnly))
            return false;
        probe.remove();
        return true;
    }

    QString path_;
    bool immutable_ = false;
};

} // namespace

class tst_BadInput final : public QObject {
    Q_OBJECT

private slots:
    void lessonFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("says"); // empty: it loads
        QTest::addColumn<int>("words");
        QTest::newRow("binary garbage") << garbage(4096, 1) << "不是单词文件" << 0;
        QTest::newRow("NUL bytes")
            << QByteArray("\"a\",\"b\"\r\n\"c\0\",\"d\"\r\n", 18) << "不是单词文件" << 0;
        QTest::newRow("invalid GBK bytes")
            << QByteArray("\"a\x81\",\"\xFF\xFE\"\r\n\"c\",\"d\"\r\n") << "" << 2;
        QTest::newRow("CR-only line ends") << QByteArray("a,b\rc,d\re,f\r") << "" << 3;
        QTest::newRow("LF-only line ends")
            << QByteArray("a,b\nc,d\ne,f\n") << "单词少于2个,无法学习" << 0;
        QTest::newRow("50 MB on one line")
            << QByteArray(50 * 1024 * 1024, 'x') << "单词少于2个,无法学习" << 0;
        QTest::newRow("unclosed quote") << QByteArray("\"a\",\"b\r\n\"c\",\"d\"\r\n") << "" << 2;
        QTest::newRow("only blank lines") << QByteArray("\r\n\r\n\r\n") << "行有空词" << 0;
    }
    void lessonFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        QFETCH(int, words);
        Harness h;
        h.study({h.lesson("good.txt", Fruit)});
        const QString question = h.question();
        const QString bad = putFile(h.dir, "lesson/bad.txt", bytes);
        h.study({bad});
        QCOMPARE(fileBytes(bad).size(), bytes.size()); // never written to
        if (says.isEmpty()) {
            QVERIFY(h.fakes.messages.shown.isEmpty());
            QCOMPARE(h.engine().wordCount(), words);
            h.answerRight();
            h.answerWrong();
        } else {
            QCOMPARE(h.fakes.messages.shown.size(), 1);
            QVERIFY2(h.fakes.messages.shown[0].contains(says),
                     qPrintable(h.fakes.messages.shown[0]));
            QCOMPARE(h.question(), question); // the lesson before goes on
            QCOMPARE(h.engine().wordCount(), 3);
        }
    }

    void lessonPaths_data() {
        QTest::addColumn<QString>("path"); // relative to the application folder
        QTest::addColumn<QString>("says");
        QTest::newRow("a folder") << "lesson"
                                  << "这是一个文件夹";
        QTest::newRow("missing") << "lesson/gone.txt"
                                 << "找不到文件";
        QTest::newRow("no name") << ""
                                 << "没有指定文件名";
    }
    void lessonPaths() {
        QFETCH(QString, path);
        QFETCH(QString, says);
        Harness h;
        h.lesson("good.txt", Fruit);
        h.study({path.isEmpty() ? QString() : h.dir.filePath(path)});
        QCOMPARE(h.fakes.messages.shown.size(), 1);
        QVERIFY2(h.fakes.messages.shown[0].contains(says), qPrintable(h.fakes.messages.shown[0]));
        QVERIFY(!h.engine().questionOpen());
    }

    void fileVanishesBetweenCountingAndReading() {
        QTemporaryDir dir;
        const QString path = putFile(dir, "a.txt", "a,b\r\nc,d\r\n");
        qint32 lines = 0;
        QVERIFY(countlines(path, lines).ok());
        QVERIFY(QFile::remove(path));
        int pairs = 0;
        const FileResult read = readpairs(path, lines, [&](QStringView, QStringView) {
            ++pairs;
            return true;
        });
        QCOMPARE(read.kind, FileError::CannotOpen);
        QVERIFY(read.description.contains("找不到文件"));
        QCOMPARE(pairs, 0);
    }

    void folders_data() {
        QTest::addColumn<QString>("appFolder"); // "" a normal one, "file" below a plain file
        // Either no lesson folder at all, or a read-only one holding an earlier notebook.
        QTest::addColumn<bool>("readOnlyLessons");
        QTest::newRow("no lesson folder") << "" << false;
        QTest::newRow("read-only lesson folder") << "" << true;
        QTest::newRow("application folder cannot be written") << "file" << false;
    }
    void folders() {
        QFETCH(QString, appFolder);
        QFETCH(bool, readOnlyLessons);
        QTemporaryDir root;
        const QString app =
            appFolder.isEmpty() ? root.path() : putFile(root, "plain", "x") + "/app";
        const QByteArray earlierNotebook = "\"old\",\"旧\"\r\n\"words\",\"词\"\r\n";
        const QString lessons = root.filePath("lesson");
        ReadOnlyFolder readOnly;
        if (readOnlyLessons) {
            QVERIFY(QDir(root.path()).mkdir("lesson"));
            putFile(root, "lesson/scb.txt", earlierNotebook);
            SettingsRecord noReview;
            noReview.ReviewNotebookAtStart = VbFalse; // the earlier notebook stays put
            putFile(root, "csh2.dat", encodeSettings(noReview));
            if (!readOnly.make(lessons))
                QSKIP("this file system lets this user write into any folder");
        }
        Module1 module(app);
        FakePlatform fakes;
        module.SpeechObject = &fakes.speech;
        module.Settings.InitialUnfamiliarity = 1;
        frmMain window(module, fakes.platform);
        QCOMPARE(module.Settings.ChoiceCount, 3); // defaults in memory at least
        QCOMPARE(QFileInfo::exists(module.lessonFolder()), readOnlyLessons);

        // The chooser opens somewhere sensible.
        QTest::keyClick(&window, Qt::Key_O);
        auto* chooser = window.findChild<Formopen*>("Formopen");
        QVERIFY(chooser);
        QVERIFY(!chooser->folder().isEmpty());
        chooser->close();

        // A lesson from elsewhere is studied; the notebook cannot be kept, and the learner
        // hears of it; the run still ends with its dialog.
        QTemporaryDir elsewhere;
        const QString lesson = elsewhere.filePath("a.txt");
        QVERIFY(writepairs(lesson, {{"a", "甲"}, {"b", "乙"}}).ok());
        window.engine().lessonsChosen({lesson});
        // Each word missed once (and so collected), then learned.
        QStringList missed;
        for (int guard = 0; window.engine().questionOpen() && guard < 100; ++guard) {
            DrillEngine& e = window.engine();
            const QString word = e.row(e.currentWord()).fileWord;
            if (missed.contains(word)) {
                e.dispatch(Command::ClickChoice, e.answerSlot());
            } else {
                missed << word;
                e.dispatch(Command::ClickChoice, e.answerSlot() == 1 ? 2 : 1);
            }
        }
        QCOMPARE(window.notebook().count(), 2);
        QVERIFY(fakes.messages.shown.filter("生词没能存进生词本").size() == 1);
        if (readOnlyLessons)
            QCOMPARE(fileBytes(lessons + "/scb.txt"), earlierNotebook);
        QVERIFY(window.findChild<QWidget*>("Form3"));

        // Settings cannot be saved either: said, and in effect all the same.
        QTest::keyClick(&window, Qt::Key_C);
        auto* settings = topLevel<Form2>("Form2");
        QVERIFY(settings);
        settings->findChild<QPushButton*>("Command1")->click(); // speed up
        settings->cmdApply_Click();
        if (!appFolder.isEmpty()) {
            QVERIFY(fakes.messages.shown.filter("设置没能保存").size() == 1);
            QCOMPARE(module.Settings.SpeechSpeed, 200);
        }
    }

    void absurdSettings_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("read");
        QTest::newRow("ChoiceCount 0") << "ChoiceCount" << 0 << 1;
        QTest::newRow("ChoiceCount 99") << "ChoiceCount" << 99 << 5;
        QTest::newRow("ChoiceCount negative") << "ChoiceCount" << -7 << 1;
        QTest::newRow("ReadCount -5") << "ReadCount" << -5 << 1;
        QTest::newRow("ReadCount huge") << "ReadCount" << 2000000000 << 5;
        QTest::newRow("ReadCount 4 stays") << "ReadCount" << 4 << 4;
        QTest::newRow("AutoBrowseSpeed 0 stays") << "AutoBrowseSpeed" << 0 << 0;
        QTest::newRow("AutoBrowseSpeed 999 stays") << "AutoBrowseSpeed" << 999 << 999;
        QTest::newRow("InitialUnfamiliarity 0") << "InitialUnfamiliarity" << 0 << 1;
        QTest::newRow("InitialUnfamiliarity huge") << "InitialUnfamiliarity" << 2000000000 << 10;
        QTest::newRow("InitialUnfamiliarity 10 stays") << "InitialUnfamiliarity" << 10 << 10;
        QTest::newRow("WrongRepeatCount -3") << "WrongRepeatCount" << -3 << 1;
        QTest::newRow("WrongRepeatCount millions") << "WrongRepeatCount" << 3000000 << 5;
        QTest::newRow("SpeechSpeed negative") << "SpeechSpeed" << -400 << 80;
        QTest::newRow("SpeechSpeed 1000") << "SpeechSpeed" << 1000 << 280;
        QTest::newRow("SpeechSpeed 100 stays, off the steps") << "SpeechSpeed" << 100 << 100;
        QTest::newRow("ListeningMode 5 is true") << "ListeningMode" << 5 << -1;
        QTest::newRow("ListeningMode 0 stays false") << "ListeningMode" << 0 << 0;
    }
    void absurdSettings() {
        QFETCH(QString, field);
        QFETCH(int, stored);
        QFETCH(int, read);
        SettingsRecord s;
        s.AutoBrowse = VbTrue;
        if (field == "ChoiceCount")
            s.ChoiceCount = stored;
        if (field == "ReadCount")
            s.ReadCount = stored;
        if (field == "AutoBrowseSpeed")
            s.AutoBrowseSpeed = qint16(stored);
        if (field == "InitialUnfamiliarity")
            s.InitialUnfamiliarity = stored;
        if (field == "WrongRepeatCount")
            s.WrongRepeatCount = stored;
        if (field == "SpeechSpeed")
            s.SpeechSpeed = stored;
        if (field == "ListeningMode")
            s.ListeningMode = qint16(stored);
        Harness h(s);
        const SettingsRecord& m = h.module.Settings;
        const int value = field == "ChoiceCount"            ? m.ChoiceCount
                          : field == "ReadCount"            ? m.ReadCount
                          : field == "AutoBrowseSpeed"      ? m.AutoBrowseSpeed
                          : field == "InitialUnfamiliarity" ? m.InitialUnfamiliarity
                          : field == "WrongRepeatCount"     ? m.WrongRepeatCount
                          : field == "ListeningMode"        ? m.ListeningMode
                                                            : m.SpeechSpeed;
        QCOMPARE(value, read);
        QVERIFY(h.window->findChild<QTimer*>("Timer1")->interval() >= 1000);

        // The drill still runs: a question, a wrong answer, ticks, a restart.
        h.study({h.lesson("a.txt", Fruit)});
        QVERIFY(h.engine().questionOpen());
        QVERIFY(h.fakes.speech.calls.filter("speak").size() <= 100);
        h.answerWrong();
        h.window->Timer1_Timer();
        QTest::keyClick(h.window.get(), Qt::Key_R);
        QTest::keyClick(h.window.get(), Qt::Key_C);
        auto* dialog = topLevel<Form2>("Form2");
        QVERIFY(dialog);
        QVERIFY(!dialog->findChild<QComboBox*>("Combo1")->currentText().isEmpty());
        dialog->cmdApply_Click();
        QVERIFY(h.window->findChild<QTimer*>("Timer1")->interval() >= 1000);
    }

    void negativeColoursFallBack() {
        SettingsRecord s;
        s.WindowBackColor = "-1";
        s.HoverColor = "-65536";
        QByteArray image = encodeSettings(s);
        Harness h(nullptr, false);
        putFile(h.dir, "csh2.dat", image);
        h.start();
        QCOMPARE(h.module.Settings.WindowBackColor, QStringLiteral("&H808000"));
        QCOMPARE(h.module.Settings.HoverColor, QStringLiteral("&HFFFF00"));
        QCOMPARE(h.window->backColor(), QColor(0, 128, 128));
    }
};

QTEST_MAIN(tst_BadInput)
#include "tst_badinput.moc"
