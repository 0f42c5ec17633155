// Reference vectors for Vokarin's FSRS scheduler, made with the ts-fsrs package (MIT):
//   npm install ts-fsrs@5.4.2 && node tools/fsrs-vectors.mjs > tests/data/fsrs-vectors.json
// Run once; the build and the tests only read the JSON it writes.
import { createEmptyCard, fsrs, generatorParameters, Rating } from 'ts-fsrs';

const scheduler = fsrs(generatorParameters({
    request_retention: 0.9, enable_fuzz: false, enable_short_term: false,
    learning_steps: [], relearning_steps: [],
}));

const Day = 24 * 60 * 60 * 1000;
const start = Date.UTC(2026, 0, 5, 8, 30); // a Monday morning, UTC

// Each review: whole days plus some hours after the one before, and the grade given.
function run(steps) {
    let card = createEmptyCard(new Date(start));
    let now = start;
    const reviews = [];
    for (const [days, hours, grade] of steps) {
        now += days * Day + hours * 3600 * 1000;
        card = scheduler.next(card, new Date(now), grade).card;
        reviews.push({
            at: now, grade,
            stability: card.stability, difficulty: card.difficulty,
            due: card.due.getTime(), scheduledDays: card.scheduled_days,
            reps: card.reps, lapses: card.lapses, state: card.state,
        });
    }
    return reviews;
}

const sequences = [];
const grades = [Rating.Again, Rating.Hard, Rating.Good, Rating.Easy];
// The first review with each grade, then each grade again after short and long gaps.
for (const first of grades)
    for (const second of grades)
        for (const [days, hours] of [[0, 3], [1, 0], [3, 5], [30, 0], [1000, 2]])
            sequences.push(run([[0, 0, first], [days, hours, second]]));
// Longer histories from a fixed pseudo-random sequence.
let seed = 20261207;
// The high bits: the low bits of this generator repeat with a short period.
const next = (n) => { seed = (seed * 1103515245 + 12345) % 2147483648; return Math.floor(seed / 65536) % n; };
for (let i = 0; i < 24; ++i) {
    const steps = [];
    for (let k = 0; k < 12; ++k)
        steps.push([k === 0 ? 0 : next(60), next(24), grades[next(4)]]);
    sequences.push(run(steps));
}
console.log(JSON.stringify({ generator: 'ts-fsrs 5.4.2', start, sequences }));
