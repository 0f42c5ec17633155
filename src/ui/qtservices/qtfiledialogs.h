#pragma once

#include "services/filedialogs.h"

class QtFileDialogs final : public FileDialogs {
public:
    std::optional<Chosen> openFile(const Request& request) override;
    std::optional<Chosen> saveFile(const Request& request) override;
    std::optional<QString> chooseFolder(const QString& start) override;

    // "text_files(*.txt)|*.txt" in Qt's form, "text_files(*.txt)".
    static QString qtFilter(const QString& filter);
};
