#include "windows/settingsdialog.h"

#include "module1.h"
#include "services/colourchooser.h"
#include "services/filedialogs.h"
#include "services/history.h"
#include "services/messageboxes.h"
#include "services/platform.h"
#include "services/speech.h"
#include "settings/settingsfile.h"
#include "sync/datafolder.h"
#include "windows/colours.h"
#include "windows/windowscaffold.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int ExtraRowTwips = 420;

template <typename T> T* named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

QGroupBox* frame(QWidget* parent, int number, const char16_t* caption, int left, int top, int width,
                 int height) {
    auto* box = named(new QGroupBox(QString::fromUtf16(caption), parent),
                      QStringLiteral("Frame%1").arg(number));
    placeTwips(box, left, top, width, height);
    return box;
}

QLabel* valueLabel(QWidget* parent, const char* name, int left, int width) {
    auto* label = named(new QLabel(parent), QString::fromLatin1(name));
    QFont font = label->font();
    font.setPointSize(12);
    label->setFont(font);
    placeTwips(label, left, 240, width, 300);
    return label;
}

QString number(double value) {
    return QString::number(value, 'g', 12);
}

QColor swatchColour(const QLabel* swatch) {
    return swatch->palette().color(QPalette::Window);
}

void setSwatchColour(QLabel* swatch, const QColor& colour) {
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, colour);
    swatch->setPalette(palette);
}

QLabel* swatch(QWidget* parent, const QString& name, const char16_t* caption, int left, int width) {
    auto* label = named(new QLabel(QString::fromUtf16(caption), parent), name);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setCursor(Qt::PointingHandCursor);
    // Reached with Tab too, and chosen with the space bar.
    label->setFocusPolicy(Qt::StrongFocus);
    placeTwips(label, left, 240, width, 255);
    return label;
}

QString colourText(const QLabel* swatch) {
    return colourText(swatchColour(swatch));
}

} // namespace

