#pragma once

#include "drill/drillengine.h"
#include "fakeplatform.h"
#include "module1.h"
#include "recordingview.h"
#include "sqlitehistory.h"
#include "sync/folderwatch.h"

#include <QDir>
#include <QTimeZone>
#include <memory>

// A learner who keeps a data folder of his own, as a sync program shares it between computers:
// home holds this computer's settings, history file and lock; data the lessons, the notebook
// and the computers' logs. The history counts days in UTC; the clock starts at startsAt.
struct SharedStudent {
    SharedStudent(const QString& home, const QString& data, qint64 startsAt,
                  const MergeSlices& slices = {})
        : module(home) {
        module.DataFolder = data;
        module.nameThisComputer();
        QDir().mkpath(home);
        module.SavedChoiceCount = module.Settings.ChoiceCount;
        module.SpeechObject = &fakes.speech;
        fakes.clock.epoch = startsAt;
        history = std::make_unique<SqliteHistory>(
            QDir(home).filePath("vokarin.db"), fakes.messages, QTimeZone::utc(),
            HistoryLog{module.historyFolder(), module.DeviceId, slices});
        platform =
            std::make_unique<Platform>(Platform{fakes.messages, fakes.files, fakes.colours,
                                                fakes.sound, fakes.clock, fakes.random, *history});
        engine = std::make_unique<DrillEngine>(module, *platform, view);
        watch = std::make_unique<FolderWatch>(module, *history, fakes.messages);
    }

    FakePlatform fakes;
    Module1 module;
    RecordingView view;
    std::unique_ptr<SqliteHistory> history;
    std::unique_ptr<Platform> platform;
    std::unique_ptr<DrillEngine> engine;
    std::unique_ptr<FolderWatch> watch;
};
