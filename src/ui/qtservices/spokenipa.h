#pragma once

#include "services/speech.h"

#include <QHash>
#include <QObject>
#include <QPointer>

class QProcess;

// A word's pronunciation in IPA from espeak-ng ("espeak-ng -q --ipa"), American or British, for
// the words a list gave none. One word is asked at a time, the last one wanted; an answer comes
// as found(), or not at all when espeak-ng is missing, fails or takes more than two seconds.
class SpokenIpa final : public QObject {
    Q_OBJECT

public:
    explicit SpokenIpa(QObject* parent = nullptr);
    ~SpokenIpa() override;

    // Asks for word's pronunciation; a word that is no English word (Chinese, no letter) is
    // never asked. Known answers come at once.
    void find(const QString& word, Accent accent);

    // The program asked, "espeak-ng" unless a test says otherwise.
    void setProgram(const QString& program) { program_ = program; }

signals:
    void found(const QString& word, const QString& pronunciation);

private:
    void start();
    void finished();

    QString program_ = QStringLiteral("espeak-ng");
    QPointer<QProcess> process_;
    QString asked_, wanted_;
    Accent askedAccent_ = Accent::American, wantedAccent_ = Accent::American;
    QHash<QString, QString> known_; // "<accent letter><word>" → "/…/"
    bool missing_ = false;          // espeak-ng could not be started: not tried again
};