Form2::Form2(Module1& module, const Platform& platform, QWidget* parent)
    : QDialog(parent, SecondaryWindowFlags)
    , module_(module)
    , platform_(platform) {
    // Six rows below the original 3135 twips hold the options kept in vokarin.ini.
    setUpSecondaryWindow(this, QStringLiteral("Form2"), QStringLiteral("设置"), 10740,
                         3135 + 6 * ExtraRowTwips);

    // The five steppers: "-" at 240, the value, "+" further right.
    struct Row {
        int frame;
        const char16_t* caption;
        int left;
        QLabel** label;
        const char* labelName;
        int labelLeft, labelWidth, plusLeft;
    };
    const Row rows[] = {
        {1, u"朗读速度", 240, &Label1, "Label1", 840, 255, 1320},
        {2, u"朗读次数", 2280, &Label3, "Label3", 840, 375, 1320},
        {3, u"选择个数", 4320, &Label4, "Label4", 720, 495, 1200},
        {4, u"生疏系数初始值", 6360, &Label2, "Label2", 840, 495, 1320},
        {5, u"错词重出次数", 8400, &Label5, "Label5", 840, 375, 1200},
    };
    for (const Row& row : rows) {
        QGroupBox* box = frame(this, row.frame, row.caption, row.left, 240, 1800, 675);
        *row.label = valueLabel(box, row.labelName, row.labelLeft, row.labelWidth);
        const int plus = 2 * row.frame - 1, minus = 2 * row.frame;
        Command[minus] = named(new QPushButton(QStringLiteral("-"), box),
                               QStringLiteral("Command%1").arg(minus));
        placeTwips(Command[minus], 240, 240, 300, 300);
        Command[plus] =
            named(new QPushButton(QStringLiteral("+"), box), QStringLiteral("Command%1").arg(plus));
        placeTwips(Command[plus], row.plusLeft, 240, 300, 300);
        // A screen reader says what a sign alone does not, and the value with its name.
        const QString caption = QString::fromUtf16(row.caption);
        Command[minus]->setAccessibleName(QStringLiteral("减小") + caption);
        Command[plus]->setAccessibleName(QStringLiteral("增大") + caption);
        (*row.label)->setAccessibleName(caption);
    }
    const Stepper steppers[] = {
        {Label1, &SettingsRecord::SpeechSpeed, 40, 6, 3, u"不能再快了!", u"不能再慢了!"},
        {Label3, &SettingsRecord::ReadCount, 1, 4, 2, u"不能再多了!", u"不能再少了!"},
        {Label4, &SettingsRecord::ChoiceCount, 1, 4, 2, u"不能再多了!", u"不能再少了!"},
        {Label2, &SettingsRecord::InitialUnfamiliarity, 1, 9, 2, u"不能再多了!", u"不能再少了!"},
        {Label5, &SettingsRecord::WrongRepeatCount, 1, 4, 2, u"不能再多了!", u"不能再少了!"},
    };
    for (int i = 0; i < 5; ++i) {
        const Stepper stepper = steppers[i];
        connect(Command[2 * i + 1], &QPushButton::clicked, this,
                [this, stepper] { step(stepper, 1); });
        connect(Command[2 * i + 2], &QPushButton::clicked, this,
                [this, stepper] { step(stepper, -1); });
    }

    QGroupBox* listening = frame(this, 7, u"练习听力", 240, 1200, 2280, 645);
    Option2[0] = named(new QRadioButton(QStringLiteral("打 开"), listening), "Option2_0");
    Option2[1] = named(new QRadioButton(QStringLiteral("关 闭"), listening), "Option2_1");
    placeTwips(Option2[0], 240, 240, 900, 300);
    placeTwips(Option2[1], 1200, 240, 900, 300);

    QGroupBox* direction = frame(this, 6, u"英汉转换", 2760, 1200, 2280, 645);
    Option1[0] = named(new QRadioButton(QStringLiteral("英选汉"), direction), "Option1_0");
    Option1[1] = named(new QRadioButton(QStringLiteral("汉选英"), direction), "Option1_1");
    placeTwips(Option1[0], 240, 240, 900, 300);
    placeTwips(Option1[1], 1200, 240, 900, 300);

    QGroupBox* notebook = frame(this, 8, u"生词本功能", 5280, 1200, 2520, 645);
    Check1 = named(new QCheckBox(QStringLiteral("启动时先复习生词"), notebook), "Check1");
    placeTwips(Check1, 360, 240, 1815, 300);

    QGroupBox* browse = frame(this, 9, u"自动浏览", 8040, 1200, 2280, 645);
    Check2 = named(new QCheckBox(QStringLiteral("启动  速度"), browse), "Check2");
    placeTwips(Check2, 240, 240, 1335, 300);
    Combo1 = named(new QComboBox(browse), "Combo1");
    Combo1->addItems({"1", "2", "3", "4", "5"});
    Combo1->setAccessibleName(QStringLiteral("自动浏览速度"));
    placeTwips(Combo1, 1560, 210, 615, 330);

    QGroupBox* backs = frame(this, 10, u"背景色", 240, 2160, 2775, 615);
    backs->setToolTip(QStringLiteral("单击改变颜色"));
    Label6 = swatch(backs, "Label6", u"窗体", 150, 555);
    Label8 = swatch(backs, "Label8", u"选项", 750, 555);
    Label9 = swatch(backs, "Label9", u"错词", 1440, 555);
    Label10 = swatch(backs, "Label10", u"答案", 2040, 555);

    QGroupBox* questions = frame(this, 11, u"题目颜色(按生疏系数依次变化)", 3240, 2160, 2775, 615);
    questions->setToolTip(QStringLiteral("生疏系数从左至右依次变大"));
    for (int i = 0; i < 4; ++i)
        Label7[i] = swatch(questions, QStringLiteral("Label7_%1").arg(i), u"", 240 + 600 * i, 375);
    // What each swatch colours, for a screen reader and the tip.
    const std::pair<QLabel*, const char16_t*> roles[] = {{Label6, u"窗体背景色"},
                                                         {Label8, u"鼠标所指选项的背景色"},
                                                         {Label9, u"答错的选项的背景色"},
                                                         {Label10, u"正确答案的背景色"},
                                                         {Label7[0], u"题目颜色：生疏系数最小"},
                                                         {Label7[1], u"题目颜色：生疏系数较小"},
                                                         {Label7[2], u"题目颜色：生疏系数较大"},
                                                         {Label7[3], u"题目颜色：生疏系数最大"}};
    for (const auto& [label, role] : roles) {
        label->setAccessibleName(QString::fromUtf16(role));
        label->setAccessibleDescription(QStringLiteral("按空格键选颜色"));
        label->setToolTip(QString::fromUtf16(role));
        label->installEventFilter(this);
    }

    cmdOK = named(new QPushButton(QStringLiteral("确 定"), this), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("取 消"), this), "cmdCancel");
    cmdApply = named(new QPushButton(QStringLiteral("应 用"), this), "cmdApply");
    Check3 = named(new QCheckBox(QStringLiteral("输入答案时宽松判定(&J)：不分大小写和全角半角，"
                                                "不管词性和括号里的注释，答出其中一个意思即可"),
                                 this),
                   "Check3");
    placeTwips(Check3, 240, 3000, 10260, 300);
    Check5 = named(new QCheckBox(QStringLiteral("答错时显示正确答案(&W)：选择时标出正确的意思，"
                                                "输入时写在输入框下面"),
                                 this),
                   "Check5");
    placeTwips(Check5, 240, 3420, 10260, 300);
    // The data folder, which a sync program may share with the learner's other computers.
    Label11 = named(new QLabel(QStringLiteral("数据文件夹(&D)："), this), "Label11");
    Text1 = named(new QLineEdit(this), "Text1");
    Text1->setReadOnly(true);
    Text1->setAccessibleName(QStringLiteral("数据文件夹"));
    Label11->setBuddy(Text1);
    Command11 = named(new QPushButton(QStringLiteral("更改(&G)…"), this), "Command11");
    Check4 = named(new QCheckBox(QStringLiteral("设置也放在那里(&S)"), this), "Check4");
    Check4->setToolTip(QStringLiteral("选上后 csh2.dat 也放进数据文件夹，几台电脑共用一套设置"));
    placeTwips(Label11, 240, 3870, 1400, 300);
    placeTwips(Text1, 1680, 3840, 5640, 330);
    placeTwips(Command11, 7440, 3825, 1080, 360);
    placeTwips(Check4, 8640, 3870, 2000, 300);
    Label12 = named(new QLabel(QStringLiteral("数据文件夹用来在两台电脑上学习：选一个由同步程序"
                                              "（如 Syncthing）同步的文件夹。"
                                              "<a href=\"help\">怎么做？（F1）</a>"),
                               this),
                    "Label12");
    Label12->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    placeTwips(Label12, 240, 4290, 10260, 300);
    connect(Label12, &QLabel::linkActivated, this, [this] { emit helpWanted(); });
    // The accent the voice is chosen for, with a word to hear it by.
    auto* accent = named(new QLabel(QStringLiteral("朗读口音："), this), "Label13");
    auto* accents = new QButtonGroup(this);
    Option3[0] = named(new QRadioButton(QStringLiteral("美音(&U)"), this), "Option3_0");
    Option3[1] = named(new QRadioButton(QStringLiteral("英音(&K)"), this), "Option3_1");
    accents->addButton(Option3[0]);
    accents->addButton(Option3[1]);
    Command12 = named(new QPushButton(QStringLiteral("试听(&T)"), this), "Command12");
    Command12->setToolTip(QStringLiteral("用选定的口音读一个单词"));
    Label14 = named(new QLabel(this), "Label14");
    Label14->setAccessibleName(QStringLiteral("朗读的声音"));
    placeTwips(accent, 240, 4710, 1400, 300);
    placeTwips(Option3[0], 1680, 4710, 1200, 300);
    placeTwips(Option3[1], 2880, 4710, 1200, 300);
    placeTwips(Command12, 4200, 4665, 1080, 360);
    placeTwips(Label14, 5400, 4710, 5100, 300);
    connect(Command12, &QPushButton::clicked, this, [this] {
        if (Speech* speech = module_.SpeechObject) {
            speech->setAccent(chosenAccent());
            const QString voice = speech->voiceInUse();
            const QString better = speech->betterVoicePackage();
            // With no voice, or none for the accent, the learner is told what brings one.
            Label14->setText(voice.isEmpty() ? QStringLiteral("没有英语语音：请安装 libflite1")
                             : better.isEmpty()
                                 ? voice
                                 : QStringLiteral("%1（英音请装 %2）").arg(voice, better));
            Label14->setToolTip(QStringLiteral("找到的英语语音：\n") +
                                speech->voicesFound().join(u'\n'));
            speech->speak(QStringLiteral("international"), 0);
        }
    });
    Check6 = named(new QCheckBox(QStringLiteral("显示音标(&P)：英文题目下面显示单词的音标，"
                                                "词表没有的由 espeak-ng 给出"),
                                 this),
                   "Check6");
    placeTwips(Check6, 240, 5130, 10260, 300);
    connect(Command11, &QPushButton::clicked, this, &Form2::Command11_Click);
    placeTwips(cmdOK, 6600, 2400, 975, 405);
    placeTwips(cmdCancel, 7920, 2400, 975, 405);
    placeTwips(cmdApply, 9120, 2400, 975, 405);
    // Enter is 确 定 wherever the focus is, Escape 取 消; each has its key too, named in its tip
    // (the captions stay as they are).
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);
    cmdOK->setDefault(true);
    giveAltKey(cmdOK, Qt::Key_O);
    giveAltKey(cmdCancel, Qt::Key_C);
    giveAltKey(cmdApply, Qt::Key_A);
    connect(cmdOK, &QPushButton::clicked, this, &Form2::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject); // Escape as well
    // An accent only heard with 试听 is not kept.
    connect(this, &QDialog::rejected, this, [this] {
        if (Speech* speech = module_.SpeechObject)
            speech->setAccent(module_.SpeechAccent);
    });
    connect(cmdApply, &QPushButton::clicked, this, &Form2::cmdApply_Click);

    Form_Load();
}

