#include "scheduling/fsrs.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

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

double shortTermStability(double s, int g) {
    const double increase = std::pow(s, -W[19]) * std::exp(W[17] * (g - 3 + W[18]));
    return round8(
        clampTo(s * (g >= 2 ? std::max(increase, 1.0) : increase), LeastStability, MostDays));
}

qint32 interval(double stability) {
    return qint32(
        std::min(std::max(1.0, std::floor(stability * IntervalModifier + 0.5)), MostDays));
}

// The interval fuzz: the days around an interval, wider the longer it is, from which one is
// drawn, so that words learnt together come due on neighbouring days and not all on one.
// As FSRS's reference implementation (ts-fsrs) has it, to the bit: its generator (Alea), seeded
// with the text "time_reps_difficulty×stability" of the review, so that the same answers give
// the same days on every computer.
double toUint32(double x) {
    return double(std::uint32_t(std::uint64_t(x)));
}

class Mash final {
public:
    double operator()(const std::string& data) {
        for (const char c : data) {
            n_ += double(static_cast<unsigned char>(c));
            double h = 0.02519603282416938 * n_;
            n_ = toUint32(h);
            h -= n_;
            h *= n_;
            n_ = toUint32(h);
            h -= n_;
            n_ += h * 4294967296.0;
        }
        return toUint32(n_) * 2.3283064365386963e-10;
    }

private:
    double n_ = 4022871197.0;
};

// The generator's first number for this seed, between 0 and 1.
double generatorFirst(const std::string& seed) {
    Mash mash;
    double s0 = mash(" "), s1 = mash(" "), s2 = mash(" ");
    for (double* s : {&s0, &s1, &s2}) {
        *s -= mash(seed);
        if (*s < 0)
            *s += 1;
    }
    const double t = 2091639 * s0 + 1 * 2.3283064365386963e-10;
    return t - double(std::int32_t(t));
}

// A number as JavaScript writes it: the shortest digits that read back as the same number.
std::string jsNumber(double x) {
    std::array<char, 64> text{};
    const auto written =
        std::to_chars(text.data(), text.data() + text.size(), x, std::chars_format::fixed);
    return std::string(text.data(), written.ptr);
}

double fuzzFactor(qint64 now, qint32 reps, double difficulty, double stability) {
    return generatorFirst(std::to_string(now) + '_' + std::to_string(reps) + '_' +
                          jsNumber(difficulty * stability));
}

double jsRound(double x) {
    return std::floor(x + 0.5);
}

// The interval of a stability with the fuzz drawn, elapsedDays after the last review.
qint32 fuzzedInterval(double stability, double elapsedDays, double factor) {
    const double days = interval(stability);
    if (days < 2.5)
        return qint32(days);
    double delta = 1;
    for (const auto& [start, end, share] :
         {std::array{2.5, 7.0, 0.15}, std::array{7.0, 20.0, 0.1}, std::array{20.0, 1e300, 0.05}})
        delta += share * std::max(std::min(days, end) - start, 0.0);
    double least = std::max(2.0, jsRound(days - delta));
    const double most = std::min(jsRound(days + delta), MostDays);
    if (days > elapsedDays)
        least = std::max(least, elapsedDays + 1);
    least = std::min(least, most);
    return qint32(std::floor(factor * (most - least + 1) + least));
}

// Whole days between the UTC dates of two times.
qint64 calendarDaysBetween(qint64 earlier, qint64 later) {
    auto day = [](qint64 ms) { return ms >= 0 ? ms / DayMs : (ms - DayMs + 1) / DayMs; };
    return day(later) - day(earlier);
}

constexpr qint64 MinuteMs = 60 * 1000;
constexpr std::array<int, 2> LearningMinutes = {1, 10};
constexpr std::array<int, 1> RelearningMinutes = {10};

// The short step a grade leads to from a step of (re)learning: its minutes (0 when the word
// leaves the steps) and the step reached.
struct Step final {
    int minutes = 0;
    int next = 0;
};

