#pragma once

// Everything the learner can ask of the main window, whether by toolbar, key or mouse. The
// window maps each of its inputs to one of these once; the engine carries them out.
enum class Command {
    OpenEditor,       // toolbar "new", key F
    ChooseLessons,    // toolbar "打开", key O
    Repeat,           // toolbar "重复", key R
    SwitchAnswerMode, // toolbar "modechange", key T
    ReadAloud,        // toolbar "朗读", key S
    Help,             // toolbar "帮助", key H, Enter
    OpenSettings,     // toolbar "设置", key C
    ReviewDue,        // toolbar "今日复习", key D: every word due for review, across lessons
    ShowStatistics,   // toolbar "学习统计", key G
    PressNumber,      // keys 1 to 5: the choice of that number, while a question is shown
    PressSpace,       // space: the one choice, while a question is shown with one choice
    ClickNumber,      // a click on a choice's number
    ClickChoice,      // a click on a choice
};
