#include "windows/endoflessondialog.h"

#include "windows/mainwindow.h"
#include "windows/twips.h"
#include "module1.h"
#include "services/messageboxes.h"
#include "services/platform.h"

#include <QPushButton>
#include <QScreen>

Form3::Form3(Module1& module, const Platform& platform, frmMain& main)
    : QDialog(&main, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint)
    , module_(module)
    , platform_(platform)
    , main_(main) {
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("太棒了！"));
    setFixedSize(toPixels(4260), toPixels(1500));

    const char16_t* captions[] = {u"再来一遍", u"其它课程", u"不练了！"};
    const int lefts[] = {360, 1680, 3000};
    for (int i = 0; i < 3; ++i) {
        Command1[i] = new QPushButton(QString::fromUtf16(captions[i]), this);
        Command1[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        Command1[i]->setGeometry(toPixels(lefts[i]), toPixels(480), toPixels(900), toPixels(495));
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    }
    setTabOrder(Command1[0], Command1[1]);
    setTabOrder(Command1[1], Command1[2]);
    Command1[0]->setFocus();

    if (const QScreen* screen = main.screen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void Form3::repeatSelection() {
    if (module_.SelectedFileCount == 1) {
        main_.engine().重复();
    } else {
        module_.CurrentFileIndex = 0;
        main_.engine().打开();
    }
}

void Form3::Command1_Click(int index) {
    switch (index) {
    case 0:
        repeatSelection();
        close();
        break;
    case 1:
        close();
        module_.CurrentFileIndex = 0;
        main_.engine().选择();
        break;
    case 2: {
        const QString text =
            QStringLiteral("才练了%1分钟,再练一会吧！").arg(module_.PracticeMinutes);
        if (platform_.messages.yesNo(text) == MessageBoxes::Answer::Yes) {
            repeatSelection();
            close();
        } else {
            main_.closeEverything();
        }
        break;
    }
    default:
        break;
    }
}
