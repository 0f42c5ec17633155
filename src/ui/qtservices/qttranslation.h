#pragma once

class QCoreApplication;

// Loads Qt's own Simplified Chinese texts, so standard buttons and dialogs read 确定, 取消 ...
void installChineseTranslation(QCoreApplication& app);