void Form2::Form_Load() {
    centreOnScreen(this);
    draft_ = module_.Settings;
    Check3->setChecked(module_.ForgivingTyping);
    Check5->setChecked(module_.ShowRightAnswer);
    Check6->setChecked(module_.ShowPronunciation);
    dataFolder_ = module_.dataFolder();
    Text1->setText(QDir::toNativeSeparators(dataFolder_));
    Check4->setChecked(module_.ShareSettings);
    Option3[module_.SpeechAccent == Accent::British ? 1 : 0]->setChecked(true);
    Label14->clear();
    const SettingsRecord& s = draft_;
    Label1->setText(number(s.SpeechSpeed / 40.0));
    Label3->setText(number(s.ReadCount));
    Label4->setText(number(s.ChoiceCount));
    Label2->setText(number(s.InitialUnfamiliarity));
    Label5->setText(number(s.WrongRepeatCount));

    Option1[s.TranslationDirection == VbFalse ? 1 : 0]->setChecked(true);
    DirectionOnOpen = s.TranslationDirection;
    Option2[s.ListeningMode == VbTrue ? 0 : 1]->setChecked(true);
    Check1->setChecked(s.ReviewNotebookAtStart == VbTrue);
    Check2->setChecked(s.AutoBrowse == VbTrue);
    // A speed the list cannot show falls back to the default, so Apply always has one.
    const bool listed = s.AutoBrowseSpeed >= 1 && s.AutoBrowseSpeed <= 5;
    Combo1->setCurrentIndex(listed ? s.AutoBrowseSpeed - 1 : 2);

    const auto colour = colourOf;
    setSwatchColour(Label6, colour(s.WindowBackColor));
    setSwatchColour(Label7[0], colour(s.QuestionColor1));
    setSwatchColour(Label7[1], colour(s.QuestionColor2));
    setSwatchColour(Label7[2], colour(s.QuestionColor3));
    setSwatchColour(Label7[3], colour(s.QuestionColor4));
    setSwatchColour(Label8, colour(s.HoverColor));
    setSwatchColour(Label9, colour(s.WrongColor));
    setSwatchColour(Label10, colour(s.AnswerColor));
}

