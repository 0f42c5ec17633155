#include "statisticswindow.h"

#include "lessons/lessonfile.h"
#include "services/filedialogs.h"
#include "services/messageboxes.h"
#include "statisticsdata.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPieSeries>
#include <QPushButton>
#include <QShortcut>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableWidget>
#include <QUuid>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace {

constexpr int Weeks = 12;
constexpr int ForecastDays = 30;
constexpr int HardWordCount = 20;

QChartView* chartView(QChart* chart) {
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(360, 240);
    return view;
}

// Whole numbers from 0, in five steps of a round size.
QValueAxis* valueAxis(const QString& title, double top) {
    double step = 1;
    while (step * 5 < top)
        step *= (QString::number(step).startsWith(u'2') ? 2.5 : 2);
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setRange(0, step * 5);
    axis->setTickCount(6);
    axis->setLabelFormat(QStringLiteral("%d"));
    return axis;
}

// The days from first to last along the bottom, each day's figure a block of its own width,
// and no more than eight labels, each on a day's start.
QDateTimeAxis* daysAxis(QDate first, QDate last, const QTimeZone& zone) {
    const qint64 days = first.daysTo(last) + 1;
    const qint64 step = qMax<qint64>(1, (days + 6) / 7);
    const qint64 shown = (days + step - 1) / step * step;
    auto* axis = new QDateTimeAxis;
    axis->setFormat(QStringLiteral("M/d"));
    axis->setRange(QDateTime(first, QTime(0, 0), zone),
                   QDateTime(first.addDays(shown), QTime(0, 0), zone));
    axis->setTickCount(int(shown / step) + 1);
    return axis;
}

qreal dayPoint(QDate date, const QTimeZone& zone) {
    return qreal(QDateTime(date, QTime(0, 0), zone).toMSecsSinceEpoch());
}

// A day's value as a block over the day, not a spike at its start.
void appendDay(QLineSeries* series, QDate date, qreal value, const QTimeZone& zone) {
    series->append(dayPoint(date, zone), value);
    series->append(dayPoint(date.addDays(1), zone), value);
}

// Practice time in minutes, with a decimal below ten.
QString minutesText(qint64 seconds) {
    const double minutes = double(seconds) / 60;
    return minutes < 10 ? QString::number(minutes, 'f', 1) : QString::number(qRound64(minutes));
}

} // namespace

