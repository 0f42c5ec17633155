#include "module1.h"
#include "qtservices/appicon.h"
#include "settings/settingsfile.h"
#include "testfiles.h"
#include "windowharness.h"
#include "windows/layoutmath.h"
#include "windows/mainwindow.h"
#include "windows/twips.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <memory>

namespace {

double pointSize(const QWidget* w) {
    return w->font().pointSizeF();
}

// Width in twips of text in the question's font at the given size.
float questionWidthAt(const QLabel* question, double points) {
    QLabel probe(question->text());
    QFont font = question->font();
    font.setPointSizeF(points);
    probe.setFont(font);
    probe.adjustSize();
    return toTwips(probe.width());
}

// Whether text drawn in font leaves any ink.
bool inks(const QFont& font, const QString& text) {
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    painter.end();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return true;
    return false;
}

} // namespace

class tst_MainWindow final : public QObject {
    Q_OBJECT

private slots:
    // The window icon comes compiled in, at every size, as drawn: the teal tile.
    void theWindowIconIsCompiledIn() {
        const QIcon icon = appIcon();
        for (const int size : AppIconSizes) {
            const QImage image = icon.pixmap(size, size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            QCOMPARE(image.pixelColor(size / 8, size / 2), QColor(0, 128, 128));
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0); // the rounded corner
        }
    }

