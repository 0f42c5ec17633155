#include "platform/qtspeech.h"

#include <QTextToSpeech>

QtSpeech::QtSpeech(QObject* parent)
    : QObject(parent) {}

void QtSpeech::open(const QString&, const QString&) {
    if (engine_)
        return;
    auto usable = [this](QTextToSpeech* candidate) {
        if (candidate->state() != QTextToSpeech::Error)
            return true;
        delete candidate;
        return false;
    };
    if (auto* candidate = new QTextToSpeech(this); usable(candidate)) {
        engine_ = candidate;
    } else {
        for (const QString& name : QTextToSpeech::availableEngines()) {
            if (candidate = new QTextToSpeech(name, this); usable(candidate)) {
                engine_ = candidate;
                break;
            }
        }
    }
    if (!engine_)
        return;
    engine_->setRate(rate_);
    connect(engine_, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State state) {
        if (state == QTextToSpeech::Ready || state == QTextToSpeech::Error) {
            busy_ = false;
            if (state == QTextToSpeech::Error)
                queue_.clear();
            sayNext();
        }
    });
}

void QtSpeech::setSpeed(qint32 wordsPerMinute) {
    rate_ = engineRate(wordsPerMinute);
    if (engine_)
        engine_->setRate(rate_);
}

void QtSpeech::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled && engine_) {
        queue_.clear();
        engine_->stop();
    }
}

void QtSpeech::speak(const QString& text, qint32) {
    if (!enabled_ || !engine_)
        return;
    // Repeats of one word follow each other; a different word interrupts what is left, so
    // the learner never hears the previous question after the new one is shown.
    if (text != current_) {
        queue_.clear();
        current_ = text;
        busy_ = false;
        engine_->say(text);
        busy_ = true;
        return;
    }
    queue_.append(text);
    if (!busy_)
        sayNext();
}

void QtSpeech::sayNext() {
    if (busy_ || queue_.isEmpty() || !enabled_)
        return;
    busy_ = true;
    engine_->say(queue_.takeFirst());
}
