// The Qt implementations of the services, against a real sound server and speech engine.
#include "fliteengine.h"
#include "lessons/flashcardpackage.h"
#include "lessons/lessonfile.h"
#include "lessons/wordlists.h"
#include "qtservices/mediaservices.h"
#include "qtservices/modules.h"
#include "qtservices/qtmessageboxes.h"
#include "qtservices/qttranslation.h"
#include "qtsound.h"
#include "qtspeech.h"
#include "services/mediafactory.h"
#include "speechengine.h"
#include "testfiles.h"
#include "voicechoice.h"
#include "wavefile.h"

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QAudioDevice>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTextToSpeech>
#include <QTimer>
#include <QVoice>
#include <QtEndian>

namespace {

const QString AlarmPath = QStringLiteral(VOKARIN_APP_DIR "/ERROR.wav");

bool soundServerRunning() {
    return QProcess::execute(QStringLiteral("pulseaudio"), {QStringLiteral("--check")}) == 0;
}

// The test command provides a sound server; elsewhere these tests may skip.
#define REQUIRE_AUDIO()                                                                            \
    do {                                                                                           \
        if (!soundServerRunning() && qEnvironmentVariableIsEmpty("VOKARIN_REQUIRE_AUDIO"))         \
            QSKIP("no sound server");                                                              \
    } while (false)

// Presses the button whose text contains buttonText in the next message box that opens, and
// records what the box looked like.
struct BoxPresser {
    QString title, text, buttons;
    QMessageBox::Icon icon = QMessageBox::Warning;

    // Tries every 20 ms until the box is there, for up to 10 s.
    void pressSoon(const QString& buttonText, int triesLeft = 500) {
        QTimer::singleShot(20, [this, buttonText, triesLeft] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                if (triesLeft > 0)
                    pressSoon(buttonText, triesLeft - 1);
                return;
            }
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            for (QAbstractButton* b : box->buttons()) {
                buttons += b->text() + u'|';
                if (b->text().contains(buttonText))
                    b->click();
            }
        });
    }
};

QStringList statesWhile(QtSpeech& speech, const std::function<void()>& act, int spoken,
                        int timeoutMs = 15000) {
    QStringList states;
    const QMetaObject::Connection listening =
        QObject::connect(speech.engine(), &SpeechEngine::stateChanged, [&](QTextToSpeech::State s) {
            states << (s == QTextToSpeech::Speaking ? "Speaking"
                       : s == QTextToSpeech::Ready  ? "Ready"
                                                    : "Other");
        });
    act();
    // Until the readings asked for have ended and nothing more is queued or being read.
    QElapsedTimer timer;
    timer.start();
    while ((states.count("Ready") < spoken || !speech.idle()) && timer.elapsed() < timeoutMs)
        QTest::qWait(20);
    QObject::disconnect(listening); // the speech object's own connection stays
    return states;
}

// Every word of the sample lessons.
QStringList sampleLessonWords() {
    QStringList words;
    const QDir lessons(QStringLiteral(VOKARIN_APP_DIR "/lesson"));
    for (const QString& name : lessons.entryList({QStringLiteral("*.txt")})) {
        const QString path = lessons.filePath(name);
        qint32 lines = 0;
        countlines(path, lines);
        readpairs(path, lines, [&](QStringView word, QStringView) {
            words << word.toString();
            return true;
        });
    }
    return words;
}

// A wave file: a fmt chunk (format tag, channels, rate, bits, then any extra bytes), chunks
// named in between, then the data chunk, whose declared size may differ from what it holds.
QByteArray waveFile(quint16 tag, quint16 channels, quint32 rate, quint16 bits,
                    const QByteArray& extra, const QByteArray& between, const QByteArray& data,
                    quint32 declared) {
    QByteArray fmt;
    QDataStream out(&fmt, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << tag << channels << rate << quint32(rate * channels * bits / 8)
        << quint16(channels * bits / 8) << bits;
    fmt += extra;
    QByteArray body = "WAVE";
    const auto chunk = [&](const QByteArray& id, const QByteArray& bytes, quint32 size) {
        QByteArray head = id;
        head.resize(8);
        qToLittleEndian<quint32>(size, head.data() + 4);
        body += head + bytes + QByteArray(bytes.size() & 1, '\0');
    };
    chunk("fmt ", fmt, quint32(fmt.size()));
    body += between;
    chunk("data", data, declared);
    QByteArray riff = "RIFF0000";
    qToLittleEndian<quint32>(quint32(body.size()), riff.data() + 4);
    return riff + body;
}

} // namespace