    void startUpWritesSettingsAndOpensSpeech() {
        SettingsRecord s;
        s.SpeechSpeed = 240;
        s.AutoBrowseSpeed = 2;
        s.ReadCount = 3;
        Harness h(&s);
        QCOMPARE(h.fakes.speech.calls, QStringList({"open[          ][          ]", "speed 240"}));
        auto* timer = h.window->findChild<QTimer*>("Timer1");
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 6000);
        QCOMPARE(h.window->windowTitle(), QStringLiteral("Vokarin2.0"));
    }

    void firstStartOnEmptyFolder() {
        Harness h;
        QCOMPARE(fileBytes(h.dir.filePath("csh2.dat")).size(), 2432);
        QCOMPARE(h.fakes.speech.calls.value(1), QStringLiteral("speed 160"));
        QCOMPARE(h.window->backColor(), QColor(0, 128, 128)); // teal
        QCOMPARE(h.label("Label1")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(h.label("Label1")->text().isEmpty());
        QVERIFY(h.find<QLineEdit>("Text1")->isHidden());
        QCOMPARE(pointSize(h.find<QLineEdit>("Text1")), 24.0);
        for (int i = 1; i <= 5; ++i) {
            QVERIFY(h.choice(i)->autoFillBackground()); // choices are opaque
            QVERIFY(!h.number(i)->isHidden());
        }
        // The client area starts at 5910 x 5490 twips.
        QCOMPARE(h.window->size(), QSize(toPixels(5910), toPixels(5490)));
    }

    // Pinyin's tone letters, IPA and accented Latin show in the question, the choices and the
    // typing box, and so does Chinese.
    void everyLetterVisible() {
        Harness h;
        for (const QString& name :
             {QStringLiteral("Label1"), QStringLiteral("Label3_1"), QStringLiteral("Text1")}) {
            const QFont font = h.window->findChild<QWidget*>(name)->font();
            for (const QChar c : QStringLiteral("ǎǐǒǔǖǚāēɡɪʃθŋéü苹"))
                QVERIFY2(inks(font, c), qPrintable(name + u' ' + c));
        }
    }

    void toolbar() {
        Harness h;
        auto* bar = h.find<QToolBar>("tbToolBar");
        const QStringList keys = {"new",  "打开", "重复",     "modechange", "朗读",
                                  "帮助", "设置", "今日复习", "学习统计"};
        const QStringList tips = {"单词文件管理器(F)", "打开单词文件(O)",
                                  "重复本课(R)",       "答题型式转换(T)",
                                  "朗读(S)",           "帮助(H)",
                                  "设置(C)",           "今日复习(D)：现在没有要复习的单词",
                                  "学习统计(G)"};
        const QList<QAction*> actions = bar->actions();
        QCOMPARE(actions.size(), 9);
        for (int i = 0; i < 9; ++i) {
            QCOMPARE(actions[i]->data().toString(), keys[i]);
            QCOMPARE(actions[i]->toolTip(), tips[i]);
            QVERIFY(actions[i]->text().isEmpty() || actions[i]->iconText() == actions[i]->text());
            QCOMPARE(actions[i]->icon().pixmap(16, 16).size(), QSize(16, 16));
            QCOMPARE(bar->widgetForAction(actions[i])->focusPolicy(), Qt::NoFocus);
        }
        h.showOuter(400, 400);
        QVERIFY(bar->isVisible());
        QVERIFY(h.find<QStatusBar>("sbStatusBar")->isVisible());
    }

    void clscreen_data() {
        QTest::addColumn<int>("choices");
        QTest::addColumn<bool>("firstNumberShown");
        QTest::newRow("one choice has no number") << 1 << false;
        QTest::newRow("three choices") << 3 << true;
    }
    void clscreen() {
        QFETCH(int, choices);
        QFETCH(bool, firstNumberShown);
        Harness h;
        h.label("Label1")->setText("apple");
        h.choice(2)->setText("苹果");
        QPalette wrong = h.choice(2)->palette();
        wrong.setColor(QPalette::Window, Qt::red);
        h.choice(2)->setPalette(wrong);
        h.window->clscreen({.choiceCount = choices});
        QVERIFY(h.label("Label1")->text().isEmpty());
        QVERIFY(h.choice(2)->text().isEmpty());
        QCOMPARE(h.choice(2)->palette().color(QPalette::Window), h.window->backColor());
        QCOMPARE(!h.number(1)->isHidden(), firstNumberShown);
    }

    void fontFactorFollowsWidth_data() {
        QTest::addColumn<int>("widthPx");
        QTest::addColumn<double>("questionPt");
        QTest::addColumn<double>("choicePt");
        QTest::newRow("W 5985 gives 3") << 399 << 36.0 << 15.0;
        QTest::newRow("W 6000 gives 4") << 400 << 48.0 << 20.0;
        QTest::newRow("W 3000 gives 2") << 200 << 24.0 << 10.0;
    }
    void fontFactorFollowsWidth() {
        QFETCH(int, widthPx);
        QFETCH(double, questionPt);
        QFETCH(double, choicePt);
        Harness h;
        h.label("Label1")->setText("cat");
        h.showOuter(widthPx, 400);
        QCOMPARE(h.W(), toTwips(widthPx));
        QCOMPARE(pointSize(h.label("Label1")), questionPt);
        for (int i = 1; i <= 5; ++i) {
            QCOMPARE(pointSize(h.choice(i)), choicePt);
            QCOMPARE(pointSize(h.number(i)), choicePt);
        }
    }

    void factorSequence() {
        QCOMPARE(startFactor(5999), 3.0f);
        QCOMPARE(startFactor(6000), 4.0f);
        QCOMPARE(smallerFactor(4), 3.0f);
        QCOMPARE(smallerFactor(1), SmallestFactor);
    }

    void wideQuestionShrinks_data() {
        QTest::addColumn<QString>("question");
        QTest::newRow("fits at once") << "cat";
        QTest::newRow("one step down") << "responsibility";
        QTest::newRow("several steps") << "the quick brown fox jumps";
        QTest::newRow("needs the smallest") << QString(60, u'w');
        QTest::newRow("too wide even then") << QString(400, u'w');
    }
    void wideQuestionShrinks() {
        QFETCH(QString, question);
        Harness h;
        QLabel* q = h.label("Label1");
        q->setText(question);
        h.showOuter(400, 400); // W = 6000: factors 4, 3, 2, 1, 0.4
        const float W = h.W();
        const QList<double> steps = {48, 36, 24, 12, 4.8};
        const double size = pointSize(q);
        qsizetype at = -1;
        for (qsizetype i = 0; i < steps.size(); ++i)
            if (qFuzzyCompare(float(steps[i]), float(size)))
                at = i;
        QVERIFY2(at >= 0, qPrintable(QString::number(size)));
        // Every larger step was too wide, and this one fits unless it is the last.
        for (qsizetype i = 0; i < at; ++i)
            QVERIFY(questionWidthAt(q, steps[i]) * 1.2f > W);
        if (at < steps.size() - 1)
            QVERIFY(toTwips(q->width()) * 1.2f <= W);
        // Centred, its middle at a fifth of the height.
        QVERIFY(qAbs(toTwips(q->x()) - (W / 2 - toTwips(q->width()) / 2)) <= 15);
        QVERIFY(qAbs(toTwips(q->y()) - (h.H() / 5 - toTwips(q->height()) / 2)) <= 15);
    }

    void choiceTopFigures_data() {
        QTest::addColumn<int>("i");
        QTest::addColumn<float>("top");
        // n = 3, H = 6000, labels 300 high.
        QTest::newRow("1") << 1 << 2340.0f;
        QTest::newRow("2") << 2 << 3180.0f;
        QTest::newRow("3") << 3 << 4020.0f;
        QTest::newRow("4") << 4 << 4860.0f;
        QTest::newRow("5") << 5 << 5700.0f;
    }
    void choiceTopFigures() {
        QFETCH(int, i);
        QFETCH(float, top);
        QCOMPARE(choiceTop(6000, 300, 3, i), top);
    }

    void choicesArePlaced() {
        Harness h;
        h.module.Settings.ChoiceCount = 3;
        h.label("Label1")->setText("apple");
        const QStringList texts = {"苹果", "香蕉和橙子", "梨"};
        for (int i = 1; i <= 3; ++i) {
            h.number(i)->setText(QString::number(i));
            h.choice(i)->setText(texts[i - 1]);
        }
        h.showOuter(400, 400); // H = 6000
        const float W = h.W(), H = h.H();
        QCOMPARE(H, 6000.0f);
        const float M = toTwips(h.choice(2)->width()); // the widest
        for (int i = 1; i <= 5; ++i) {
            const float labelHeight = toTwips(h.number(i)->height());
            const int top = toPixels(choiceTop(H, labelHeight, 3, i));
            QCOMPARE(h.number(i)->y(), top);
            QCOMPARE(h.choice(i)->y(), top);
            QCOMPARE(h.choice(i)->x(), toPixels((W - M) / 2));
            QCOMPARE(h.number(i)->x(), toPixels((W - M) / 2 - 2 * toTwips(h.number(i)->width())));
        }
    }

    void numberFallsBackToLeft250() {
        Harness h;
        h.number(1)->setText("1");
        h.choice(1)->setText(QString(40, u'很'));
        h.showOuter(400, 400);
        QVERIFY(h.choice(1)->x() < 2 * h.number(1)->width());
        QCOMPARE(h.number(1)->x(), toPixels(250));
    }

    void minimumSize_data() {
        QTest::addColumn<qint16>("autoBrowse");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("snaps back to 3000 x 3000") << VbFalse << QSize(200, 200);
        QTest::newRow("auto-browse keeps it") << VbTrue << QSize(133, 167);
    }
    void minimumSize() {
        QFETCH(qint16, autoBrowse);
        QFETCH(QSize, expected);
        SettingsRecord s;
        s.AutoBrowse = autoBrowse;
        s.ChoiceMode = VbFalse; // typing: no compact strip to refit the width
        Harness h(&s);
        h.showOuter(400, 400);
        h.resizeOuter(133, 167); // 2000 x 2500 twips
        QTRY_COMPARE(h.window->frameGeometry().size(), expected);
    }

    void compactAutoBrowseStrip() {
        SettingsRecord s;
        s.AutoBrowse = VbTrue;
        s.ChoiceCount = 1;
        Harness h(&s);
        h.label("Label1")->setText("apple");
        h.choice(1)->setText("苹果");
        h.showOuter(400, 400);
        auto* status = h.find<QStatusBar>("sbStatusBar");
        QVERIFY(status->isVisible());

        h.resizeOuter(400, 150); // H = 2250
        QLabel* q = h.label("Label1");
        QLabel* a = h.choice(1);
        QCOMPARE(pointSize(q), 24.0);
        QCOMPARE(pointSize(a), 24.0);
        QCOMPARE(q->pos(), QPoint(toPixels(250), toPixels(250)));
        QCOMPARE(a->pos(), QPoint(toPixels(toTwips(q->width()) + 500), toPixels(250)));
        QTRY_COMPARE(h.window->frameGeometry().width(),
                     toPixels(toTwips(a->x()) + toTwips(a->width()) + 250));
        QVERIFY(status->isHidden());

        h.resizeOuter(h.window->frameGeometry().width(), 250);
        QTRY_VERIFY(status->isVisible());
    }

    void typingBoxBelowQuestion() {
        SettingsRecord s;
        s.ChoiceMode = VbFalse;
        Harness h(&s);
        h.label("Label1")->setText("cat");
        h.showOuter(250, 400); // W = 3750: factor 2, a 24 pt question
        QLabel* q = h.label("Label1");
        auto* box = h.find<QLineEdit>("Text1");
        QCOMPARE(pointSize(q), 24.0);
        QCOMPARE(pointSize(box), 20.0);
        const float W = h.W();
        QCOMPARE(box->geometry(),
                 QRect(toPixels(W / 4), toPixels(toTwips(q->y()) + 2 * toTwips(q->height())),
                       toPixels(W / 2), toPixels(toTwips(q->height()) - 100)));
        QCOMPARE(box->palette().color(QPalette::Base), h.window->backColor());
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
