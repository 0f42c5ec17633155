// The statistics module's one entry point, looked up by name when the module is loaded.
#include "statisticswindow.h"

extern "C" Q_DECL_EXPORT QWidget* vokarinCreateStatistics(const StatisticsContext& context) {
    return new StatisticsWindow(context);
}