void Form2::step(const Stepper& stepper, int by) {
    qint32& field = draft_.*stepper.field;
    const double value = field / double(stepper.unit);
    if (by > 0 && value > stepper.highest)
        return platform_.messages.ok(QString::fromUtf16(stepper.tooHigh));
    if (by < 0 && value < stepper.lowest)
        return platform_.messages.ok(QString::fromUtf16(stepper.tooLow));
    field += by * stepper.unit;
    stepper.value->setText(number(field / double(stepper.unit)));
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    auto* swatch = static_cast<QLabel*>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            break;
        chooseColour(swatch);
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Space)
            break;
        chooseColour(swatch);
        return true;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        // The swatch with the focus has a heavier frame.
        swatch->setLineWidth(event->type() == QEvent::FocusIn ? 3 : 1);
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

// A chooser closed without a choice leaves the swatch as it was.
void Form2::chooseColour(QLabel* swatch) {
    if (const std::optional<quint32> chosen =
            platform_.colours.choose(fromQColor(swatchColour(swatch))))
        setSwatchColour(swatch, toQColor(*chosen));
}

void Form2::cmdApply_Click() {
    SettingsRecord& d = draft_;
    d.TranslationDirection = Option1[0]->isChecked() ? VbTrue : VbFalse;
    d.ListeningMode = Option2[0]->isChecked() ? VbTrue : VbFalse;
    d.ReviewNotebookAtStart = Check1->isChecked() ? VbTrue : VbFalse;
    d.AutoBrowse = Check2->isChecked() ? VbTrue : VbFalse;
    d.AutoBrowseSpeed = qint16(Combo1->currentText().toInt());
    d.WindowBackColor = colourText(Label6);
    d.QuestionColor1 = colourText(Label7[0]);
    d.QuestionColor2 = colourText(Label7[1]);
    d.QuestionColor3 = colourText(Label7[2]);
    d.QuestionColor4 = colourText(Label7[3]);
    d.HoverColor = colourText(Label8);
    d.WrongColor = colourText(Label9);
    d.AnswerColor = colourText(Label10);
    if (module_.ForgivingTyping != Check3->isChecked() ||
        module_.ShowRightAnswer != Check5->isChecked() || module_.SpeechAccent != chosenAccent() ||
        module_.ShowPronunciation != Check6->isChecked()) {
        module_.ForgivingTyping = Check3->isChecked();
        module_.ShowRightAnswer = Check5->isChecked();
        module_.ShowPronunciation = Check6->isChecked();
        module_.SpeechAccent = chosenAccent();
        if (!module_.SavePreferences())
            platform_.messages.ok(QStringLiteral("宽松判定、显示正确答案、朗读口音和显示音标的设置"
                                                 "没能存进 vokarin.ini，这次照样有效。"));
    }
    if (Speech* speech = module_.SpeechObject)
        speech->setAccent(module_.SpeechAccent);
    const QString lessonsBefore = module_.lessonFolder();
    const bool moved = applyDataFolder();
    emit applied(d, DirectionOnOpen);
    if (moved)
        emit dataFolderChanged(lessonsBefore);
}

