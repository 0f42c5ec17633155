#pragma once

#include <functional>

// Runs work on a thread of its own while this thread's events go on, so that a window keeps
// painting and its timers run (the learner's input waits). The loop also ends when the program
// is told to quit: stop, when given, is called then, before the work is waited for. Without an
// application the work runs here.
void runAside(const std::function<void()>& work, const std::function<void()>& stop = {});
