#pragma once

#include <QStringList>
#include <optional>

// What the command line asks for: `vokarin [FILE...]`, `--help`, `--version`.
struct CommandLine final {
    QStringList files;       // to drill in this order, as absolute paths
    std::optional<int> exit; // --help, --version or a wrong option: printed, end with this code
};

// Read before the application object exists, so that --help and --version need no display.
// File names keep their bytes, as the lesson chooser keeps them.
CommandLine readCommandLine(int argc, const char* const argv[]);
