#pragma once

#include <QDialog>
#include <array>

class QPushButton;
struct Platform;

// "太棒了！": shown when the last file of a selection is learned. Once more, other lessons,
// or stop.
class Form3 final : public QDialog {
    Q_OBJECT

public:
    // practiceMinutes: what the reminder before stopping says was practised.
    Form3(qint32 practiceMinutes, const Platform& platform, QWidget* parent = nullptr);

    void Command1_Click(int index);

signals:
    void onceMoreChosen();
    void otherLessonsChosen();
    // "不练了！" and No to the reminder: every window closes.
    void stopChosen();

private:
    qint32 practiceMinutes_;
    const Platform& platform_;
    std::array<QPushButton*, 3> Command1{};
};
