#include "module1.h"
#include "settings/settingsfile.h"
#include "testfiles.h"

#include <QTest>

Q_DECLARE_METATYPE(SettingsRecord)

// Shown when a comparison fails.
char* toString(const SettingsRecord& s) {
    return QTest::toString(QStringList{
        QString::number(s.SpeechSpeed), QString::number(s.ReadCount),
        QString::number(s.ChoiceCount), QString::number(s.InitialUnfamiliarity),
        QString::number(s.WrongRepeatCount), QString::number(s.TranslationDirection),
        QString::number(s.ChoiceMode), QString::number(s.ListeningMode),
        QString::number(s.ReviewNotebookAtStart), QString::number(s.AutoBrowse),
        QString::number(s.AutoBrowseSpeed), s.WindowBackColor, s.QuestionColor1, s.QuestionColor2,
        s.QuestionColor3, s.QuestionColor4, s.HoverColor, s.WrongColor, s.AnswerColor}
                               .join(u'|'));
}

namespace {

// The default csh2.dat written out by hand, record by record.
QByteArray handWrittenDefaultFile() {
    const QList<QByteArray> records = {
        QByteArray::fromHex("A0000000"),
        QByteArray::fromHex("01000000"),
        QByteArray::fromHex("03000000"),
        QByteArray::fromHex("02000000"),
        QByteArray::fromHex("02000000"),
        QByteArray::fromHex("FFFF"),
        QByteArray::fromHex("FFFF"),
        QByteArray::fromHex("0000"),
        QByteArray::fromHex("FFFF"),
        QByteArray::fromHex("0000"),
        QByteArray::fromHex("0300"),
        QByteArray::fromHex("0800") + "&H808000",
        QByteArray::fromHex("0800") + "&HFF0000",
        QByteArray::fromHex("0600") + "&HFF00",
        QByteArray::fromHex("0600") + "&HFFFF",
        QByteArray::fromHex("0400") + "&HFF",
        QByteArray::fromHex("0800") + "&HFFFF00",
        QByteArray::fromHex("0800") + "&HFF0000",
        QByteArray::fromHex("0600") + "&HFF00",
    };
    QByteArray file;
    for (QByteArray record : records) {
        record.resize(128, '\0');
        file += record;
    }
    return file;
}

SettingsRecord customSettings() {
    SettingsRecord s;
    s.SpeechSpeed = 240;
    s.ReadCount = 3;
    s.ChoiceCount = 5;
    s.InitialUnfamiliarity = 7;
    s.WrongRepeatCount = 4;
    s.TranslationDirection = VbFalse;
    s.ChoiceMode = VbFalse;
    s.ListeningMode = VbTrue;
    s.ReviewNotebookAtStart = VbFalse;
    s.AutoBrowse = VbTrue;
    s.AutoBrowseSpeed = 5;
    s.WindowBackColor = QStringLiteral("8421376");
    s.QuestionColor1 = QStringLiteral("1");
    s.QuestionColor2 = QStringLiteral("&H10");
    s.QuestionColor3 = QStringLiteral("300");
    s.QuestionColor4 = QStringLiteral("&HABCDEF");
    s.HoverColor = QStringLiteral("0");
    s.WrongColor = QStringLiteral("65535");
    s.AnswerColor = QStringLiteral("&h00ff00");
    return s;
}

qsizetype recordStart(int record) {
    return (record - 1) * 128;
}

QByteArray withText(QByteArray image, int record, const QByteArray& lengthAndText) {
    image.replace(recordStart(record), lengthAndText.size(), lengthAndText);
    return image;
}

} // namespace

class tst_SettingsFile final : public QObject {
    Q_OBJECT

private slots:
    void firstStartWritesDefaultFile() {
        QTemporaryDir dir;
        Module1 m(dir.path());
        QVERIFY(m.LoadSettings().ok());
        QCOMPARE(m.SettingsPath, dir.filePath("csh2.dat"));
        QCOMPARE(fileBytes(m.SettingsPath), handWrittenDefaultFile());
        QCOMPARE(m.Settings, SettingsRecord{});
        QCOMPARE(m.Settings.SpeechSpeed, 160);
        QCOMPARE(m.Settings.WindowBackColor, QStringLiteral("&H808000"));
        QCOMPARE(m.SavedChoiceCount, 3);
    }

    void existingFileIsReadNotOverwritten() {
        QTemporaryDir dir;
        const QByteArray image = encodeSettings(customSettings());
        const QString path = putFile(dir, "csh2.dat", image);
        Module1 m(dir.path());
        QVERIFY(m.LoadSettings().ok());
        QCOMPARE(m.Settings, customSettings());
        QCOMPARE(m.SavedChoiceCount, 5);
        QCOMPARE(fileBytes(path), image);
    }

