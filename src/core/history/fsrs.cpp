#include "history/fsrs.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace fsrs {
namespace {

constexpr std::array<double, 21> W = {0.212,  1.2931, 2.3065, 8.2956, 6.4133, 0.8334, 3.0194,
                                      0.001,  1.8722, 0.1666, 0.796,  1.4835, 0.0614, 0.2629,
                                      1.6483, 0.6014, 1.8729, 0.5425, 0.0912, 0.0658, 0.1542};
constexpr double DesiredRetention = 0.9;
constexpr double LeastStability = 0.001;
constexpr double MostDays = 36500;
constexpr qint64 DayMs = 24 * 60 * 60 * 1000;

// Rounded to eight decimals, halves upwards, as the reference implementation rounds.
double round8(double x) {
    constexpr double scale = 1e8;
    return std::floor(x * scale + 0.5) / scale;
}

double clampTo(double x, double low, double high) {
    return std::min(std::max(x, low), high);
}

const double Decay = -W[20];
const double Factor = round8(std::exp(std::log(DesiredRetention) / Decay) - 1);
const double IntervalModifier = round8((std::pow(DesiredRetention, 1 / Decay) - 1) / Factor);

double initialStability(int g) {
    return std::max(W[size_t(g - 1)], 0.1);
}

double initialDifficulty(int g) {
    return round8(W[4] - std::exp((g - 1) * W[5]) + 1);
}

double nextDifficulty(double d, int g) {
    const double delta = -W[6] * (g - 3);
    const double damped = d + round8(delta * (10 - d) / 9);
    const double reverted = round8(W[7] * initialDifficulty(4) + (1 - W[7]) * damped);
    return clampTo(reverted, 1, 10);
}

double recallStability(double d, double s, double r, int g) {
    const double hardPenalty = g == 2 ? W[15] : 1;
    const double easyBonus = g == 4 ? W[16] : 1;
    return round8(clampTo(s * (1 + std::exp(W[8]) * (11 - d) * std::pow(s, -W[9]) *
                                       (std::exp((1 - r) * W[10]) - 1) * hardPenalty * easyBonus),
                          LeastStability, MostDays));
}

double forgetStability(double d, double s, double r) {
    return round8(clampTo(W[11] * std::pow(d, -W[12]) * (std::pow(s + 1, W[13]) - 1) *
                              std::exp((1 - r) * W[14]),
                          LeastStability, MostDays));
}

qint32 interval(double stability) {
    return qint32(
        std::min(std::max(1.0, std::floor(stability * IntervalModifier + 0.5)), MostDays));
}

// Whole days between the UTC dates of two times.
qint64 calendarDaysBetween(qint64 earlier, qint64 later) {
    auto day = [](qint64 ms) { return ms >= 0 ? ms / DayMs : (ms - DayMs + 1) / DayMs; };
    return day(later) - day(earlier);
}

} // namespace

double retrievability(double elapsedDays, double stability) {
    return round8(std::pow(1 + Factor * elapsedDays / stability, Decay));
}

Memory review(const Memory& before, Grade grade, qint64 now) {
    const bool fresh = before.reps == 0;
    const double elapsed =
        fresh ? 0 : double(std::max<qint64>(0, calendarDaysBetween(before.lastReview, now)));
    const double r = fresh ? 1 : retrievability(elapsed, before.stability);

    // All four outcomes: their intervals are kept in order, each at least a day past the one
    // below it.
    std::array<double, 5> stability{}, difficulty{};
    std::array<qint32, 5> days{};
    for (int g = 1; g <= 4; ++g) {
        if (fresh) {
            stability[g] = initialStability(g);
            difficulty[g] = clampTo(initialDifficulty(g), 1, 10);
        } else {
            stability[g] = g == 1 ? clampTo(round8(before.stability), LeastStability,
                                            forgetStability(before.difficulty, before.stability, r))
                                  : recallStability(before.difficulty, before.stability, r, g);
            difficulty[g] = nextDifficulty(before.difficulty, g);
        }
        days[g] = interval(stability[g]);
    }
    days[1] = std::min(days[1], days[2]);
    days[2] = std::max(days[2], days[1] + 1);
    days[3] = std::max(days[3], days[2] + 1);
    days[4] = std::max(days[4], days[3] + 1);

    const int g = int(grade);
    Memory after = before;
    after.stability = stability[g];
    after.difficulty = difficulty[g];
    after.scheduledDays = days[g];
    after.due = now + qint64(days[g]) * DayMs;
    after.lastReview = now;
    after.reps = before.reps + 1;
    after.lapses = before.lapses + (!fresh && grade == Grade::Again ? 1 : 0);
    after.state = 2;
    return after;
}

} // namespace fsrs
