// Flash-card packages for the tests, one of each collection version, made with the
// anki-apkg-export package (MIT) and the zstd and sqlite3 programs:
//   npm install anki-apkg-export@4.0.3 && node tools/apkg-packages.mjs tests/data/packages
// Run once; the build and the tests only read the packages it writes.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import JSZip from 'jszip';
import AnkiExportModule from 'anki-apkg-export';

const AnkiExport = AnkiExportModule.default;
const out = process.argv[2] ?? '.';
const scratch = mkdtempSync(join(tmpdir(), 'apkg-'));

// The words: HTML and a sound reference in a field, as real decks have them.
const cards = [
    ['apple', '苹果<br>[sound:apple.mp3]'],
    ['<b>pear</b>', '梨'],
    ['salt &amp; pepper', '椒盐'],
    ['say "hi"', '问好'], // a quote: the drill shows it, the lesson format writes it as ＂
];

async function legacyPackage() {
    const deck = new AnkiExport('Fruit');
    for (const [front, back] of cards)
        deck.addCard(front, back);
    return Buffer.from(await deck.save(), 'binary');
}

async function collectionOf(apkg) {
    return Buffer.from(await (await JSZip.loadAsync(apkg)).file('collection.anki2').async('uint8array'));
}

// What newer programs put where older ones look: one note asking for an update.
function placeholder(collection) {
    const path = join(scratch, 'placeholder.anki2');
    writeFileSync(path, collection);
    const text = 'Please update to the latest Anki version, then import the .colpkg/.apkg file again.';
    execFileSync('sqlite3', [path, `CREATE TEMP TABLE type AS SELECT mid FROM notes LIMIT 1;
        DELETE FROM notes; DELETE FROM cards;
        INSERT INTO notes SELECT 1, 'x', mid, 0, 0, '', '${text}' || char(31), '${text}', 0, 0, ''
            FROM type;`]);
    return readFileSync(path);
}

// The newest layout: note types and their fields in tables of their own.
function schema18(collection) {
    const path = join(scratch, 'new.anki21');
    writeFileSync(path, collection);
    execFileSync('sqlite3', [path, `
        CREATE TABLE notetypes (id integer PRIMARY KEY, name text, mtime_secs integer,
                                usn integer, config blob);
        CREATE TABLE fields (ntid integer, ord integer, name text, config blob,
                             PRIMARY KEY (ntid, ord));
        INSERT INTO notetypes SELECT DISTINCT mid, 'Basic', 0, 0, x'' FROM notes;
        INSERT INTO fields SELECT DISTINCT mid, 0, 'Front', x'' FROM notes;
        INSERT INTO fields SELECT DISTINCT mid, 1, 'Back', x'' FROM notes;
        UPDATE col SET models = '{}', ver = 18;`]);
    return readFileSync(path);
}

function zstd(bytes) {
    const path = join(scratch, 'c');
    writeFileSync(path, bytes);
    execFileSync('zstd', ['-q', '-f', '-19', path, '-o', path + '.zst']);
    return readFileSync(path + '.zst');
}

async function zipOf(entries) {
    const zip = new JSZip();
    for (const [name, bytes] of Object.entries(entries))
        zip.file(name, bytes);
    zip.file('media', '{}');
    return zip.generateAsync({ type: 'nodebuffer', compression: 'DEFLATE' });
}

const legacy = await legacyPackage();
const collection = await collectionOf(legacy);
writeFileSync(join(out, 'fruit-anki2.apkg'), legacy);
writeFileSync(join(out, 'fruit-anki21.apkg'),
              await zipOf({ 'collection.anki2': placeholder(collection),
                            'collection.anki21': collection }));
writeFileSync(join(out, 'fruit-anki21b.colpkg'),
              await zipOf({ 'collection.anki2': placeholder(collection),
                            'collection.anki21b': zstd(schema18(collection)) }));
writeFileSync(join(out, 'placeholder-only.apkg'),
              await zipOf({ 'collection.anki2': placeholder(collection) }));