class tst_RealServices final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installChineseTranslation(*QCoreApplication::instance()); }

    void alarmIsShortPcm() {
        const qint64 ms = QtSound::waveLength(AlarmPath);
        QVERIFY(ms > 100);
        QVERIFY(ms < 1000);
    }

    void playsAlarmToItsEnd() {
        REQUIRE_AUDIO();
        QVERIFY(!QMediaDevices::defaultAudioOutput().isNull());
        QtSound sound;
        QElapsedTimer timer;
        timer.start();
        sound.play(AlarmPath);
        const qint64 took = timer.elapsed();
        QCOMPARE(sound.lastOutcome(), QtSound::Outcome::Played);
        QVERIFY2(took >= QtSound::waveLength(AlarmPath) / 2, qPrintable(QString::number(took)));
        sound.play(AlarmPath); // and again, with the sample already loaded
        QCOMPARE(sound.lastOutcome(), QtSound::Outcome::Played);
    }

    // The alarm is read by the program itself: what a learner may put there as ERROR.wav.
    void readsWaveFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("sampleFormat"); // QAudioFormat::Unknown: not played
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("pcmBytes");
        const QByteArray sound(400, '\x10');
        const QByteArray extensiblePcm = QByteArray::fromHex("1600"
                                                             "1000"
                                                             "03000000"
                                                             "0100");
        QTest::newRow("16-bit mono") << waveFile(1, 1, 16000, 16, {}, {}, sound, 400)
                                     << int(QAudioFormat::Int16) << 1 << 400;
        QTest::newRow("8-bit stereo")
            << waveFile(1, 2, 8000, 8, {}, {}, sound, 400) << int(QAudioFormat::UInt8) << 2 << 400;
        QTest::newRow("float") << waveFile(3, 1, 44100, 32, {}, {}, sound, 400)
                               << int(QAudioFormat::Float) << 1 << 400;
        QTest::newRow("extensible PCM, a LIST chunk of odd size before the data")
            << waveFile(0xFFFE, 2, 48000, 16, extensiblePcm, QByteArray("LIST\x03\0\0\0abc\0", 12),
                        sound, 400)
            << int(QAudioFormat::Int16) << 2 << 400;
        QTest::newRow("cut short: the frames it holds")
            << waveFile(1, 2, 16000, 16, {}, {}, sound.left(398), 4000) << int(QAudioFormat::Int16)
            << 2 << 396;
        QTest::newRow("24-bit: not played") << waveFile(1, 1, 16000, 24, {}, {}, sound, 400)
                                            << int(QAudioFormat::Unknown) << 0 << 0;
        QTest::newRow("compressed: not played")
            << waveFile(2, 1, 16000, 4, {}, {}, sound, 400) << int(QAudioFormat::Unknown) << 0 << 0;
        QTest::newRow("no sound") << waveFile(1, 1, 16000, 16, {}, {}, {}, 0)
                                  << int(QAudioFormat::Unknown) << 0 << 0;
        // An extensible format's sub-format lies past the 16 bytes there are.
        QTest::newRow("a format chunk declaring 4 GB")
            << QByteArray("RIFF\0\0\0\0WAVEfmt \0\0\0\xff\xfe\xff", 22) + QByteArray(14, '\1')
            << int(QAudioFormat::Unknown) << 0 << 0;
        QTest::newRow("not a wave")
            << QByteArray("RIFF\0\0\0\0AVI LIST") << int(QAudioFormat::Unknown) << 0 << 0;
    }
    void readsWaveFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, sampleFormat);
        QFETCH(int, channels);
        QFETCH(int, pcmBytes);
        QTemporaryDir dir;
        const std::optional<Wave> wave = readWave(putFile(dir, "ERROR.wav", bytes));
        QCOMPARE(wave.has_value(), sampleFormat != QAudioFormat::Unknown);
        if (!wave)
            return;
        QCOMPARE(int(wave->format.sampleFormat()), sampleFormat);
        QCOMPARE(wave->format.channelCount(), channels);
        QCOMPARE(wave->pcm.size(), pcmBytes);
    }

    void badSoundFilesReturnPromptly_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QtSound::Outcome>("outcome");
        QTest::newRow("missing: default sound")
            << QByteArray() << false << QtSound::Outcome::DefaultSound;
        QTest::newRow("not a wave file")
            << QByteArray(5000, 'x') << true << QtSound::Outcome::Failed;
        QTest::newRow("empty file") << QByteArray() << true << QtSound::Outcome::Failed;
    }
    void badSoundFilesReturnPromptly() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, exists);
        QFETCH(QtSound::Outcome, outcome);
        REQUIRE_AUDIO();
        QTemporaryDir dir;
        const QString path = exists ? putFile(dir, "ERROR.wav", bytes) : dir.filePath("ERROR.wav");
        QtSound sound;
        sound.play(path);
        // A broken file may also run into the time bound; either way it never hangs.
        QVERIFY(sound.lastOutcome() == outcome ||
                (outcome == QtSound::Outcome::Failed &&
                 sound.lastOutcome() == QtSound::Outcome::TimedOut));
    }

    void speaksApple() {
        REQUIRE_AUDIO();
        QtSpeech speech;
        speech.open(QString(10, u' '), QString(10, u' '));
        QVERIFY2(speech.engine(), "no speech engine works");
        speech.setSpeed(160);
        const QStringList states = statesWhile(
            speech, [&] { speech.speak("apple", 144); }, 1);
        QCOMPARE(states, QStringList({"Speaking", "Ready"}));
    }

    void repeatsAreAllHeard() {
        REQUIRE_AUDIO();
        QtSpeech speech;
        speech.open({}, {});
        QVERIFY(speech.engine());
        const QStringList states = statesWhile(
            speech,
            [&] {
                for (int i = 0; i < 3; ++i)
                    speech.speak("pear", 144);
            },
            3);
        QCOMPARE(states.count("Speaking"), 3);
        QCOMPARE(states.last(), QStringLiteral("Ready"));
    }

    // A new word while the last is still being read: each reading of the new word is heard
    // in full, none cut short by the late end of the interrupted one.
    void newWordMidReadingIsReadInFull() {
        REQUIRE_AUDIO();
        QtSpeech speech;
        speech.open({}, {});
        QVERIFY(speech.engine());
        QElapsedTimer clock;
        clock.start();
        QList<std::pair<QString, qint64>> seen; // state, when
        QObject::connect(speech.engine(), &SpeechEngine::stateChanged, [&](QTextToSpeech::State s) {
            seen.append({s == QTextToSpeech::Speaking ? "Speaking"
                         : s == QTextToSpeech::Ready  ? "Ready"
                                                      : "Other",
                         clock.elapsed()});
        });
        const auto readingsAfter = [&](qsizetype from) {
            QList<qint64> lengths;
            for (qsizetype i = from; i + 1 < seen.size(); ++i)
                if (seen[i].first == "Speaking" && seen[i + 1].first == "Ready")
                    lengths << seen[i + 1].second - seen[i].second;
            return lengths;
        };

        // Two readings alone, to know its length: the first may be slow while the engine and
        // the sound server warm up, so the shorter one counts.
        for (int i = 0; i < 2; ++i) {
            speech.speak("elephant", 144);
            QTRY_VERIFY_WITH_TIMEOUT(readingsAfter(0).size() == i + 1, 15000);
        }
        const qint64 one = std::ranges::min(readingsAfter(0));
        // flite's readings say whether the server played them whole; the time a reading takes
        // also holds the sound server's latency, which other sound changes.
        auto* const flite = qobject_cast<FliteEngine*>(speech.engine());
        QStringList whole;
        if (flite)
            QObject::connect(flite, &FliteEngine::played,
                             [&](const QString& text) { whole << text; });

        for (int i = 0; i < 3; ++i)
            speech.speak("hippopotamus", 144);
        QTRY_VERIFY_WITH_TIMEOUT(seen.last().first == "Speaking", 15000); // the first begun
        const qsizetype change = seen.size();
        for (int i = 0; i < 3; ++i)
            speech.speak("elephant", 144);
        const auto states = [&] {
            QStringList shown;
            for (const auto& [state, at] : seen)
                shown << QStringLiteral("%1@%2").arg(state).arg(at);
            return shown.join(u' ').toUtf8();
        };
        QTRY_VERIFY2_WITH_TIMEOUT(readingsAfter(change).size() >= 3 && speech.idle(),
                                  states().constData(), 20000);
        const QList<qint64> lengths = readingsAfter(change);
        QCOMPARE(lengths.size(), 3);
        if (flite) {
            QCOMPARE(whole.count("elephant"), 3);
            return;
        }
        for (const qint64 length : lengths)
            QVERIFY2(length * 2 > one,
                     qPrintable(QStringLiteral("%1 ms of a %2 ms reading").arg(length).arg(one)));
    }

    // A package's recording of a word is played in the voice's stead, as often as asked: a wave
    // as it is, Ogg decoded first; one that cannot be played is read by the voice instead.
    void recordingsArePlayed_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("played");
        QTest::newRow("wave") << AlarmPath << true;
        QTest::newRow("Ogg Vorbis") << QStringLiteral(VOKARIN_TEST_DATA "/speech/grit.ogg") << true;
        QTest::newRow("MP3") << QStringLiteral(VOKARIN_TEST_DATA "/speech/grit.mp3") << true;
        QTest::newRow("no recording")
            << QStringLiteral(VOKARIN_TEST_DATA "/speech/cet-words.txt") << false;
        QTest::newRow("missing") << "/nonexistent/grit.mp3" << false;
    }
    void recordingsArePlayed() {
        REQUIRE_AUDIO();
        QFETCH(QString, file);
        QFETCH(bool, played);
        QtSpeech speech;
        speech.open({}, {});
        QVERIFY(speech.engine());
        QList<bool> outcomes;
        QStringList read;
        QObject::connect(&speech, &QtSpeech::recordingPlayed, [&](const QString& f, bool whole) {
            QCOMPARE(f, file);
            outcomes << whole;
        });
        if (auto* flite = qobject_cast<FliteEngine*>(speech.engine()))
            QObject::connect(flite, &FliteEngine::played,
                             [&](const QString& text) { read << text; });
        for (int i = 0; i < 2; ++i)
            speech.speakRecording(file, "grit", 144);
        QTRY_VERIFY_WITH_TIMEOUT(outcomes.size() == 2 && speech.idle(), 30000);
        QCOMPARE(outcomes, QList<bool>({played, played}));
        if (qobject_cast<FliteEngine*>(speech.engine()))
            QCOMPARE(read, played ? QStringList() : QStringList({"grit", "grit"}));
    }

    void disabledIsSilent() {
        REQUIRE_AUDIO();
        QtSpeech speech;
        speech.open({}, {});
        QVERIFY(speech.engine());
        speech.setEnabled(false);
        QCOMPARE(statesWhile(
                     speech, [&] { speech.speak("apple", 144); }, 1, 800),
                 QStringList());
        speech.setEnabled(true);
        QCOMPARE(statesWhile(
                     speech, [&] { speech.speak("apple", 144); }, 1),
                 QStringList({"Speaking", "Ready"}));
    }

    void engineRate_data() {
        QTest::addColumn<int>("wpm");
        QTest::addColumn<double>("rate");
        QTest::newRow("80 slowest") << 80 << -1.0;
        QTest::newRow("120") << 120 << -0.5;
        QTest::newRow("160 normal") << 160 << 0.0;
        QTest::newRow("200") << 200 << 1.0 / 3;
        QTest::newRow("280 fastest") << 280 << 1.0;
        QTest::newRow("below range") << 40 << -1.0;
        QTest::newRow("above range") << 400 << 1.0;
    }
    void engineRate() {
        QFETCH(int, wpm);
        QFETCH(double, rate);
        QCOMPARE(::engineRate(wpm), rate);
    }

    // The voice to imitate, from what the engines list (names as Qt 6.4's flite and
    // speech-dispatcher plugins give them), for each accent.
    void voiceChoice_data() {
        QTest::addColumn<QStringList>("offers"); // engine/locale/name
        QTest::addColumn<QString>("american");
        QTest::addColumn<QString>("british");
        QTest::addColumn<bool>("robotic");
        QTest::addColumn<QString>("enough"); // good enough to look no further: a(merican) b(ritish)
        const QStringList flite = {"flite/en_US/awb", "flite/en_US/kal", "flite/en_US/kal16",
                                   "flite/en_US/rms", "flite/en_US/slt"};
        const QStringList espeak = {
            "speechd/en_GB/English (Scotland)", "speechd/en_GB/English (America)+croak",
            "speechd/en_GB/English (America)", "speechd/en_GB/English (Received Pronunciation)",
            "speechd/en_GB/English (Great Britain)"};
        const QString rp = "English (Received Pronunciation)";
        QTest::newRow("flite: slt, never awb (listed first)") << flite << "slt"
                                                              << "slt" << true << "a";
        QTest::newRow("flite and espeak-ng: RP only for British")
            << espeak + flite << "slt" << rp << true << "ab";
        QTest::newRow("espeak-ng alone") << espeak << "English (America)" << rp << true << "b";
        QTest::newRow("festival's HTS voice first")
            << flite + QStringList{"speechd/en_US/cmu_us_slt_arctic_hts"} + espeak
            << "cmu_us_slt_arctic_hts"
            << "cmu_us_slt_arctic_hts" << false << "ab";
        QTest::newRow("only awb: still English") << QStringList{"flite/en_US/awb"} << "awb"
                                                 << "awb" << true << "";
        QTest::newRow("Chinese voices only: none")
            << QStringList{"speechd/zh_CN/Chinese (Mandarin)", "speechd/zh_CN/Cantonese"} << ""
            << "" << true << "";
    }
    void voiceChoice() {
        QFETCH(QStringList, offers);
        QFETCH(QString, american);
        QFETCH(QString, british);
        QFETCH(bool, robotic);
        QList<VoiceOffer> voices;
        for (const QString& offer : offers) {
            const QStringList parts = offer.split(u'/');
            voices.append({parts[0], parts[1], parts[2]});
        }
        for (const auto& [accent, name] :
             {std::pair{Accent::American, american}, std::pair{Accent::British, british}}) {
            const qsizetype best = bestVoice(voices, accent);
            QCOMPARE(best < 0 ? QString() : voices[best].name, name);
        }
        QCOMPARE(onlyRoboticVoices(voices, Accent::American), robotic);
        QFETCH(QString, enough);
        QCOMPARE(goodEnoughVoice(voices, Accent::American), enough.contains(u'a'));
        QCOMPARE(goodEnoughVoice(voices, Accent::British), enough.contains(u'b'));
        // Told what reads British English when nothing here does.
        QCOMPARE(betterVoicePackage(voices, Accent::American), QString());
        QCOMPARE(betterVoicePackage(voices, Accent::British),
                 enough.contains(u'b') ? QString() : "speech-dispatcher-espeak-ng");
    }

    // On this machine: the voice the real speech takes is set to an English locale, and is not
    // flite's Scottish voice, which flite lists as its default.
    void readsWithAnEnglishVoice() {
        QtSpeech speech;
        speech.open(QString(10, u' '), QString(10, u' '));
        SpeechEngine* engine = speech.engine();
        if (!engine)
            QSKIP("no speech engine on this machine");
        QCOMPARE(engine->locale().language(), QLocale::English);
        if (engine->name() == QLatin1String("flite"))
            QCOMPARE(engine->voiceName(), QStringLiteral("slt"));
        else
            QVERIFY2(engine->voiceName() != QLatin1String("awb"), qPrintable(engine->voiceName()));
        // The voices listed for the learner, the one in use first and flite's awb last.
        const QStringList found = speech.voicesFound();
        QVERIFY(!found.isEmpty());
        QCOMPARE(found.first(),
                 QStringLiteral("%1 (%2)").arg(speech.voiceInUse(), engine->locale().name()));
        if (FliteVoices::installed().contains(QStringLiteral("awb")))
            QCOMPARE(found.last(), QStringLiteral("flite · awb (en_US)"));
    }

    // flite makes sound of every word a learner meets: the sample lessons and a few thousand
    // words of a college list (the loudest sample well above silence, a word's length).
    void everyWordMakesSound() {
        if (FliteVoices::installed().isEmpty())
            QSKIP("libflite is not installed");
        QFile list(QStringLiteral(VOKARIN_TEST_DATA "/speech/cet-words.txt"));
        QVERIFY(list.open(QIODevice::ReadOnly | QIODevice::Text));
        QStringList words = sampleLessonWords();
        QVERIFY(words.size() > 20);
        while (!list.atEnd())
            if (const QString word = QString::fromUtf8(list.readLine()).trimmed();
                !word.isEmpty() && !word.startsWith(u'#'))
                words << word;
        QVERIFY(words.size() > 4000);
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizers make each of flite's thousands of allocations slow: there every fourth
        // word of the typed list is read (all of them in the plain run).
        constexpr qsizetype Every = 4;
#else
        constexpr qsizetype Every = 1;
#endif
        const qsizetype lessonWords = sampleLessonWords().size();
        FliteVoices voices;
        QStringList silent;
        for (qsizetype i = 0; i < words.size(); ++i) {
            if (i >= lessonWords && (i - lessonWords) % Every != 0)
                continue;
            const QString& word = words[i];
            const Wave sound = voices.read(word, QStringLiteral("slt"), fliteStretch(1.0));
            if (sound.peak() < 2000 || sound.lengthMs() < 100)
                silent << QStringLiteral("%1 (%2 ms, peak %3)")
                              .arg(word)
                              .arg(sound.lengthMs())
                              .arg(sound.peak());
        }
        QVERIFY2(silent.isEmpty(), qPrintable(silent.join(u", ")));
        QVERIFY(voices.read(QStringLiteral("apple"), QStringLiteral("no such voice"), 1).isEmpty());
        QVERIFY(voices.read(QStringLiteral("  "), QStringLiteral("slt"), 1).isEmpty());
    }

    // Whatever a list may hold reaches flite as the word to read: it never crashes, no more than
    // its first 300 characters are read (a thousand letters were 219 s of sound), and text it
    // cannot say gives nothing to hear, which the engine says in the log.
    void oddTextsAreRead_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("sounds");
        QTest::newRow("Chinese only") << QStringLiteral("苹果") << false;
        QTest::newRow("punctuation only") << QStringLiteral("？！…") << false;
        QTest::newRow("a word and Chinese") << QStringLiteral("apple 苹果") << true;
        QTest::newRow("control characters") << QStringLiteral("ap\x01ple\x7f") << true;
        QTest::newRow("markup") << QStringLiteral("<speak>a&b</speak>") << true;
        QTest::newRow("the longest field") << QString(LongestField / 10, u' ')
                                                  .replace(u' ', QStringLiteral("word "))
                                                  .left(LongestField)
                                           << true;
        QTest::newRow("one letter a thousand times") << QString(LongestField, u'x') << true;
        QTest::newRow("emoji and a lone surrogate")
            << QStringLiteral("cat 🐱 ") + QChar(0xD800) << true;
    }
    void oddTextsAreRead() {
        if (FliteVoices::installed().isEmpty())
            QSKIP("libflite is not installed");
        QFETCH(QString, text);
        QFETCH(bool, sounds);
        FliteVoices voices;
        QElapsedTimer clock;
        clock.start();
        const Wave sound = voices.read(text, QStringLiteral("slt"), 1.0);
        QCOMPARE(sound.peak() >= AudiblePeak, sounds);
        QVERIFY2(sound.lengthMs() < 80'000, qPrintable(QString::number(sound.lengthMs())));
        QVERIFY2(clock.elapsed() < 30'000, qPrintable(QString::number(clock.elapsed())));
    }

    // Played to the sound server whole: the words Qt's flite plugin lost, and words of the
    // sample lessons one after another as a lesson reads them (all of them with
    // VOKARIN_PLAY_EVERY_WORD set: the test server's null sink plays each word about two
    // seconds late, so all of them take minutes).
    void everyWordIsPlayedWhole() {
        REQUIRE_AUDIO();
        if (FliteVoices::installed().isEmpty())
            QSKIP("libflite is not installed");
        FliteEngine engine;
        engine.setVoice({QStringLiteral("flite"), QStringLiteral("en_US"), QStringLiteral("slt")});
        engine.setRate(1.0); // the fastest the settings offer, for the test's time
        QSignalSpy played(&engine, &FliteEngine::played);
        QSignalSpy unreadable(&engine, &FliteEngine::unreadable);
        QSignalSpy ready(&engine, &SpeechEngine::stateChanged);
        QStringList words = sampleLessonWords();
        if (qEnvironmentVariableIsEmpty("VOKARIN_PLAY_EVERY_WORD"))
            words = words.mid(0, 8);
        words = QStringList{"international", "photograph", "democratic"} + words;
        for (const QString& word : words) {
            const qsizetype before = played.size();
            engine.say(word);
            QTRY_VERIFY2_WITH_TIMEOUT(played.size() > before || !unreadable.isEmpty(),
                                      qPrintable(word), 8000);
            QCOMPARE(played.last().at(0).toString(), word);
            QVERIFY(played.last().at(2).toInt() > 2000);
        }
        QVERIFY(unreadable.isEmpty());
        QTRY_COMPARE(ready.count(), 2 * words.size()); // Speaking and Ready, each reading
    }

    // Answers at ten a second, as a learner clicking through a review: each a new word read
    // aloud, cutting the last one short, and every tenth a wrong one that sounds the alarm.
    // VOKARIN_STRESS_ANSWERS sets how many (200 here; 5,000 run by hand).
    void soundsUnderStress() {
        REQUIRE_AUDIO();
        const int answers = qEnvironmentVariableIsSet("VOKARIN_STRESS_ANSWERS")
                                ? qEnvironmentVariableIntValue("VOKARIN_STRESS_ANSWERS")
                                : 200;
        QtSpeech speech;
        speech.open({}, {});
        QVERIFY(speech.engine());
        QtSound sound;
        const QStringList words = sampleLessonWords();
        QVERIFY(!words.isEmpty());
        QSignalSpy states(speech.engine(), &SpeechEngine::stateChanged);
        int alarms = 0;
        for (int i = 0; i < answers; ++i) {
            speech.speak(words[i % words.size()], 144);
            if (i % 10 == 9) {
                sound.play(AlarmPath);
                alarms += sound.lastOutcome() == QtSound::Outcome::Played;
            } else {
                QTest::qWait(100);
            }
        }
        QCOMPARE(alarms, answers / 10);
        QTRY_VERIFY_WITH_TIMEOUT(speech.idle(), 10000); // the last word read to its end
        QVERIFY(states.count(QList<QVariant>{QVariant::fromValue(QTextToSpeech::Speaking)}) > 0);
    }

    void messageBoxReadsChinese() {
        QtMessageBoxes boxes;
        BoxPresser presser;
        presser.pressSoon(QStringLiteral("确定"));
        boxes.ok(QStringLiteral("单词少于2个,无法学习"));
        QCOMPARE(presser.title, QStringLiteral("Vokarin"));
        QCOMPARE(presser.text, QStringLiteral("单词少于2个,无法学习"));
        QCOMPARE(presser.icon, QMessageBox::NoIcon);
        QVERIFY2(presser.buttons.contains(QStringLiteral("确定")), qPrintable(presser.buttons));
    }

    void yesNoReturnsThePressedButton_data() {
        QTest::addColumn<QString>("press");
        QTest::addColumn<bool>("yes");
        QTest::newRow("是") << "是" << true;
        QTest::newRow("否") << "否" << false;
    }
    void yesNoReturnsThePressedButton() {
        QFETCH(QString, press);
        QFETCH(bool, yes);
        QtMessageBoxes boxes;
        BoxPresser presser;
        presser.pressSoon(press);
        const auto answer = boxes.yesNo(QStringLiteral("才练了3分钟,再练一会吧！"));
        QCOMPARE(answer == MessageBoxes::Answer::Yes, yes);
        QCOMPARE(presser.icon, QMessageBox::NoIcon);
    }

    // Sound and speech come from the module the first time they are used: from the installed
    // library folder first, else beside the program, and from nowhere when it is missing,
    // which the log says once however often it is looked for.
    void mediaModuleLoadsOnFirstUse_data() {
        QTest::addColumn<QString>("where");
        QTest::newRow("installed") << "installed";
        QTest::newRow("beside the program") << "beside";
        QTest::newRow("missing") << "missing";
    }
    void mediaModuleLoadsOnFirstUse() {
        QFETCH(QString, where);
        QTemporaryDir installed, beside;
        // A name of the row's own: the log says a missing module once per name.
        const QString name = QStringLiteral("vokarin-media-%1").arg(where);
        if (where != "missing")
            QVERIFY(
                QFile::copy(QStringLiteral(VOKARIN_APP_DIR "/vokarin-media.so"),
                            (where == "installed" ? installed : beside).filePath(name + ".so")));
        // Beside the program, a file of that name that is no module: never looked at when the
        // installed one is there.
        if (where == "installed")
            putFile(beside, name + ".so", "not a library");
        static int said = 0;
        said = 0;
        const QtMessageHandler before = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext& context, const QString&) {
                said += QByteArray(context.category) == "vokarin.modules";
            });
        // An installed program looks in the library folder first.
        const QStringList folders = moduleFolders(QStringLiteral("/usr/bin"));
        QVERIFY2(folders.size() == 2 && folders[0].startsWith("/usr/lib/") &&
                     folders[1] == "/usr/bin",
                 qPrintable(folders.join(" ")));
        QObject* first = moduleInstance({installed.path(), beside.path()}, name);
        QObject* again = moduleInstance({installed.path(), beside.path()}, name);
        qInstallMessageHandler(before);
        QCOMPARE(first != nullptr, where != "missing");
        QCOMPARE(again, first);
        QCOMPARE(said, where == "missing" ? 1 : 0);
        if (first)
            QVERIFY(qobject_cast<MediaFactory*>(first));

        MediaServices media({where == "missing" ? beside.path() : QStringLiteral(VOKARIN_APP_DIR)});
        media.speech().open({}, {});
        media.speech().setSpeed(200);
        media.speech().setEnabled(false); // handed on: the word below is not heard
        QVERIFY(!media.loaded());
        media.speech().speak(QStringLiteral("apple"), 0);
        QCOMPARE(media.loaded(), where != "missing");
        media.sound().play(beside.filePath("none.wav"));
    }
};

QTEST_MAIN(tst_RealServices)
#include "tst_realservices.moc"
