#include "mainwindow/frmmain.h"

#include "mainwindow/layoutmath.h"
#include "mainwindow/twips.h"
#include "module1.h"
#include "platform/platform.h"
#include "platform/qtcolourchooser.h"
#include "platform/speech.h"
#include "settings/settingsfile.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {

// The size of the client area when the window first opens.
constexpr int StartWidthTwips = 5910;
constexpr int StartHeightTwips = 5490;
// Below this the window snaps back, unless auto-browse may shrink it to a strip.
constexpr float MinimumTwips = 3000;

const QStringList QuestionFamilies = {QStringLiteral("Times New Roman"),
                                      QStringLiteral("Liberation Serif"),
                                      QStringLiteral("DejaVu Serif")};
const QStringList ChoiceFamilies = {
    QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
    QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")};

struct ToolButton {
    const char16_t* key;
    const char* icon;
    const char16_t* tip;
};

constexpr ToolButton ToolButtons[] = {
    {u"new", "new", u"单词文件管理器(F)"}, {u"打开", "open", u"打开单词文件(O)"},
    {u"重复", "repeat", u"重复本课(R)"},   {u"modechange", "modechange", u"答题型式转换(T)"},
    {u"朗读", "speak", u"朗读(S)"},        {u"帮助", "help", u"帮助(H)"},
    {u"设置", "settings", u"设置(C)"},
};

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

QColor colourOf(const QString& text) {
    return toQColor(colourFromText(text).value_or(0));
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

} // namespace

frmMain::frmMain(Module1& module, const Platform& platform, QWidget* parent)
    : QWidget(parent)
    , module_(module)
    , platform_(platform) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vokarin2.0"));
    setAutoFillBackground(true);
    createControls();
    createToolBar();
    Form_Load();
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
    }
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFont(fontOf(ChoiceFamilies, 12));
    Text1->hide();

    Label4 = new QFrame(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setFrameStyle(QFrame::Box | QFrame::Plain);
    Label4->setGeometry(toPixels(120), toPixels(60), toPixels(2400), qMax(toPixels(45), 3));

    sbStatusBar = new QStatusBar(this);
    sbStatusBar->setObjectName(QStringLiteral("sbStatusBar"));
    statusPanel_ = new QLabel(sbStatusBar);
    statusPanel_->setObjectName(QStringLiteral("sbStatusBarPanel"));
    sbStatusBar->addWidget(statusPanel_, 1);
    sbStatusBar->setAutoFillBackground(true);
    // The bars keep the desktop's colours whatever colour the learner gives the window.
    setColour(sbStatusBar, QPalette::Window,
              QApplication::palette(sbStatusBar).color(QPalette::Window));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
}

void frmMain::createToolBar() {
    tbToolBar = new QToolBar(this);
    tbToolBar->setObjectName(QStringLiteral("tbToolBar"));
    tbToolBar->setIconSize(QSize(16, 16));
    tbToolBar->setMovable(false);
    tbToolBar->setAutoFillBackground(true);
    setColour(tbToolBar, QPalette::Window,
              QApplication::palette(tbToolBar).color(QPalette::Window));
    for (const ToolButton& button : ToolButtons) {
        const QString key = QString::fromUtf16(button.key);
        QAction* action = tbToolBar->addAction(
            QIcon(QStringLiteral(":/icons/%1.xpm").arg(QLatin1String(button.icon))), {});
        action->setObjectName(key);
        action->setData(key);
        action->setToolTip(QString::fromUtf16(button.tip));
        tbToolBar->widgetForAction(action)->setFocusPolicy(Qt::NoFocus);
    }
    tbToolBar->raise();
    sbStatusBar->raise();
}

void frmMain::Form_Load() {
    // Without a writable folder the program still runs, on the defaults in memory.
    (void)module_.LoadSettings();
    const SettingsRecord& s = module_.Settings;

    for (int i = 1; i <= 5; ++i) {
        Label2[i]->clear();
        Label3[i]->clear();
        Label3[i]->setAutoFillBackground(true);
    }
    Label1->clear();
    setPointSize(Text1, 24);
    Timer1->start(autoBrowseInterval(s));

    setColour(this, QPalette::Window, colourOf(s.WindowBackColor));
    setColour(Label1, QPalette::WindowText, colourOf(s.QuestionColor1));
    clscreen();

    if (Speech* speech = module_.SpeechObject) {
        speech->open(QString(10, u' '), QString(10, u' '));
        speech->setSpeed(s.SpeechSpeed);
    }

    resize(toPixels(StartWidthTwips), toPixels(StartHeightTwips));
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmMain::clscreen() {
    const SettingsRecord& s = module_.Settings;
    Label1->clear();
    setColour(Label1, QPalette::WindowText, colourOf(s.QuestionColor1));
    const QColor back = backColor();
    for (int i = 1; i <= 5; ++i) {
        Label2[i]->clear();
        Label3[i]->clear();
        setColour(Label2[i], QPalette::Window, back);
        setColour(Label3[i], QPalette::Window, back);
    }
    Label2[1]->setVisible(s.ChoiceCount != 1);
}

QColor frmMain::backColor() const {
    return palette().color(QPalette::Window);
}

QString frmMain::statusText() const {
    return statusPanel_->text();
}

void frmMain::setStatusText(const QString& text) {
    statusPanel_->setText(text);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeBars();
    Form_Resize();
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

void frmMain::Form_Resize() {
    const SettingsRecord& s = module_.Settings;
    const QSize extra = frameExtra();
    float W = toTwips(width() + extra.width());
    float H = toTwips(height() + extra.height());

    // 1. Minimum size, except in auto-browse, which may shrink the window to a strip.
    if (s.AutoBrowse == VbFalse && (W < MinimumTwips || H < MinimumTwips)) {
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

    if (s.ChoiceMode != VbFalse) {
        // 4. Choices in one column, spread over the band from 30 to 90 % of the height.
        for (int i = 1; i <= 5; ++i) {
            Label2[i]->adjustSize();
            Label3[i]->adjustSize();
        }
        float M = widthTw(Label3[1]);
        for (int i = 2; i <= 5; ++i)
            if (widthTw(Label3[i]) > M)
                M = widthTw(Label3[i]);
        const float n = float(s.ChoiceCount);
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

        if (H < MinimumTwips && s.AutoBrowse != VbFalse) {
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
        Text1->setGeometry(toPixels(W / 4), toPixels(topTw(Label1) + 2 * heightTw(Label1)),
                           toPixels(W / 2), qMax(toPixels(heightTw(Label1) - 100), 1));
        setPointSize(Text1, Label1->font().pointSizeF() - 4);
        setColour(Text1, QPalette::Base, backColor());
    }
}