Accent Form2::chosenAccent() const {
    return Option3[1]->isChecked() ? Accent::British : Accent::American;
}

void Form2::Command11_Click() {
    if (const std::optional<QString> folder = platform_.files.chooseFolder(dataFolder_)) {
        dataFolder_ = QDir::cleanPath(*folder);
        Text1->setText(QDir::toNativeSeparators(dataFolder_));
    }
}

bool Form2::applyDataFolder() {
    const QString current = module_.dataFolder();
    const bool share = Check4->isChecked();
    const bool elsewhere = QDir(dataFolder_) != QDir(current);
    if (!elsewhere && share == module_.ShareSettings)
        return false;
    const auto backOut = [this, current] {
        dataFolder_ = current;
        Text1->setText(QDir::toNativeSeparators(current));
        Check4->setChecked(module_.ShareSettings);
        return false;
    };
    if (elsewhere) {
        if (holdsVokarinFiles(dataFolder_) &&
            platform_.messages.yesNo(
                QStringLiteral("“%1”里已经有 Vokarin 的文件（也许是另一台电脑放的）。"
                               "把这台电脑的课文、生词本和学习记录合并进去吗？"
                               "选“否”则数据文件夹不变。")
                    .arg(QDir::toNativeSeparators(dataFolder_))) != MessageBoxes::Answer::Yes)
            return backOut();
        if (const FileResult moved = moveDataFiles(current, dataFolder_, share); !moved.ok()) {
            platform_.messages.ok(QStringLiteral("数据文件夹没有改，文件都还在原处：") +
                                  moved.description);
            return backOut();
        }
    }
    module_.DataFolder = QDir(dataFolder_) == QDir(module_.AppFolder) ? QString() : dataFolder_;
    module_.ShareSettings = share;
    module_.SettingsPath = settingsPathFor(share ? module_.dataFolder() : module_.AppFolder);
    if (!module_.DataFolder.isEmpty())
        module_.nameThisComputer();
    if (!module_.SavePreferences())
        platform_.messages.ok(
            QStringLiteral("数据文件夹的设置没能存进 vokarin.ini，下次启动时仍用原来的文件夹。"));
    platform_.history.keepLogIn(module_.DataFolder.isEmpty() ? QString() : module_.historyFolder(),
                                module_.DataFolder.isEmpty() ? QString() : module_.DeviceId);
    // What moved where, and what the other computer needs.
    const QString shown = QDir::toNativeSeparators(module_.dataFolder());
    if (!elsewhere)
        platform_.messages.ok(share ? QStringLiteral("设置（csh2.dat）已经放进“%1”。").arg(shown)
                                    : QStringLiteral("设置（csh2.dat）已经放回这台电脑。"));
    else if (module_.DataFolder.isEmpty())
        platform_.messages.ok(QStringLiteral("课文和生词本已经移回“%1”。").arg(shown));
    else
        platform_.messages.ok(
            QStringLiteral("课文、生词本%1已经移到“%2”，这台电脑的答题记录从此也记在那里。\n\n"
                           "在另一台电脑上：等同步程序把这个文件夹同步过去，再在那台电脑的 "
                           "Vokarin 设置里，把数据文件夹选成同步过去的那个文件夹。")
                .arg(share ? QStringLiteral("和设置") : QString(), shown));
    return true;
}

void Form2::cmdOK_Click() {
    cmdApply_Click();
    close();
}
