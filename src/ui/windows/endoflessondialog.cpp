#include "windows/endoflessondialog.h"

#include "services/messageboxes.h"
#include "services/platform.h"
#include "windows/windowscaffold.h"

#include <QPushButton>

Form3::Form3(qint32 practiceMinutes, const Platform& platform, QWidget* parent)
    : QDialog(parent, SecondaryWindowFlags)
    , practiceMinutes_(practiceMinutes)
    , platform_(platform) {
    setUpSecondaryWindow(this, QStringLiteral("Form3"), QStringLiteral("太棒了！"), 4260, 1500);

    const char16_t* captions[] = {u"再来一遍", u"其它课程", u"不练了！"};
    const int lefts[] = {360, 1680, 3000};
    for (int i = 0; i < 3; ++i) {
        Command1[i] = new QPushButton(QString::fromUtf16(captions[i]), this);
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        placeTwips(Command1[i], lefts[i], 480, 900, 495);
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    }
    setTabOrder(Command1[0], Command1[1]);
    setTabOrder(Command1[1], Command1[2]);
    Command1[0]->setFocus();
    centreOnScreen(this);
}

void Form3::Command1_Click(int index) {
    switch (index) {
    case 0:
        emit onceMoreChosen();
        close();
        break;
    case 1:
        close();
        emit otherLessonsChosen();
        break;
    case 2: {
        const QString text = QStringLiteral("才练了%1分钟,再练一会吧！").arg(practiceMinutes_);
        if (platform_.messages.yesNo(text) == MessageBoxes::Answer::Yes) {
            emit onceMoreChosen();
            close();
        } else {
            emit stopChosen();
        }
        break;
    }
    default:
        break;
    }
}
