// Reference vectors for Vokarin's FSRS scheduler, made with the ts-fsrs package (MIT):
//   npm install ts-fsrs@5.4.2 && node tools/fsrs-vectors.mjs > tests/data/fsrs-vectors.json
// Run once; the build and the tests only read the JSON it writes.
import { createEmptyCard, fsrs, generatorParameters, Rating } from 'ts-fsrs';

// Interval fuzz and short-term scheduling as Vokarin has them: a new word steps through 1 and 10 minutes, a
// forgotten one through 10 minutes.
const scheduler = fsrs(generatorParameters({
    request_retention: 0.9, enable_fuzz: true, enable_short_term: true,
    learning_steps: ['1m', '10m'], relearning_steps: ['10m'],
}));

const Day = 24 * 60 * 60 * 1000;
const Minute = 60 * 1000;
const start = Date.UTC(2026, 0, 5, 8, 30); // a Monday morning, UTC

// Each review: whole days plus some minutes after the one before, and the grade given.
function run(steps) {
    let card = createEmptyCard(new Date(start));
    let now = start;
    const reviews = [];
    for (const [days, minutes, grade] of steps) {
        now += days * Day + minutes * Minute;
        card = scheduler.next(card, new Date(now), grade).card;
        reviews.push({
            at: now, grade,
            stability: card.stability, difficulty: card.difficulty,
            due: card.due.getTime(), scheduledDays: card.scheduled_days,
            reps: card.reps, lapses: card.lapses, state: card.state,
            learningSteps: card.learning_steps,
        });
    }
    return reviews;
}

const sequences = [];
const grades = [Rating.Again, Rating.Hard, Rating.Good, Rating.Easy];
// The first review with each grade, then each grade again after the short steps, later the
// same day, and after short and long gaps.
const gaps = [[0, 1], [0, 10], [0, 180], [1, 0], [3, 300], [30, 0], [1000, 120]];
for (const first of grades)
    for (const second of grades)
        for (const [days, minutes] of gaps)
            sequences.push(run([[0, 0, first], [days, minutes, second]]));
// A word learnt, forgotten weeks later and relearnt the same day, with every grade there.
for (const relearnt of grades)
    sequences.push(run([[0, 0, Rating.Good], [0, 10, Rating.Good], [20, 0, Rating.Again],
                        [0, 10, Rating.Hard], [0, 15, relearnt], [0, 10, Rating.Good],
                        [2, 0, Rating.Good]]));
// Longer histories from a fixed pseudo-random sequence: a third of the gaps within the day.
let seed = 20261208;
// The high bits: the low bits of this generator repeat with a short period.
const next = (n) => { seed = (seed * 1103515245 + 12345) % 2147483648; return Math.floor(seed / 65536) % n; };
for (let i = 0; i < 30; ++i) {
    const steps = [];
    for (let k = 0; k < 14; ++k) {
        const sameDay = k > 0 && next(3) === 0;
        steps.push([k === 0 || sameDay ? 0 : next(60), sameDay ? 1 + next(90) : next(1440),
                    grades[next(4)]]);
    }
    sequences.push(run(steps));
}
console.log(JSON.stringify({ generator: 'ts-fsrs 5.4.2', start, sequences }));
