#pragma once

#include "fileio.h"

#include <QString>

// Whether a folder already holds Vokarin's files: a lesson folder, answer logs, or settings.
bool holdsVokarinFiles(const QString& folder);

// Moves the learner's files from one data folder into another: lesson/ (with the notebook),
// history/ (the computers' answer logs), 已合并/ (copies set aside), and csh2.dat when the
// settings are shared. All or nothing: everything is copied first, and the originals go only
// when every copy is in place; a failure removes what was copied and leaves the files where
// they were. What the new folder already has is kept: a file with the same bytes is not
// copied again, the notebooks are merged (its words first), and any other file of the same
// name is copied beside it as "name (本机).ext", so that nothing of either is lost.
FileResult moveDataFiles(const QString& from, const QString& to, bool withSettings);
