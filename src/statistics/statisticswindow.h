#pragma once

#include "services/statisticsfactory.h"
#include "statisticsdata.h"

#include <QDate>
#include <QSqlDatabase>
#include <QTimeZone>
#include <QWidget>
#include <memory>

class QChartView;
class QComboBox;
class QTableWidget;

// "学习统计": practice minutes per day over the last twelve weeks, answers and accuracy per
// day, words by state with the reviews due in the next 30 days, and the 20 hardest words,
// which can be saved as a lesson. The answer history can be exported as CSV.
class StatisticsWindow final : public QWidget {
    Q_OBJECT

public:
    explicit StatisticsWindow(const StatisticsContext& context, QWidget* parent = nullptr);
    ~StatisticsWindow() override;

    // The hardest words as a lesson in the lesson folder; the file's path, or empty.
    QString saveHardestWords();
    // The answer history as CSV at path.
    bool exportAnswers(const QString& path);

private:
    QWidget* practicePage();
    QWidget* answersPage();
    QWidget* wordsPage();
    QWidget* hardWordsPage();
    void showAnswers();

    StatisticsContext context_;
    QString connection_;
    QSqlDatabase db_;
    std::unique_ptr<StatisticsData> data_;
    QDate today_;
    QDate first_;                        // the charts' first day
    QList<StatisticsData::Day> allDays_; // from first_ to today, every answer

    QChartView* answersView_ = nullptr;
    QComboBox* direction_ = nullptr;
    QComboBox* mode_ = nullptr;
    QTableWidget* hardWords_ = nullptr;
};
