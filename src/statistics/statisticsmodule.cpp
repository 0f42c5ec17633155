// The statistics module: a Qt plugin that makes the statistics window.
#include "services/statisticsfactory.h"
#include "statisticswindow.h"

#include <QObject>

class StatisticsModule final : public QObject, public StatisticsFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VokarinStatisticsFactory_iid)
    Q_INTERFACES(StatisticsFactory)

public:
    QWidget* createWindow(const StatisticsContext& context) override {
        return new StatisticsWindow(context);
    }
};

#include "statisticsmodule.moc"
