#include "windows/mainwindow.h"

#include "module1.h"
#include "qtservices/modules.h"
#include "qtservices/spokenipa.h"
#include "services/clock.h"
#include "services/messageboxes.h"
#include "services/platform.h"
#include "services/speech.h"
#include "services/statisticsfactory.h"
#include "settings/settingsfile.h"
#include "windows/colours.h"
#include "windows/endoflessondialog.h"
#include "windows/helpwindow.h"
#include "windows/layoutmath.h"
#include "windows/lessonchooser.h"
#include "windows/settingsdialog.h"
#include "windows/twips.h"
#include "windows/windowscaffold.h"
#include "windows/wordfileeditor.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFrame>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWindow>
#include <algorithm>
#include <optional>

// The toolbar pictures are XPM, which is C: compiled in, they become pixmaps without the image
// reader looking through its format plugins.
#include "help.xpm"
#include "modechange.xpm"
#include "new.xpm"
#include "open.xpm"
#include "repeat.xpm"
#include "review.xpm"
#include "settings.xpm"
#include "speak.xpm"
#include "statistics.xpm"

namespace {

// The size of the client area when the window first opens.
constexpr int StartWidthTwips = 5910;
constexpr int StartHeightTwips = 5490;
// Below this the window snaps back, unless auto-browse may shrink it to a strip.
constexpr float MinimumTwips = 3000;

// Each character comes from the first family that has it. A Latin font of full coverage stands
// before the Chinese ones, whose glyphs for pinyin's tone letters and for IPA may be empty
// (WenQuanYi Micro Hei draws ǎ ǐ ǒ ǔ as nothing).
const QStringList QuestionFamilies = {QStringLiteral("Times New Roman"),
                                      QStringLiteral("Liberation Serif"),
                                      QStringLiteral("DejaVu Serif")};
const QStringList ChoiceFamilies = {QStringLiteral("DejaVu Sans"),
                                    QStringLiteral("宋体"),
                                    QStringLiteral("SimSun"),
                                    QStringLiteral("Noto Serif CJK SC"),
                                    QStringLiteral("WenQuanYi Micro Hei"),
                                    QStringLiteral("Noto Sans CJK SC")};

struct ToolButton {
    const char16_t* key;
    const char* const* icon;
    const char16_t* tip;
    Command command;
};

const ToolButton ToolButtons[] = {
    {u"new", new_xpm, u"单词文件管理器(F)", Command::OpenEditor},
    {u"打开", open_xpm, u"打开单词文件(O)", Command::ChooseLessons},
    {u"重复", repeat_xpm, u"重复本课(R)", Command::Repeat},
    {u"modechange", modechange_xpm, u"答题型式转换(T)", Command::SwitchAnswerMode},
    {u"朗读", speak_xpm, u"朗读(S)", Command::ReadAloud},
    {u"帮助", help_xpm, u"帮助(H)", Command::Help},
    {u"设置", settings_xpm, u"设置(C)", Command::OpenSettings},
    {u"今日复习", review_xpm, u"今日复习(D)", Command::ReviewDue},
    {u"学习统计", statistics_xpm, u"学习统计(G)", Command::ShowStatistics},
};

// The keys of the main window; 13 is Enter. Letters in either case.
std::optional<Command> commandForKey(char16_t key) {
    switch (QChar::toUpper(char32_t(key))) {
    case u' ':
        return Command::PressSpace;
    case u'1':
    case u'2':
    case u'3':
    case u'4':
    case u'5':
        return Command::PressNumber;
    case u'F':
        return Command::OpenEditor;
    case u'C':
        return Command::OpenSettings;
    case u'D':
        return Command::ReviewDue;
    case u'G':
        return Command::ShowStatistics;
    case u'O':
        return Command::ChooseLessons;
    case u'T':
        return Command::SwitchAnswerMode;
    case u'R':
        return Command::Repeat;
    case u'S':
        return Command::ReadAloud;
    case u'H':
    case 13:
        return Command::Help;
    default:
        return std::nullopt;
    }
}

QFont fontOf(const QStringList& families, double points) {
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(points);
    return font;
}

void setPointSize(QWidget* widget, double points) {
    QFont font = widget->font();
    font.setPointSizeF(qMax(points, 1.0));
    widget->setFont(font);
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

void moveTwips(QWidget* widget, float left, float top) {
    widget->move(toPixels(left), toPixels(top));
}

float widthTw(const QWidget* widget) {
    return toTwips(widget->width());
}
float heightTw(const QWidget* widget) {
    return toTwips(widget->height());
}
float leftTw(const QWidget* widget) {
    return toTwips(widget->x());
}
float topTw(const QWidget* widget) {
    return toTwips(widget->y());
}

void bringForward(QWidget* window) {
    if (window->isVisible()) {
        window->raise();
        window->activateWindow();
    } else {
        window->show();
    }
}

} // namespace

namespace {

// To a screen reader the main window is a frame, as a program's windows are, not a filler.
QAccessibleInterface* mainWindowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("frmMain") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

frmMain::frmMain(Module1& module, const Platform& platform, QWidget* parent)
    : QWidget(parent)
    , module_(module)
    , platform_(platform)
    , engine_(module, platform, *this) {
    setObjectName(QStringLiteral("frmMain"));
    static const bool accessible = (QAccessible::installFactory(mainWindowAccessible), true);
    (void)accessible;
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setWindowTitle(QStringLiteral("Vokarin2.0"));
    setAutoFillBackground(true);
    createControls();
    createToolBar();
    Form_Load();
}

frmMain::~frmMain() {
    delete chooser_;
    delete endOfLesson_;
    delete editor_;
    delete settings_;
}

void frmMain::createControls() {
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(fontOf(QuestionFamilies, 12));
    for (int i = 1; i <= 5; ++i) {
        Label2[i] = new QLabel(this);
        Label2[i]->setObjectName(QStringLiteral("Label2_%1").arg(i));
        Label2[i]->setFont(fontOf(ChoiceFamilies, 12));
        Label3[i] = new QLabel(this);
        Label3[i]->setObjectName(QStringLiteral("Label3_%1").arg(i));
        Label3[i]->setFont(fontOf(ChoiceFamilies, 12));
        Label3[i]->setMouseTracking(true);
        Label2[i]->installEventFilter(this);
        Label3[i]->installEventFilter(this);
    }
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFont(fontOf(ChoiceFamilies, 12));
    Text1->hide();
    Text1->installEventFilter(this);
    connect(Text1, &QLineEdit::textChanged, this, &frmMain::fitTypingText);
    Text1->setAccessibleName(QStringLiteral("输入答案"));
    Correction = new QLabel(this);
    Correction->setObjectName(QStringLiteral("Correction"));
    Correction->setFont(fontOf(ChoiceFamilies, 12));
    Correction->setAlignment(Qt::AlignCenter);
    Correction->hide();
    Pronunciation = new QLabel(this);
    Pronunciation->setObjectName(QStringLiteral("Pronunciation"));
    Pronunciation->setAccessibleName(QStringLiteral("音标"));
    Pronunciation->setFont(fontOf(ChoiceFamilies, 12));
    Pronunciation->setTextFormat(Qt::PlainText);
    Pronunciation->hide();

    // F1, in every window of the program: the short help.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    help->setContext(Qt::ApplicationShortcut);
    connect(help, &QShortcut::activated, this, [this] { showHelp({}); });

    Label4 = new QFrame(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setFrameStyle(QFrame::Box | QFrame::Plain);
    Label4->setAccessibleName(QStringLiteral("工具栏：鼠标移到左上角时出现"));
    Label4->setGeometry(toPixels(120), toPixels(60), toPixels(2400), qMax(toPixels(45), 3));

    sbStatusBar = new QStatusBar(this);
    sbStatusBar->setObjectName(QStringLiteral("sbStatusBar"));
    sbStatusBar->setAccessibleName(QStringLiteral("状态栏"));
    statusPanel_ = new QLabel(sbStatusBar);
    statusPanel_->setObjectName(QStringLiteral("sbStatusBarPanel"));
    sbStatusBar->addWidget(statusPanel_, 1);
    sbStatusBar->setAutoFillBackground(true);
    // The bars keep the desktop's colours whatever colour the learner gives the window.
    setColour(sbStatusBar, QPalette::Window,
              QApplication::palette(sbStatusBar).color(QPalette::Window));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    midnight_ = new QTimer(this);
    midnight_->setObjectName(QStringLiteral("midnight"));
    midnight_->setSingleShot(true);
    connect(midnight_, &QTimer::timeout, this, &frmMain::newDay);
}

void frmMain::createToolBar() {
    tbToolBar = new QToolBar(this);
    tbToolBar->setObjectName(QStringLiteral("tbToolBar"));
    tbToolBar->setAccessibleName(QStringLiteral("工具栏"));
    tbToolBar->setIconSize(QSize(16, 16));
    tbToolBar->setMovable(false);
    tbToolBar->setAutoFillBackground(true);
    setColour(tbToolBar, QPalette::Window,
              QApplication::palette(tbToolBar).color(QPalette::Window));
    for (const ToolButton& button : ToolButtons) {
        const QString key = QString::fromUtf16(button.key);
        QAction* action = tbToolBar->addAction(QIcon(QPixmap(button.icon)), {});
        action->setObjectName(key);
        action->setData(key);
        // The text is not shown beside the icon; a screen reader says it.
        action->setText(QString::fromUtf16(button.tip));
        action->setToolTip(QString::fromUtf16(button.tip));
        tbToolBar->widgetForAction(action)->setFocusPolicy(Qt::NoFocus);
    }
    connect(tbToolBar, &QToolBar::actionTriggered, this, &frmMain::tbToolBar_ButtonClick);
    // The toolbar's own button for the buttons it has no room for.
    if (auto* more = tbToolBar->findChild<QWidget*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("更多按钮"));
    tbToolBar->raise();
    sbStatusBar->raise();
}

void frmMain::Form_Load() {
    // Without a usable settings file the program still runs, on the defaults in memory, and
    // the learner knows that changes will not be kept.
    module_.LoadPreferences();
    if (const FileResult loaded = module_.LoadSettings(); !loaded.ok())
        platform_.messages.ok(QStringLiteral("设置文件有问题，这次使用默认设置：") +
                              loaded.description);
    const QuestionArea area = engine_.questionArea();

    for (int i = 1; i <= 5; ++i) {
        Label2[i]->clear();
        Label3[i]->clear();
        Label3[i]->setAutoFillBackground(true);
    }
    Label1->clear();
    typingPoints_ = 24;
    fitTypingText();
    Timer1->start(area.autoBrowseInterval);

    setColour(this, QPalette::Window, toQColor(area.windowColour));
    setColour(Label1, QPalette::WindowText, toQColor(area.questionColour));
    clscreen(area);

    if (Speech* speech = module_.SpeechObject) {
        speech->setAccent(module_.SpeechAccent);
        speech->open(QString(10, u' '), QString(10, u' '));
        speech->setSpeed(module_.Settings.SpeechSpeed);
    }

    resize(toPixels(StartWidthTwips), toPixels(StartHeightTwips));
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

// The notebook review starts once the window is on screen, so that the window shows at once.
void frmMain::startUp() {
    if (startedUp_)
        return;
    startedUp_ = true;
    emit startingUp();
    engine_.startUp(startFiles_);
    midnight_->start(untilNewDay());
}

int frmMain::untilNewDay() const {
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(platform_.clock.epochMs());
    const QDateTime midnight(now.date().addDays(1), QTime(0, 0));
    // A second past it, so that the day has surely turned.
    return int(std::clamp<qint64>(now.msecsTo(midnight) + 1000, 1000, 25 * 3600 * 1000));
}

void frmMain::newDay() {
    engine_.dayTurned();
    midnight_->start(untilNewDay());
}

void frmMain::studyFiles(const QStringList& files) {
    if (!startedUp_) {
        startFiles_ = files;
        return;
    }
    // A message box or a loading lesson is a step of the drill still under way: the files
    // wait for it to end.
    if (QApplication::activeModalWidget() || engine_.loading()) {
        QTimer::singleShot(200, this, [this, files] { studyFiles(files); });
        return;
    }
    engine_.studyFiles(files);
}

void frmMain::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!startedUp_)
        QMetaObject::invokeMethod(this, &frmMain::startUp, Qt::QueuedConnection);
}

void frmMain::clscreen(const QuestionArea& area) {
    area_ = area;
    Label1->clear();
    setColour(Label1, QPalette::WindowText, toQColor(area.questionColour));
    showPronunciation({}, {});
    clearChoices();
    // A single choice carries no number.
    Label2[1]->setVisible(area.choiceCount != 1);
}

QColor frmMain::backColor() const {
    return palette().color(QPalette::Window);
}

QString frmMain::statusText() const {
    return statusPanel_->text();
}

void frmMain::setReviewTip(const QString& text) {
    if (QAction* review = tbToolBar->findChild<QAction*>(QStringLiteral("今日复习")))
        review->setToolTip(text);
}

void frmMain::setStatusText(const QString& text) {
    statusPanel_->setText(text);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeBars();
    layOut();
}

void frmMain::placeBars() {
    tbToolBar->setGeometry(0, 0, width(), tbToolBar->sizeHint().height());
    const int statusHeight = sbStatusBar->sizeHint().height();
    sbStatusBar->setGeometry(0, height() - statusHeight, width(), statusHeight);
}

// Title bar and borders: the layout works with the outer size of the window.
QSize frmMain::frameExtra() const {
    return frameGeometry().size() - geometry().size();
}

void frmMain::setOuterSize(float widthTwips, float heightTwips) {
    const QSize extra = frameExtra();
    resize(toPixels(widthTwips) - extra.width(), toPixels(heightTwips) - extra.height());
}

void frmMain::Form_Resize(const QuestionArea& area) {
    area_ = area;
    layOut();
}

void frmMain::layOut() {
    const QuestionArea& area = area_;
    const QSize extra = frameExtra();
    float W = toTwips(width() + extra.width());
    float H = toTwips(height() + extra.height());

    // 1. Minimum size, except in auto-browse, which may shrink the window to a strip.
    if (!area.autoBrowse && (W < MinimumTwips || H < MinimumTwips)) {
        W = qMax(W, MinimumTwips);
        H = qMax(H, MinimumTwips);
        setOuterSize(W, H);
    }

    // 2. The largest font factor at which the question fits, one step at a time, then 0.4.
    float k = startFactor(W);
    for (;;) {
        setPointSize(Label1, 12 * k);
        for (int i = 1; i <= 5; ++i) {
            setPointSize(Label2[i], 5 * k);
            setPointSize(Label3[i], 5 * k);
        }
        Label1->adjustSize();
        if (widthTw(Label1) * 1.2f <= W || k == SmallestFactor)
            break;
        k = smallerFactor(k);
    }

    // 3. The question, centred, its middle at a fifth of the height.
    moveTwips(Label1, W / 2 - widthTw(Label1) / 2, H / 5 - heightTw(Label1) / 2);
    // Its pronunciation right below it, as large as a choice.
    setPointSize(Pronunciation, 5 * k);
    Pronunciation->adjustSize();
    moveTwips(Pronunciation, W / 2 - widthTw(Pronunciation) / 2,
              H / 5 + heightTw(Label1) / 2 - heightTw(Pronunciation) / 8);

    if (!area.typing) {
        // 4. Choices in one column, spread over the band from 30 to 90 % of the height.
        for (int i = 1; i <= 5; ++i) {
            Label2[i]->adjustSize();
            Label3[i]->adjustSize();
        }
        float M = widthTw(Label3[1]);
        for (int i = 2; i <= 5; ++i)
            if (widthTw(Label3[i]) > M)
                M = widthTw(Label3[i]);
        const float n = float(area.choiceCount);
        for (int i = 1; i <= 5; ++i) {
            const float h = heightTw(Label2[i]);
            const float top = choiceTop(H, h, n, i);
            const float choiceLeft = (W - M) / 2;
            float numberLeft = choiceLeft - 2 * widthTw(Label2[i]);
            if (numberLeft < 0)
                numberLeft = 250;
            moveTwips(Label3[i], choiceLeft, top);
            moveTwips(Label2[i], numberLeft, top);
        }

        if (H < MinimumTwips && area.autoBrowse) {
            // The compact strip: question and answer side by side, the window fitted to them.
            setPointSize(Label1, 24);
            setPointSize(Label3[1], 24);
            Label1->adjustSize();
            Label3[1]->adjustSize();
            moveTwips(Label1, 250, 250);
            moveTwips(Label3[1], widthTw(Label1) + 500, 250);
            setOuterSize(leftTw(Label3[1]) + widthTw(Label3[1]) + 250, H);
            sbStatusBar->hide();
        } else {
            sbStatusBar->show();
        }
    } else {
        // 5. Typing: the answer box one question height below the question.
        typingRect_ = QRect(toPixels(W / 4), toPixels(topTw(Label1) + 2 * heightTw(Label1)),
                            toPixels(W / 2), qMax(toPixels(heightTw(Label1) - 100), 1));
        Text1->setGeometry(typingRect_);
        typingPoints_ = Label1->font().pointSizeF() - 4;
        fitTypingText();
        setColour(Text1, QPalette::Base, backColor());
    }
}

// --- What the drill sees of the window ---

void frmMain::setQuestion(const QString& text) {
    Label1->setText(text);
}

void frmMain::setQuestionColour(quint32 colour) {
    setColour(Label1, QPalette::WindowText, toQColor(colour));
}

void frmMain::setNumber(int position, const QString& text) {
    Label2[position]->setText(text);
}

void frmMain::setChoice(int position, const QString& text) {
    Label3[position]->setText(text);
}

void frmMain::setChoiceBackColour(int position, quint32 colour) {
    setColour(Label3[position], QPalette::Window, toQColor(colour));
}

void frmMain::clearChoices() {
    const QColor back = backColor();
    for (int i = 1; i <= 5; ++i) {
        Label2[i]->clear();
        Label3[i]->clear();
        setColour(Label2[i], QPalette::Window, back);
        setColour(Label3[i], QPalette::Window, back);
    }
}

void frmMain::setCaption(const QString& text) {
    setWindowTitle(text);
}

void frmMain::setTypingBoxVisible(bool visible) {
    Text1->setVisible(visible);
    if (!visible)
        setFocus();
}

void frmMain::focusTypingBox() {
    Text1->setFocus();
}

void frmMain::setTypingText(const QString& text) {
    Text1->setText(text);
    Text1->setCursorPosition(0);
    if (Text1->isVisible())
        Text1->setFocus(); // the learner types on, whatever showed the answer
}

// What the box holds, a revealed answer or a long one typed, is seen whole: the box widens
// from the place the layout gives it to the window's width, then its font shrinks as far as a
// size still readable.
void frmMain::fitTypingText() {
    QFont font = Text1->font();
    font.setPointSizeF(qMax(typingPoints_, 1.0));
    // The box's own margins: its frame and the few pixels a line edit keeps either side.
    const int margins = Text1->width() - Text1->contentsRect().width() + 8;
    const double wide = QFontMetricsF(font).horizontalAdvance(Text1->text()) + margins;
    QRect place = typingRect_;
    if (place.isValid() && wide > place.width()) {
        const int most = width() - 2 * toPixels(120);
        const int grown = qMin(most, int(std::ceil(wide)));
        if (grown > place.width())
            place = QRect(qMax(toPixels(120), place.center().x() - grown / 2), place.y(), grown,
                          place.height());
        if (wide > place.width())
            font.setPointSizeF(qMax(qMin(typingPoints_, 8.0),
                                    typingPoints_ * (place.width() - margins) / (wide - margins)));
    }
    if (place.isValid() && place != Text1->geometry())
        Text1->setGeometry(place);
    if (font != Text1->font())
        Text1->setFont(font);
}

void frmMain::showCorrection(const QString& answer) {
    Correction->setText(answer.isEmpty() ? QString() : QStringLiteral("正确答案：") + answer);
    if (answer.isEmpty())
        return Correction->hide();
    // Right below the box, as wide as the window, in the question's colour.
    QFont font = Correction->font();
    font.setPointSizeF(qMax(typingPoints_ * 0.75, 9.0));
    Correction->setFont(font);
    setColour(Correction, QPalette::WindowText, Label1->palette().color(QPalette::WindowText));
    const QRect box = Text1->geometry();
    Correction->setGeometry(toPixels(120), box.bottom() + box.height() / 4,
                            width() - 2 * toPixels(120), Correction->sizeHint().height());
    Correction->show();
}

void frmMain::showPronunciation(const QString& word, const QString& pronunciation) {
    pronouncedWord_ = word;
    Pronunciation->setText(pronunciation);
    Pronunciation->setVisible(!word.isEmpty() && !pronunciation.isEmpty());
    if (!word.isEmpty() && pronunciation.isEmpty()) {
        if (!spokenIpa_) {
            spokenIpa_ = new SpokenIpa(this);
            connect(spokenIpa_, &SpokenIpa::found, this,
                    [this](const QString& found, const QString& ipa) {
                        if (found == pronouncedWord_)
                            showPronunciation(found, ipa);
                    });
        }
        spokenIpa_->find(word, module_.SpeechAccent);
    }
    if (Pronunciation->isVisible()) {
        setColour(Pronunciation, QPalette::WindowText,
                  Label1->palette().color(QPalette::WindowText));
        layOut();
    }
}

void frmMain::announce(const QString& text) {
    // Said by a screen reader as the window's description changes.
    setAccessibleDescription(text);
}

void frmMain::showHelp(const QString& part) {
    if (!help_)
        help_ = new HelpWindow(module_, this);
    help_->showAt(part);
}

void frmMain::bringToTop() {
    if (QWindow* window = windowHandle())
        window->setFlag(Qt::WindowStaysOnTopHint);
    else
        setWindowFlag(Qt::WindowStaysOnTopHint);
}

void frmMain::showLessonChooser() {
    if (chooser_) {
        chooser_->raise();
        chooser_->activateWindow();
        return;
    }
    chooser_ = new Formopen(module_, this);
    connect(chooser_, &Formopen::lessonsChosen, this,
            [this](const QStringList& files) { engine_.lessonsChosen(files); });
    chooser_->show();
}

void frmMain::showEndOfLessonDialog(qint32 practiceMinutes) {
    delete endOfLesson_;
    endOfLesson_ = new Form3(practiceMinutes, platform_, this);
    connect(endOfLesson_, &Form3::onceMoreChosen, this, [this] { engine_.onceMore(); });
    connect(endOfLesson_, &Form3::otherLessonsChosen, this, [this] { engine_.otherLessons(); });
    connect(endOfLesson_, &Form3::stopChosen, this, &frmMain::closeEverything);
    endOfLesson_->show();
}

void frmMain::closeEverything() {
    for (QWidget* window : {static_cast<QWidget*>(editor_), static_cast<QWidget*>(settings_),
                            static_cast<QWidget*>(endOfLesson_)})
        if (window)
            window->close();
    close();
}

void frmMain::showEditor() {
    if (!editor_)
        editor_ = new Form1(module_, platform_); // outlives a closed main window
    bringForward(editor_);
}

void frmMain::showSettings() {
    if (!settings_) {
        settings_ = new Form2(module_, platform_); // outlives a closed main window
        connect(settings_, &Form2::applied, this,
                [this](const SettingsRecord& draft, qint16 directionOnOpen) {
                    engine_.applySettings(draft, directionOnOpen);
                });
        connect(settings_, &Form2::dataFolderChanged, this, [this](const QString& lessonsBefore) {
            engine_.lessonFolderMoved(lessonsBefore);
            if (chooser_ && QDir(chooser_->folder()) == QDir(lessonsBefore))
                chooser_->showFolder(module_.lessonFolder());
            emit dataFolderChanged();
        });
        connect(settings_, &Form2::helpWanted, this,
                [this] { showHelp(QLatin1String(HelpWindow::TwoComputers)); });
    }
    bringForward(settings_);
}

void frmMain::showStatistics() {
    // Drawn anew each time, so that it shows the answers just given.
    if (statistics_)
        statistics_->close();
    auto* const module = qobject_cast<StatisticsFactory*>(
        moduleInstance(moduleFolders(QCoreApplication::applicationDirPath()),
                       QStringLiteral("vokarin-statistics")));
    if (!module) {
        platform_.messages.ok(QStringLiteral("找不到学习统计模块（vokarin-statistics.so），"
                                             "无法显示学习统计。"));
        return;
    }
    StatisticsContext context;
    context.databasePath = QDir(module_.AppFolder).filePath(QStringLiteral("vokarin.db"));
    context.lessonFolder = module_.lessonFolder();
    context.messages = &platform_.messages;
    context.files = &platform_.files;
    context.now = platform_.clock.epochMs();
    statistics_ = module->createWindow(context); // outlives a closed main window
    statistics_->setAttribute(Qt::WA_DeleteOnClose);
    // Above the main window, which stays on top while a lesson runs.
    statistics_->setWindowFlag(Qt::WindowStaysOnTopHint);
    centreOnScreen(statistics_);
    bringForward(statistics_);
}

void frmMain::applyColours(const QuestionArea& area) {
    area_ = area;
    setColour(this, QPalette::Window, toQColor(area.windowColour));
    const QColor back = backColor();
    setColour(Label1, QPalette::Window, back);
    for (int i = 1; i <= 5; ++i) {
        setColour(Label2[i], QPalette::Window, back);
        setColour(Label3[i], QPalette::Window, back);
    }
    setColour(Label1, QPalette::WindowText, toQColor(area.questionColour));
}

void frmMain::setAutoBrowseInterval(int milliseconds) {
    Timer1->setInterval(milliseconds);
}

// Closing the main window closes it alone: the editor and the settings dialog stay open
// (typed words are not lost) and the program ends with its last window. The chooser and the
// end-of-lesson dialog only serve the drill, so they go with it; so does the auto-browse
// clock, which would otherwise drill on in a hidden window. Words collected since the
// notebook was last written are kept.
void frmMain::closeEvent(QCloseEvent* event) {
    // A command under way (the alarm, a message box) finishes first; the window closes then.
    // A session that ends does not wait for it.
    if (!engine_.mainWindowClosing([this] { close(); }, sessionEnding_)) {
        event->ignore();
        return;
    }
    for (QWidget* window : {static_cast<QWidget*>(chooser_), static_cast<QWidget*>(endOfLesson_)})
        if (window)
            window->close();
    Timer1->stop();
    QWidget::closeEvent(event);
}

void frmMain::endSession() {
    sessionEnding_ = true;
    close();
}

void frmMain::showEvent(QShowEvent* event) {
    if (!Timer1->isActive())
        Timer1->start(); // at the interval last set
    QWidget::showEvent(event);
}

void frmMain::Timer1_Timer() {
    engine_.autoBrowseTick();
}

// --- Commands ---

void frmMain::tbToolBar_ButtonClick(const QAction* button) {
    const QString key = button->data().toString();
    for (const ToolButton& tool : ToolButtons)
        if (key == QStringView(tool.key))
            engine_.dispatch(tool.command);
}

void frmMain::Form_KeyPress(char16_t key) {
    if (const std::optional<Command> command = commandForKey(key))
        engine_.dispatch(*command, key - u'0');
}

void frmMain::Text1_KeyPress(char16_t key) {
    if (key != 13)
        return;
    const QString text = Text1->text();
    Text1->clear();
    engine_.answerTyped(text);
}

void frmMain::Label3_MouseMove(int position) {
    if (!engine_.questionShown() || Text1->isVisible())
        return;
    const QColor wrong = toQColor(area_.wrongColour);
    const QColor hover = toQColor(area_.hoverColour);
    const QColor back = backColor();
    const int count = qBound(0, area_.choiceCount, 5);
    for (int i = 1; i <= count; ++i) {
        if (Label3[i]->palette().color(QPalette::Window) == wrong)
            continue;
        setColour(Label3[i], QPalette::Window, i == position ? hover : back);
    }
}

// The top-left corner, as wide as the bar Label4 and 350 twips high, calls up the toolbar.
void frmMain::Form_MouseMove(float xTwips, float yTwips) {
    tbToolBar->setVisible(xTwips < widthTw(Label4) && yTwips < 350);
}

void frmMain::keyPressEvent(QKeyEvent* event) {
    if (Text1->hasFocus())
        return QWidget::keyPressEvent(event);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return Form_KeyPress(13);
    const QString text = event->text();
    if (text.size() == 1 && text[0].unicode() >= 32)
        return Form_KeyPress(text[0].unicode());
    QWidget::keyPressEvent(event);
}

void frmMain::mouseMoveEvent(QMouseEvent* event) {
    // Only over the window's own surface, not over a label, the typing box or the toolbar.
    const QPoint at = event->position().toPoint();
    if (!childAt(at))
        Form_MouseMove(toTwips(at.x()), toTwips(at.y()));
    QWidget::mouseMoveEvent(event);
}

int frmMain::positionOf(const QObject* label) const {
    for (int i = 1; i <= 5; ++i)
        if (label == Label2[i] || label == Label3[i])
            return i;
    return 0;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1) {
        // While the input method still holds an unconfirmed composition, Enter belongs to it
        // and never submits the answer.
        if (event->type() == QEvent::InputMethod)
            composing_ = !static_cast<QInputMethodEvent*>(event)->preeditString().isEmpty();
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            // The letters belong to the answer; Ctrl+H shows the right one, as H does elsewhere.
            if (key->key() == Qt::Key_H && key->modifiers() == Qt::ControlModifier) {
                engine_.dispatch(Command::Help);
                return true;
            }
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                if (!composing_)
                    Text1_KeyPress(13);
                return true; // nor does it reach the window, where Enter would reveal the answer
            }
        }
        return false;
    }
    const int position = positionOf(watched);
    if (position == 0)
        return false;
    const bool isChoice = watched == Label3[position];
    switch (event->type()) {
    case QEvent::MouseMove:
        if (isChoice)
            Label3_MouseMove(position);
        return true;
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            pressedLabel_ = watched;
        return true;
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const bool click =
            mouse->button() == Qt::LeftButton && pressedLabel_ == watched &&
            static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint());
        pressedLabel_ = nullptr;
        if (click)
            engine_.dispatch(isChoice ? Command::ClickChoice : Command::ClickNumber, position);
        return true;
    }
    default:
        return false;
    }
}
