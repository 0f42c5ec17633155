#pragma once

#include "services/speech.h"
#include "settings/settingsrecord.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
struct Module1;
struct Platform;

// "设置": every preference but the answer mode, with steppers, options and colour swatches,
// edited in a draft of the settings. Apply hands the draft on, to be taken into effect at once
// and saved; OK is Apply and close.
class Form2 final : public QDialog {
    Q_OBJECT

public:
    Form2(Module1& module, const Platform& platform, QWidget* parent = nullptr);

    void cmdApply_Click();
    void cmdOK_Click();

signals:
    // directionOnOpen: the translation direction when the dialog opened.
    void applied(const SettingsRecord& draft, qint16 directionOnOpen);
    // The learner's files now live in another data folder (or its settings are shared); before:
    // the lesson folder they were in.
    void dataFolderChanged(const QString& lessonsBefore);
    // The link to the help on studying on two computers.
    void helpWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Stepper {
        QLabel* value;
        qint32 SettingsRecord::*field;
        int unit;       // the label shows the field divided by this
        double highest; // "+" refuses above this, in the label's units
        double lowest;  // "-" refuses below this
        const char16_t* tooHigh;
        const char16_t* tooLow;
    };
    void Form_Load();
    void step(const Stepper& stepper, int by);
    void chooseColour(QLabel* swatch);
    void Command11_Click();
    // Takes the data folder chosen into effect, moving the learner's files there; false when
    // it stays as it was.
    bool applyDataFolder();
    // The accent the learner has chosen, not yet in effect.
    Accent chosenAccent() const;

    Module1& module_;
    const Platform& platform_;
    SettingsRecord draft_;
    qint16 DirectionOnOpen = -1;

    QLabel* Label1 = nullptr;               // speed / 40
    QLabel* Label2 = nullptr;               // initial unfamiliarity
    QLabel* Label3 = nullptr;               // read count
    QLabel* Label4 = nullptr;               // choices
    QLabel* Label5 = nullptr;               // wrong-word repeats
    std::array<QPushButton*, 11> Command{}; // 1 to 10
    std::array<QRadioButton*, 2> Option1{};
    std::array<QRadioButton*, 2> Option2{};
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;            // forgiving typing, kept in vokarin.ini
    QCheckBox* Check5 = nullptr;            // the right answer at a mistake, kept in vokarin.ini
    QCheckBox* Check6 = nullptr;            // the asked word's pronunciation, kept in vokarin.ini
    QLabel* Label12 = nullptr;              // what the data folder is for, with a link to the help
    QLabel* Label11 = nullptr;              // "数据文件夹"
    QLineEdit* Text1 = nullptr;             // the data folder chosen, shown
    QPushButton* Command11 = nullptr;       // "更改…"
    QCheckBox* Check4 = nullptr;            // csh2.dat in the data folder too
    std::array<QRadioButton*, 2> Option3{}; // 美音, 英音: the accent, kept in vokarin.ini
    QPushButton* Command12 = nullptr;       // "试听": a word read in the accent chosen
    QLabel* Label14 = nullptr;              // the voice that reads
    QString dataFolder_;                    // as chosen, not yet in effect
    QComboBox* Combo1 = nullptr;
    QLabel* Label6 = nullptr;
    std::array<QLabel*, 4> Label7{};
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdApply = nullptr;
};
