#pragma once

#include <QString>
#include <optional>

// The common open and save dialogs. An empty result means the learner cancelled.
class FileDialogs {
public:
    struct Request final {
        QString filter;      // "description(*.ext)|*.ext"
        QString folder;      // where the dialog starts
        QString fileName;    // the name offered, usually the last one chosen
        int shownFilter = 0; // the filter shown first
    };
    // A name chosen, and the filter the learner left chosen (0 for the first).
    struct Chosen final {
        QString path;
        int filter = 0;
    };

    virtual ~FileDialogs() = default;
    virtual std::optional<Chosen> openFile(const Request& request) = 0;
    virtual std::optional<Chosen> saveFile(const Request& request) = 0;
    // A folder, the dialog starting in start.
    virtual std::optional<QString> chooseFolder(const QString& start) = 0;
};