    void pathRule_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("root") << "/"
                              << "/csh2.dat";
        QTest::newRow("folder") << "/opt/vokarin"
                                << "/opt/vokarin/csh2.dat";
        QTest::newRow("trailing separator") << "/opt/vokarin/"
                                            << "/opt/vokarin/csh2.dat";
    }
    void pathRule() {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        QCOMPARE(settingsPathFor(folder), expected);
    }

    void colourFromText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<quint32>("value");
        QTest::newRow("hex teal") << "&H808000" << true << 8421376u;
        QTest::newRow("decimal teal") << "8421376" << true << 8421376u;
        QTest::newRow("hex yellow is unsigned") << "&HFFFF" << true << 65535u;
        QTest::newRow("lower-case h and digits") << "&hff00" << true << 65280u;
        QTest::newRow("leading zeros") << "&H00FF" << true << 255u;
        QTest::newRow("zero") << "0" << true << 0u;
        QTest::newRow("largest") << "&HFFFFFFFF" << true << 0xFFFFFFFFu;
        QTest::newRow("empty") << "" << false << 0u;
        QTest::newRow("prefix only") << "&H" << false << 0u;
        QTest::newRow("word") << "blue" << false << 0u;
        QTest::newRow("negative") << "-5" << false << 0u;
        QTest::newRow("plus sign") << "+5" << false << 0u;
        QTest::newRow("blank before") << " 255" << false << 0u;
        QTest::newRow("trailing junk") << "255x" << false << 0u;
        QTest::newRow("hex digit in decimal") << "12AB" << false << 0u;
        QTest::newRow("too large hex") << "&H100000000" << false << 0u;
        QTest::newRow("too large decimal") << "4294967296" << false << 0u;
        QTest::newRow("full-width digits") << "１２" << false << 0u;
    }
    void colourFromText() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(quint32, value);
        const std::optional<quint32> colour = ::colourFromText(text);
        QCOMPARE(colour.has_value(), valid);
        if (valid)
            QCOMPARE(*colour, value);
    }

    void colourToTextIsDecimal() {
        QCOMPARE(colourToText(8421376), QStringLiteral("8421376"));
        QCOMPARE(colourToText(0), QStringLiteral("0"));
        QCOMPARE(::colourFromText(colourToText(0xFFFFFF)), std::optional<quint32>(0xFFFFFF));
    }

    void damagedFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<SettingsRecord>("expected");

        const SettingsRecord custom = customSettings();
        const QByteArray image = encodeSettings(custom);
        const SettingsRecord defaults;

        QTest::newRow("empty file") << QByteArray() << defaults;

        SettingsRecord firstFive = defaults;
        firstFive.SpeechSpeed = custom.SpeechSpeed;
        firstFive.ReadCount = custom.ReadCount;
        firstFive.ChoiceCount = custom.ChoiceCount;
        firstFive.InitialUnfamiliarity = custom.InitialUnfamiliarity;
        firstFive.WrongRepeatCount = custom.WrongRepeatCount;
        QTest::newRow("ends inside record 6") << image.left(recordStart(6) + 1) << firstFive;

        SettingsRecord elevenFields = custom;
        for (QString SettingsRecord::*colour :
             {&SettingsRecord::WindowBackColor, &SettingsRecord::QuestionColor1,
              &SettingsRecord::QuestionColor2, &SettingsRecord::QuestionColor3,
              &SettingsRecord::QuestionColor4, &SettingsRecord::HoverColor,
              &SettingsRecord::WrongColor, &SettingsRecord::AnswerColor})
            elevenFields.*colour = defaults.*colour;
        QTest::newRow("ends inside the text of record 12")
            << image.left(recordStart(12) + 4) << elevenFields;

        SettingsRecord lastMissing = custom;
        lastMissing.AnswerColor = defaults.AnswerColor;
        QTest::newRow("ends inside the last text")
            << image.left(recordStart(19) + 6) << lastMissing;

        SettingsRecord badQuestion1 = custom;
        badQuestion1.QuestionColor1 = defaults.QuestionColor1;
        QByteArray tooLong = QByteArray::fromHex("7F00") + QByteArray(127, '1');
        tooLong.resize(128);
        QTest::newRow("text length 127 does not fit")
            << withText(image, 13, tooLong) << badQuestion1;

        SettingsRecord badHover = custom;
        badHover.HoverColor = defaults.HoverColor;
        QTest::newRow("colour word")
            << withText(image, 17, QByteArray::fromHex("0400") + "blue") << badHover;
        QTest::newRow("negative colour")
            << withText(image, 17, QByteArray::fromHex("0200") + "-5") << badHover;
        QTest::newRow("empty colour")
            << withText(image, 17, QByteArray::fromHex("0000")) << badHover;

        SettingsRecord longest = custom;
        longest.WrongColor = QString(126, u'0');
        QTest::newRow("text length 126 fits")
            << withText(image, 18, QByteArray::fromHex("7E00") + QByteArray(126, '0')) << longest;

        QByteArray noisy = image;
        for (int record = 1; record <= 19; ++record)
            noisy[recordStart(record) + 127] = char(0xAB);
        QTest::newRow("padding is ignored") << noisy << custom;
        QTest::newRow("bytes after the last record are ignored")
            << image + QByteArray(300, 'x') << custom;
    }
    void damagedFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(SettingsRecord, expected);
        QTemporaryDir dir;
        const QString path = putFile(dir, "csh2.dat", bytes);
        Module1 m(dir.path());
        QVERIFY(m.LoadSettings().ok());
        QCOMPARE(m.Settings, expected);
        QCOMPARE(m.SavedChoiceCount, expected.ChoiceCount);
        // Nothing is rewritten on reading, but for an empty file, which stands for none.
        QCOMPARE(fileBytes(path), bytes.isEmpty() ? encodeSettings({}) : bytes);
    }

    void saveKeepsRecord7() {
        QTemporaryDir dir;
        QByteArray image = encodeSettings(customSettings());
        QByteArray record7 = QByteArray::fromHex("0000") + QByteArray(126, char(0x5A));
        image.replace(recordStart(7), 128, record7);
        const QString path = putFile(dir, "csh2.dat", image);

        Module1 m(dir.path());
        QVERIFY(m.LoadSettings().ok());
        QCOMPARE(m.Settings.ChoiceMode, VbFalse);
        m.Settings = SettingsRecord{}; // typing mode switched off again in memory
        m.Settings.SpeechSpeed = 280;
        QVERIFY(m.SaveSettings().ok());

        const QByteArray saved = fileBytes(path);
        QCOMPARE(saved.size(), 2432);
        QCOMPARE(saved.mid(recordStart(7), 128), record7);
        QByteArray expected = encodeSettings(m.Settings);
        expected.replace(recordStart(7), 128, record7);
        QCOMPARE(saved, expected);
        QCOMPARE(m.SavedChoiceCount, 5); // saving does not touch the start-up value
    }

    void nextStartIsInChoiceModeAfterApply() {
        QTemporaryDir dir;
        Module1 first(dir.path());
        QVERIFY(first.LoadSettings().ok());
        first.Settings.ChoiceMode = VbFalse;
        QVERIFY(first.SaveSettings().ok());
        Module1 next(dir.path());
        QVERIFY(next.LoadSettings().ok());
        QCOMPARE(next.Settings.ChoiceMode, VbTrue);
    }

    void saveRecreatesDeletedFile() {
        QTemporaryDir dir;
        Module1 m(dir.path());
        QVERIFY(m.LoadSettings().ok());
        QVERIFY(QFile::remove(m.SettingsPath));
        QVERIFY(m.SaveSettings().ok());
        const QByteArray saved = fileBytes(m.SettingsPath);
        QCOMPARE(saved.size(), 2432);
        QCOMPARE(saved.mid(recordStart(7), 128), QByteArray(128, '\0'));
        Module1 next(dir.path());
        QVERIFY(next.LoadSettings().ok());
        QCOMPARE(next.Settings.ChoiceMode, VbFalse);
    }

    void decimalColourIsSavedAsDecimalText() {
        QTemporaryDir dir;
        Module1 m(dir.path());
        QVERIFY(m.LoadSettings().ok());
        m.Settings.WindowBackColor = colourToText(*::colourFromText(m.Settings.WindowBackColor));
        QVERIFY(m.SaveSettings().ok());
        QCOMPARE(fileBytes(m.SettingsPath).mid(recordStart(12), 10),
                 QByteArray::fromHex("0700") + "8421376" + '\0');
        Module1 next(dir.path());
        QVERIFY(next.LoadSettings().ok());
        QCOMPARE(::colourFromText(next.Settings.WindowBackColor), 0x808000u);
    }

    void unwritableFolderKeepsDefaultsInMemory() {
        QTemporaryDir dir;
        const QString notAFolder = putFile(dir, "plain-file", "x");
        Module1 m(notAFolder + "/app");
        const FileResult loaded = m.LoadSettings();
        QCOMPARE(loaded.kind, FileError::CannotOpen);
        QVERIFY(!loaded.description.isEmpty());
        QCOMPARE(m.Settings, SettingsRecord{});
        QCOMPARE(m.SavedChoiceCount, 3);
        const FileResult saved = m.SaveSettings();
        QCOMPARE(saved.kind, FileError::CannotOpen);
        QVERIFY(saved.description.contains("csh2.dat"));
    }

    void settingsPathThatIsAFolder() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("csh2.dat"));
        Module1 m(dir.path());
        QCOMPARE(m.LoadSettings().kind, FileError::AccessRefused);
        QCOMPARE(m.Settings, SettingsRecord{});
        QCOMPARE(m.SaveSettings().kind, FileError::AccessRefused);
        QVERIFY(QFileInfo(m.SettingsPath).isDir());
    }
};

QTEST_GUILESS_MAIN(tst_SettingsFile)
#include "tst_settingsfile.moc"