StatisticsWindow::StatisticsWindow(const StatisticsContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , context_(context)
    , connection_(QStringLiteral("vokarin-statistics-") + QUuid::createUuid().toString()) {
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowTitle(QStringLiteral("学习统计"));
    const qint64 now = context_.now ? context_.now : QDateTime::currentMSecsSinceEpoch();
    today_ = QDateTime::fromMSecsSinceEpoch(now, context_.zone).date();

    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db_.setDatabaseName(context_.databasePath);
    db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    const bool opened = QFileInfo::exists(context_.databasePath) && db_.open();
    if (opened) {
        // Read through the memory map, with room for the whole history in the cache.
        QSqlQuery pragma(db_);
        pragma.exec(QStringLiteral("PRAGMA mmap_size=268435456"));
        pragma.exec(QStringLiteral("PRAGMA cache_size=-65536"));
    }
    data_ = std::make_unique<StatisticsData>(db_, context_.zone);

    // From the first day with anything to show, at least a week and at most twelve weeks back.
    const std::optional<QDate> firstDay = data_->firstDay();
    first_ = firstDay ? std::clamp(*firstDay, today_.addDays(-Weeks * 7 + 1), today_.addDays(-6))
                      : today_.addDays(-6);
    allDays_ = data_->days(first_, today_);
    auto* tabs = new QTabWidget;
    tabs->addTab(practicePage(), QStringLiteral("练习时间"));
    tabs->addTab(answersPage(), QStringLiteral("答题与正确率"));
    tabs->addTab(wordsPage(), QStringLiteral("单词状态与到期"));
    tabs->addTab(hardWordsPage(), QStringLiteral("最难的单词"));
    auto* layout = new QVBoxLayout(this);
    const QString failure = opened ? data_->failure() : QString();
    if (!failure.isEmpty() || !opened || !firstDay) {
        // A history that cannot be read is said so: its charts are missing, not empty.
        auto* note = new QLabel(
            failure.isEmpty()
                ? QStringLiteral("还没有学习记录：按 O 选一课答几道题，或按 D 复习到期的单词，"
                                 "这里就会有统计了。")
                : QStringLiteral("学习记录“%1”读不出来（%2），下面的统计不全。")
                      .arg(QDir::toNativeSeparators(context_.databasePath), failure));
        note->setObjectName(failure.isEmpty() ? QStringLiteral("noRecords")
                                              : QStringLiteral("readFailure"));
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    layout->addWidget(tabs);
    for (const QKeySequence& keys :
         {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    resize(720, 480);
}

StatisticsWindow::~StatisticsWindow() {
    data_.reset();
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

QWidget* StatisticsWindow::practicePage() {
    auto* area = new QAreaSeries;
    auto* minutes = new QLineSeries(area); // the area does not own its edge
    area->setUpperSeries(minutes);
    qint64 most = 0, total = 0;
    for (const auto& day : std::as_const(allDays_)) {
        appendDay(minutes, day.date, day.seconds / 60.0, context_.zone);
        most = qMax<qint64>(most, day.seconds);
        total += day.seconds;
    }
    area->setName(QStringLiteral("练习分钟"));
    auto* chart = new QChart;
    chart->addSeries(area);
    chart->setTitle(QStringLiteral("最近 %1 天每天的练习时间（共 %2 分钟）")
                        .arg(first_.daysTo(today_) + 1)
                        .arg(minutesText(total)));
    auto* x = daysAxis(first_, today_, context_.zone);
    chart->addAxis(x, Qt::AlignBottom);
    area->attachAxis(x);
    auto* y = valueAxis(QString(), double(most) / 60);
    chart->addAxis(y, Qt::AlignLeft);
    area->attachAxis(y);
    return chartView(chart);
}

QWidget* StatisticsWindow::answersPage() {
    auto* page = new QWidget;
    direction_ = new QComboBox;
    direction_->addItem(QStringLiteral("两个方向"), QString());
    direction_->addItem(QStringLiteral("英译汉"), QStringLiteral("en-zh"));
    direction_->addItem(QStringLiteral("汉译英"), QStringLiteral("zh-en"));
    mode_ = new QComboBox;
    mode_->addItem(QStringLiteral("所有答题方式"), QString());
    mode_->addItem(QStringLiteral("选择"), QStringLiteral("choice"));
    mode_->addItem(QStringLiteral("输入"), QStringLiteral("typing"));
    mode_->addItem(QStringLiteral("听力"), QStringLiteral("listening"));
    answersView_ = chartView(new QChart);
    auto* choices = new QHBoxLayout;
    choices->addWidget(new QLabel(QStringLiteral("方向：")));
    choices->addWidget(direction_);
    choices->addWidget(new QLabel(QStringLiteral("答题方式：")));
    choices->addWidget(mode_);
    choices->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(choices);
    layout->addWidget(answersView_);
    connect(direction_, &QComboBox::currentIndexChanged, this, &StatisticsWindow::showAnswers);
    connect(mode_, &QComboBox::currentIndexChanged, this, &StatisticsWindow::showAnswers);
    showAnswers();
    return page;
}

void StatisticsWindow::showAnswers() {
    const QString direction = direction_->currentData().toString();
    const QString mode = mode_->currentData().toString();
    const auto days = direction.isEmpty() && mode.isEmpty()
                          ? allDays_
                          : data_->days(first_, today_, direction, mode);
    auto* area = new QAreaSeries;
    auto* answered = new QLineSeries(area); // the area does not own its edge
    area->setUpperSeries(answered);
    // Accuracy counts each word's first answer of the day: its repeats within a lesson, which
    // follow its answer just shown, would flatter it.
    auto* accuracy = new QLineSeries;
    accuracy->setName(QStringLiteral("第一次作答的正确率"));
    accuracy->setPointsVisible(true);
    int most = 0, total = 0, reviews = 0, right = 0;
    for (const auto& day : days) {
        appendDay(answered, day.date, day.answers, context_.zone);
        most = qMax(most, day.answers);
        total += day.answers;
        reviews += day.reviews;
        right += day.right;
        if (day.reviews > 0)
            accuracy->append(dayPoint(day.date, context_.zone) + 12 * 3600 * 1000,
                             100.0 * day.right / day.reviews);
    }
    area->setName(QStringLiteral("答题数"));
    area->setOpacity(0.6);
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("最近 %1 天每天的答题数和正确率（共 %2 题，第一次作答答对 %3%）")
                        .arg(first_.daysTo(today_) + 1)
                        .arg(total)
                        .arg(reviews ? 100 * right / reviews : 0));
    chart->addSeries(area);
    chart->addSeries(accuracy);
    auto* x = daysAxis(first_, today_, context_.zone);
    chart->addAxis(x, Qt::AlignBottom);
    area->attachAxis(x);
    accuracy->attachAxis(x);
    // The legend names both: axis titles, turned on their side, would be cut short.
    auto* count = valueAxis(QString(), most);
    chart->addAxis(count, Qt::AlignLeft);
    area->attachAxis(count);
    auto* percent = valueAxis(QString(), 100);
    percent->setLabelFormat(QStringLiteral("%d%%"));
    chart->addAxis(percent, Qt::AlignRight);
    accuracy->attachAxis(percent);
    QChart* old = answersView_->chart();
    answersView_->setChart(chart);
    delete old;
}

QWidget* StatisticsWindow::wordsPage() {
    const StatisticsData::States states = data_->states();
    auto* pie = new QPieSeries;
    pie->append(QStringLiteral("新学 %1").arg(states.fresh), states.fresh);
    pie->append(QStringLiteral("学习中 %1").arg(states.learning), states.learning);
    pie->append(QStringLiteral("已巩固 %1").arg(states.known), states.known);
    auto* stateChart = new QChart;
    stateChart->setTitle(QStringLiteral("单词状态"));
    stateChart->addSeries(pie);

    const QList<qint32> due = data_->dueForecast(today_, ForecastDays);
    auto* set = new QBarSet(QStringLiteral("到期单词"));
    int most = 0;
    for (const qint32 words : due) {
        *set << words;
        most = qMax(most, words);
    }
    auto* series = new QBarSeries;
    series->append(set);
    auto* forecast = new QChart;
    forecast->setTitle(
        QStringLiteral("今后 %1 天每天到期的单词（0 为今天，含已过期的）").arg(ForecastDays));
    forecast->addSeries(series);
    auto* x = new QValueAxis;
    x->setRange(-0.5, ForecastDays - 0.5);
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(5);
    x->setLabelFormat(QStringLiteral("%d"));
    forecast->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto* y = valueAxis(QString(), most);
    forecast->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);

    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(chartView(stateChart), 2);
    layout->addWidget(chartView(forecast), 3);
    return page;
}

QWidget* StatisticsWindow::hardWordsPage() {
    const auto words = data_->hardestWords(HardWordCount);
    hardWords_ = new QTableWidget(int(words.size()), 4);
    hardWords_->setObjectName(QStringLiteral("hardWords"));
    hardWords_->setHorizontalHeaderLabels({QStringLiteral("单词"), QStringLiteral("汉语"),
                                           QStringLiteral("遗忘次数"), QStringLiteral("正确率")});
    hardWords_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every word whole; the meaning takes what is left.
    QHeaderView* header = hardWords_->horizontalHeader();
    for (const int column : {0, 2, 3})
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    for (int row = 0; row < words.size(); ++row) {
        const auto& w = words[row];
        const QString accuracy =
            w.reviews ? QStringLiteral("%1%").arg(100 * w.right / w.reviews) : QStringLiteral("—");
        const QStringList cells = {w.english, w.chinese, QString::number(w.forgotten), accuracy};
        for (int column = 0; column < cells.size(); ++column)
            hardWords_->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    auto* save = new QPushButton(QStringLiteral("存为单词文件(&S)"));
    save->setObjectName(QStringLiteral("saveHardWords"));
    save->setEnabled(words.size() >= 2);
    auto* exportCsv = new QPushButton(QStringLiteral("导出答题记录(&E)…"));
    exportCsv->setObjectName(QStringLiteral("exportAnswers"));
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = saveHardestWords();
        if (!path.isEmpty() && context_.messages)
            context_.messages->ok(
                QStringLiteral("已存为“%1”，可以在打开单词文件时选它来练习。").arg(path));
    });
    connect(exportCsv, &QPushButton::clicked, this, [this] {
        if (!context_.files)
            return;
        const auto path = context_.files->saveFile(
            {QStringLiteral("CSV 文件(*.csv)|*.csv"), QDir::homePath(),
             QStringLiteral("vokarin-answers-%1.csv").arg(today_.toString(Qt::ISODate))});
        if (path)
            exportAnswers(path->path);
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save);
    buttons->addWidget(exportCsv);
    buttons->addStretch();
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(hardWords_);
    layout->addLayout(buttons);
    return page;
}

QString StatisticsWindow::saveHardestWords() {
    QList<WordPair> pairs;
    for (const auto& word : data_->hardestWords(HardWordCount))
        pairs.append({word.english, word.chinese});
    if (pairs.size() < 2)
        return {};
    QString path =
        QDir(context_.lessonFolder)
            .filePath(
                QStringLiteral("难词-%1.txt").arg(today_.toString(QStringLiteral("yyyyMMdd"))));
    if (const FileResult written = writepairs(path, pairs); !written.ok()) {
        if (context_.messages)
            context_.messages->ok(written.description);
        return {};
    }
    return path;
}

bool StatisticsWindow::exportAnswers(const QString& path) {
    const FileResult written = writeFileAtomically(path, data_->answersCsv());
    if (!written.ok() && context_.messages)
        context_.messages->ok(written.description);
    return written.ok();
}