Step stepAfter(State state, int current, int g) {
    const bool relearning = state == State::Relearning || state == State::Review;
    const int* steps = relearning ? RelearningMinutes.data() : LearningMinutes.data();
    const int count = relearning ? int(RelearningMinutes.size()) : int(LearningMinutes.size());
    if (current >= count)
        return {};
    if (state == State::Review)
        return g == 1 ? Step{steps[std::max(0, current)], 0} : Step{};
    switch (g) {
    case 1:
        return {steps[0], 0};
    case 2:
        return {count == 1 ? int(std::lround(steps[0] * 1.5))
                           : int(std::lround((steps[0] + steps[1]) / 2.0)),
                current};
    case 3:
        return current + 1 < count ? Step{steps[current + 1], current + 1} : Step{};
    default:
        return {};
    }
}

// The memory's stability and difficulty after grade g, t days after its last review.
void nextState(Memory& memory, double t, int g, double r) {
    const double d = memory.difficulty, s = memory.stability;
    if (memory.state == int(State::New)) {
        memory.difficulty = clampTo(initialDifficulty(g), 1, 10);
        memory.stability = initialStability(g);
        return;
    }
    if (t == 0)
        memory.stability = shortTermStability(s, g);
    else if (g == 1)
        memory.stability =
            clampTo(round8(s / std::exp(W[17] * W[18])), LeastStability, forgetStability(d, s, r));
    else
        memory.stability = recallStability(d, s, r, g);
    memory.difficulty = nextDifficulty(d, g);
}

// A (re)learning step when the grade leads to one, else the word's next day.
void scheduleStep(Memory& memory, State from, int current, int g, State to, qint64 now,
                  double elapsed, double fuzz) {
    const Step step = stepAfter(from, current, g);
    if (step.minutes > 0) {
        memory.learningSteps = step.next;
        memory.scheduledDays = 0;
        memory.state = int(to);
        memory.due = now + step.minutes * MinuteMs;
    } else {
        memory.learningSteps = 0;
        memory.state = int(State::Review);
        memory.scheduledDays = fuzzedInterval(memory.stability, elapsed, fuzz);
        memory.due = now + qint64(memory.scheduledDays) * DayMs;
    }
}

} // namespace

double retrievability(double elapsedDays, double stability) {
    return round8(std::pow(1 + Factor * elapsedDays / stability, Decay));
}

Memory review(const Memory& before, Grade grade, qint64 at) {
    const qint64 now = std::clamp(at, EarliestTime, LatestTime);
    const int g = int(grade);
    const auto state = State(before.state);
    const qint64 last = std::clamp(before.lastReview, EarliestTime, LatestTime);
    const double elapsed =
        state == State::New ? 0 : double(std::max<qint64>(0, calendarDaysBetween(last, now)));
    const double r = state == State::New ? 1 : retrievability(elapsed, before.stability);
    Memory after = before;
    after.lastReview = now;
    after.reps = before.reps + 1;
    const double fuzz = fuzzFactor(now, after.reps, before.difficulty, before.stability);
    nextState(after, elapsed, g, r);
    if (state != State::Review) {
        // New and (re)learning words go through their steps.
        scheduleStep(after, state, before.learningSteps, g,
                     state == State::New ? State::Learning : state, now, elapsed, fuzz);
        after.due = std::min(after.due, LatestTime);
        return after;
    }
    if (g == 1) {
        scheduleStep(after, State::Review, before.learningSteps, g, State::Relearning, now, elapsed,
                     fuzz);
        ++after.lapses;
        after.due = std::min(after.due, LatestTime);
        return after;
    }
    // A word remembered: the intervals of the three passing grades are kept in order, each at
    // least a day past the one below it.
    std::array<qint32, 5> days{};
    for (int pass = 2; pass <= 4; ++pass) {
        Memory other = before;
        nextState(other, elapsed, pass, r);
        days[size_t(pass)] = fuzzedInterval(other.stability, elapsed, fuzz);
    }
    days[2] = std::min(days[2], days[3]);
    days[3] = std::max(days[3], days[2] + 1);
    days[4] = std::max(days[4], days[3] + 1);
    after.learningSteps = 0;
    after.state = int(State::Review);
    after.scheduledDays = days[size_t(g)];
    after.due = std::min(now + qint64(after.scheduledDays) * DayMs, LatestTime);
    return after;
}

} // namespace fsrs
