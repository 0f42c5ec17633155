#!/bin/sh
# The modules given take the core's and the history's functions from the program that loads
# them: none of them defines one of those functions itself.
set -e
for module in "$@"; do
    symbols=$(nm -DC --defined-only "$module")
    echo "$symbols" | grep -q 'qt_plugin_instance' || { echo "$module: no module"; exit 1; }
    if echo "$symbols" | grep -E ' (readFileBytes|writeFileAtomically|readWordList|applyAnswer|SqliteHistory::)'; then
        echo "$module: holds copies of the program's functions"
        exit 1
    fi
done
