#!/usr/bin/env node
// Writes the constant tables of the syllable lookup and a record of how every
// code got its readings:
//   speak/pinyin_tables.h             the layout of the tables
//   speak/pinyin_tables.cpp           GB2312 levels 1 and 2: readings and tones
//   speak/pinyin_extension_tables.cpp every other character of code page 936
//   tools/pinyin/decisions.txt        the rule behind every GB2312 code
//   tools/pinyin/decisions-extension.txt  the same for the extension
//
//   node tools/pinyin/generate.mjs          rewrite every file
//   node tools/pinyin/generate.mjs --check  rebuild them in memory and fail if
//                                          the files in the tree differ
//   ... --check --lists FILE               the same from another lists file
//
// Run `npm ci --prefix tools/pinyin` first: the readings come from the npm
// package pinyin4js (its character dictionary lib/dict/pinyin.dict.js, the
// usual reading first), at the exact version pinned below. pinyin-pro is only
// a cross-check: the readings and tones it gives otherwise are counted and
// listed in the decisions files, never used.
//
// lists.txt beside this script holds the fixed lists: the part codes, the
// syllables a reading may produce, the codes left empty, the readings that
// bind whatever the source says, the characters with two or three readings
// and the totals the tables must come out with. Every rule is checked; any
// breach stops the script with a message that names the code and the rule,
// and nothing is written.
//
// The tone of reading 1 is the tone of the source's first reading whose
// toneless form is that syllable: 1 to 4 by its mark, 5 (neutral) without
// one. When the source has no such reading (a row or binding the source does
// not know), the code has no tone and plays its toneless clip.
//
// Source quirks: for a few dozen characters outside GB2312 the dictionary's
// entry is the word "null"; it is not a syllable, so those characters get
// none, and the extension's decisions file shows them as "source: null".
// Some common particles carry a full tone where the neutral tone is usual
// (们 mén, 吧 bā, 啊 ā), and some rare characters have a reading without a
// mark, which by the rule reads as neutral; the decisions files list every
// tone that pinyin-pro gives otherwise.

import { readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { EXTENSION, MAIN, codeCounter, extensionCodes, hex4, isUnassignedMain, mainCodes } from './codepage.mjs';
import { partsOf, toneless, toneOf } from './forms.mjs';
import { readLists } from './lists.mjs';
import { decisionsText, extensionDecisionsText } from './write-decisions.mjs';
import { extensionTablesText, headerText, mainTablesText } from './write-tables.mjs';

const SOURCE = { name: 'pinyin4js', version: '1.3.18', dict: 'lib/dict/pinyin.dict.js' };
const CROSS = { name: 'pinyin-pro', version: '3.29.5' };
const COMMAND = 'node tools/pinyin/generate.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '..', '..');
const DEFAULT_LISTS = path.join(here, 'lists.txt');
const FILES = {
  header: path.join(root, 'speak', 'pinyin_tables.h'),
  main: path.join(root, 'speak', 'pinyin_tables.cpp'),
  extension: path.join(root, 'speak', 'pinyin_extension_tables.cpp'),
  decisions: path.join(here, 'decisions.txt'),
  extensionDecisions: path.join(here, 'decisions-extension.txt'),
};

// The layout of a reading: up to three slots; part codes below FIRST_FINAL
// are initials, the rest finals; a cell with ROW_BIT set holds a row number.
const SLOT_COUNT = 3;
const PART_COUNT = 56;
const FIRST_FINAL = 24;
const ROW_BIT = 0x8000;

// Characters whose reading the source cannot supply in the form the tables
// need. Each entry gives the one reading and why. Keep this short: a
// character lands here only when the source has no acceptable reading.
const OVERRIDES = new Map([
  // code: [reading, reason]
  [0xc1a9, ['lia', '俩: the source puts liang first, but lia is a listed syllable that no other ' +
    'character gives; pinyin-pro also reads it lia first']],
]);

class Failures {
  constructor() {
    this.list = [];
  }
  add(message) {
    this.list.push(message);
  }
  stopIfAny() {
    if (this.list.length === 0) return;
    for (const m of this.list) console.error(`generate.mjs: ${m}`);
    console.error(`generate.mjs: ${this.list.length} rule(s) broken; nothing written`);
    process.exit(1);
  }
}

// ------------------------------------------------------------------ sources

function loadSources() {
  const require = createRequire(import.meta.url);
  let sourcePkg;
  let crossPkg;
  try {
    sourcePkg = require(`${SOURCE.name}/package.json`);
    crossPkg = JSON.parse(
      readFileSync(path.join(path.dirname(require.resolve(CROSS.name)), '..', 'package.json'), 'utf8'),
    );
  } catch {
    console.error('generate.mjs: the pinyin packages are not installed; run `npm ci --prefix tools/pinyin`');
    process.exit(1);
  }
  if (sourcePkg.version !== SOURCE.version || crossPkg.version !== CROSS.version) {
    console.error(
      `generate.mjs: expected ${SOURCE.name} ${SOURCE.version} and ${CROSS.name} ${CROSS.version}, ` +
        `found ${sourcePkg.version} and ${crossPkg.version}; run \`npm ci --prefix tools/pinyin\``,
    );
    process.exit(1);
  }
  const dict = require(`${SOURCE.name}/${SOURCE.dict}`).pinyin_dict;
  const source = (char) => {
    const entry = Object.hasOwn(dict, char) ? dict[char] : '';
    return entry.split(',').map((r) => r.trim()).filter((r) => r !== '');
  };
  return { source };
}

// The tone of reading 1 from the source: its first reading whose toneless
// form is the syllable. null when it has none.
function sourceTone(readings, syllable, fail, where) {
  const reading = readings.find((r) => toneless(r) === syllable);
  if (reading === undefined) return null;
  const tone = toneOf(reading);
  if (tone === null) fail.add(`${where}: source reading ${reading} has more than one tone mark`);
  return { tone, reading };
}

// The first of a character's source readings whose toneless form is in
// `syllables`, and the rule that names the pick: 'source-first', or
// 'source-later-reading' with the readings passed over. syllable and rule are
// null when no reading is in `syllables`.
function pickSourceReading(readings, syllables) {
  const forms = readings.map(toneless);
  const pick = forms.findIndex((f) => syllables.has(f));
  if (pick < 0) return { syllable: null, rule: null };
  const skipped = [...new Set(forms.slice(0, pick))].join(', ');
  const rule = pick === 0 ? 'source-first'
    : `source-later-reading (source: ${readings.join(',')}; ${skipped} not a listed syllable)`;
  return { syllable: forms[pick], rule };
}

// pinyin-pro's tone for a syllable of a character: the tone of its first
// reading with that syllable, 5 for neutral; null when it has none.
function crossTone(crossPinyin, char, syllable) {
  for (const r of crossPinyin(char, { toneType: 'num', type: 'array', multiple: true })) {
    const m = /^(.*?)([0-4])?$/.exec(r);
    if (toneless(m[1]) === syllable) return m[2] === undefined || m[2] === '0' ? 5 : Number(m[2]);
  }
  return null;
}

// Where pinyin-pro gives a code's syllable another tone than ours (`tone`,
// from sourceTone): { code, char, syllable, ours, other }. null when it
// agrees or knows no tone for the syllable, and when the code has no tone.
function toneDifference(crossPinyin, code, char, syllable, tone) {
  if (!tone) return null;
  const other = crossTone(crossPinyin, char, syllable);
  return other !== null && other !== tone.tone ? { code, char, syllable, ours: tone.tone, other } : null;
}

// ------------------------------------------------- GB2312 levels 1 and 2

function buildMain(lists, source, crossPinyin, fail) {
  const codes = mainCodes();
  const expect = lists.counts;
  const indexOfCode = (code) => ((code >> 8) - MAIN.leadFirst) * MAIN.trailCount + ((code & 0xff) - MAIN.trailFirst);
  const codeOfChar = new Map();
  for (const { code, char } of codes) {
    if (isUnassignedMain(code)) continue;
    if (codeOfChar.has(char)) fail.add(`${hex4(code)}: character ${char} has two codes`);
    codeOfChar.set(char, code);
  }

  // The syllables, and a reading code for each.
  const firstSyllables = new Set(lists.syllables);
  const laterSyllables = new Set(lists.extraSyllables);
  if (firstSyllables.size !== expect.get('first-syllables') || lists.syllables.length !== expect.get('first-syllables'))
    fail.add(`syllable list: ${lists.syllables.length} entries, ${firstSyllables.size} distinct, expected ${expect.get('first-syllables')}`);
  const readingCode = new Map();
  for (const syl of [...firstSyllables, ...laterSyllables]) {
    if (!/^[a-z]{1,6}$/.test(syl)) fail.add(`syllable ${syl}: not 1 to 6 lowercase letters`);
    const split = partsOf(syl, lists.parts, FIRST_FINAL);
    if (!split) {
      fail.add(`syllable ${syl}: no initial and final in the part code table spell it`);
      continue;
    }
    // [initial, final], or [final, 0] for a final alone.
    const [low, high] = split;
    if (high === 30) fail.add(`syllable ${syl}: "er" after an initial`);
    if (low === 25) fail.add(`syllable ${syl}: "eng" without an initial`);
    readingCode.set(syl, low | (high << 8));
  }
  fail.stopIfAny();

  // Decide the readings of every code.
  const decided = new Map(); // code -> { readings, rule }
  const decide = (code, readings, rule) => {
    if (decided.has(code)) fail.add(`${hex4(code)}: decided twice (${decided.get(code).rule}; ${rule})`);
    decided.set(code, { readings, rule });
  };
  const checkChar = (entry, what) => {
    const code = entry.code ?? codeOfChar.get(entry.char);
    if (code === undefined) fail.add(`${what} ${entry.char} (lists.txt:${entry.lineNo}): not a GB2312 level 1 or 2 character`);
    else if (entry.code !== undefined && entry.char !== '-' && codeOfChar.get(entry.char) !== entry.code)
      fail.add(`${hex4(entry.code)} (lists.txt:${entry.lineNo}): ${what} gives ${entry.char}, which is ${
        codeOfChar.has(entry.char) ? hex4(codeOfChar.get(entry.char)) : 'not in GB2312'}`);
    return code;
  };

  // Empty codes.
  for (const e of lists.empty) {
    const code = checkChar(e, 'empty code');
    if (code !== undefined) decide(code, [], 'empty');
  }
  if (lists.empty.length !== expect.get('empty'))
    fail.add(`empty codes: ${lists.empty.length} listed, expected ${expect.get('empty')}`);

  // Rows, in code order.
  const rowOf = new Map(); // code -> row number
  let previous = -1;
  lists.rows.forEach((r, i) => {
    const code = checkChar(r, 'row');
    if (code === undefined) return;
    if (code <= previous) fail.add(`${hex4(code)} ${r.char}: row ${i} is out of code order`);
    previous = code;
    if (r.readings.length < 2 || r.readings.length > SLOT_COUNT)
      fail.add(`${hex4(code)} ${r.char}: row ${i} has ${r.readings.length} readings, expected 2 or 3`);
    if (!firstSyllables.has(r.readings[0]))
      fail.add(`${hex4(code)} ${r.char}: row ${i} reading 1 ${r.readings[0]} is not a listed syllable`);
    r.readings.slice(1).forEach((syl, k) => {
      if (!firstSyllables.has(syl) && !laterSyllables.has(syl))
        fail.add(`${hex4(code)} ${r.char}: row ${i} reading ${k + 2} ${syl} is not a listed syllable`);
    });
    if (new Set(r.readings).size !== r.readings.length) fail.add(`${hex4(code)} ${r.char}: row ${i} repeats a reading`);
    rowOf.set(code, i);
    decide(code, r.readings, `row ${i}`);
  });
  if (lists.rows.length !== expect.get('rows')) fail.add(`rows: ${lists.rows.length} listed, expected ${expect.get('rows')}`);

  // The three-reading list restates part of the rows; they must agree.
  for (const t of lists.three) {
    const code = checkChar(t, 'three-reading character');
    if (code === undefined) continue;
    const got = decided.get(code);
    if (!rowOf.has(code) || got.readings.join(' ') !== t.readings.join(' '))
      fail.add(`${hex4(code)} ${t.char}: three-reading list says ${t.readings.join(' ')}, rows say ${got ? got.readings.join(' ') : 'nothing'}`);
  }
  const threeInRows = lists.rows.filter((r) => r.readings.length === 3).length;
  if (threeInRows !== lists.three.length) fail.add(`rows have ${threeInRows} with three readings, the three-reading list ${lists.three.length}`);

  // Readings that bind.
  for (const b of lists.binding) {
    const code = checkChar(b, 'binding');
    if (code === undefined) continue;
    if (b.readings.length === 1) {
      if (rowOf.has(code)) fail.add(`${hex4(code)} ${b.char}: binding gives one reading but it has row ${rowOf.get(code)}`);
      else if (!firstSyllables.has(b.readings[0])) fail.add(`${hex4(code)} ${b.char}: binding reading ${b.readings[0]} is not a listed syllable`);
      else decide(code, b.readings, 'binding');
    } else if (!rowOf.has(code)) {
      fail.add(`${hex4(code)} ${b.char}: binding gives ${b.readings.length} readings but it has no row`);
    } else {
      const got = decided.get(code);
      if (got.readings.join(' ') !== b.readings.join(' '))
        fail.add(`${hex4(code)} ${b.char}: binding says ${b.readings.join(' ')}, row ${rowOf.get(code)} says ${got.readings.join(' ')}`);
      got.rule += ', binding';
    }
  }
  fail.stopIfAny();

  // Everything else: the first source reading that is a listed syllable.
  for (const { code, char } of codes) {
    if (decided.has(code)) continue;
    const readings = source(char);
    const { syllable, rule } = pickSourceReading(readings, firstSyllables);
    if (OVERRIDES.has(code)) {
      const [reading, reason] = OVERRIDES.get(code);
      if (!firstSyllables.has(reading)) fail.add(`${hex4(code)} ${char}: override ${reading} is not a listed syllable`);
      if (syllable === reading)
        fail.add(`${hex4(code)} ${char}: override ${reading} is not needed, the source gives it already`);
      decide(code, [reading], `override (source: ${readings.join(',') || 'none'}; ${reason})`);
    } else if (syllable !== null) {
      decide(code, [syllable], rule);
    } else {
      fail.add(`${hex4(code)} ${char}: the source has no reading that is a listed syllable (source: ${readings.join(',') || 'none'}); add an override`);
    }
  }
  for (const code of OVERRIDES.keys())
    if (!decided.has(code) || !decided.get(code).rule.startsWith('override'))
      fail.add(`${hex4(code)}: override for a code that another rule decides`);
  fail.stopIfAny();

  // The tone of reading 1.
  for (const { code, char } of codes) {
    const d = decided.get(code);
    d.sourceReadings = source(char);
    d.tone = d.readings.length ? sourceTone(d.sourceReadings, d.readings[0], fail, `${hex4(code)} ${char}`) : null;
  }

  // Build the tables.
  const cells = new Array(MAIN.cellCount).fill(0);
  const tones = new Array(MAIN.cellCount).fill(0);
  const rows = [];
  const usedCodes = new Set();
  const firstProduced = new Set();
  const laterProduced = new Set();
  let readingCount = 0;
  for (const { code, char } of codes) {
    const { readings, tone } = decided.get(code);
    const index = indexOfCode(code);
    readingCount += readings.length;
    readings.forEach((syl, k) => {
      usedCodes.add(readingCode.get(syl));
      (k === 0 ? firstProduced : laterProduced).add(syl);
    });
    if (tone) tones[index] = tone.tone;
    if (readings.length === 1) {
      cells[index] = readingCode.get(readings[0]);
    } else if (readings.length > 1) {
      if (rows.length !== rowOf.get(code)) fail.add(`${hex4(code)} ${char}: is multi-reading cell ${rows.length + 1} but has row ${rowOf.get(code)}`);
      cells[index] = ROW_BIT | rows.length;
      rows.push({ code, char, slots: [...readings.map((s) => readingCode.get(s)), 0, 0].slice(0, SLOT_COUNT), readings });
    }
  }

  // Totals and coverage.
  const count = codeCounter(codes, decided);
  const got = {
    'with-reading': count((d) => d.readings.length > 0),
    single: count((d) => d.readings.length === 1),
    'two-readings': count((d) => d.readings.length === 2),
    'three-readings': count((d) => d.readings.length === 3),
    rows: rows.length,
    empty: count((d) => d.readings.length === 0),
    readings: readingCount,
    'reading-codes': usedCodes.size,
    'first-syllables': firstProduced.size,
    'with-tone': count((d) => d.tone !== null),
    'without-tone': count((d) => d.readings.length > 0 && d.tone === null),
  };
  for (const { code, char } of codes)
    if (code <= MAIN.level1Last && decided.get(code).readings.length === 0)
      fail.add(`${hex4(code)} ${char}: level-1 character without a reading`);
  for (const syl of firstSyllables)
    if (!firstProduced.has(syl)) fail.add(`syllable ${syl}: no character gives it as reading 1`);
  for (const syl of laterProduced)
    if (!firstProduced.has(syl) && !laterSyllables.has(syl)) fail.add(`syllable ${syl}: readings 2 and 3 add it but it is not listed`);
  for (const syl of laterSyllables)
    if (firstProduced.has(syl)) fail.add(`syllable ${syl}: reading 1 gives it, but it is listed for readings 2 and 3 only`);
    else if (!laterProduced.has(syl)) fail.add(`syllable ${syl}: listed for readings 2 and 3 but none gives it`);
  fail.stopIfAny();

  // Cross-check the single readings and the tones of reading 1 against pinyin-pro.
  const differences = [];
  const toneDifferences = [];
  for (const { code, char } of codes) {
    const d = decided.get(code);
    if (d.readings.length === 1) {
      const other = toneless(crossPinyin(char, { toneType: 'none', type: 'array' })[0] ?? '');
      if (other !== d.readings[0]) differences.push({ code, char, ours: d.readings[0], other, rule: d.rule });
    }
    const toneDiff = toneDifference(crossPinyin, code, char, d.readings[0], d.tone);
    if (toneDiff) toneDifferences.push(toneDiff);
  }

  return { codes, codeOfChar, decided, cells, tones, rows, got, differences, toneDifferences, readingCode };
}

// ------------------------------------------------------------- extension

// Reading 1 of every other character of code page 936: the first of the
// source's readings whose toneless form is one of the syllables of reading 1,
// with that reading's tone; nothing when the source has none.
function buildExtension(lists, source, crossPinyin, mainChars, fail) {
  const codes = extensionCodes();
  const syllables = new Set(lists.syllables);
  const numberOf = new Map(lists.syllables.map((syl, i) => [syl, i + 1]));
  const decided = new Map();
  for (const { code, char } of codes) {
    if (mainChars.has(char)) fail.add(`${hex4(code)}: character ${char} is also GB2312 ${hex4(mainChars.get(char))}`);
    const readings = source(char);
    const { syllable, rule } = pickSourceReading(readings, syllables);
    if (readings.length === 0) {
      decided.set(code, { syllable: null, rule: 'no-source-reading' });
    } else if (syllable === null) {
      decided.set(code, { syllable: null, rule: `no-syllable (source: ${readings.join(',')})` });
    } else {
      const tone = sourceTone(readings, syllable, fail, `${hex4(code)} ${char}`);
      decided.set(code, { syllable, tone, rule });
    }
  }
  fail.stopIfAny();

  const cells = codes.map(({ code }) => {
    const d = decided.get(code);
    return d.syllable === null ? 0 : ((d.tone?.tone ?? 0) << 12) | numberOf.get(d.syllable);
  });
  const toneDifferences = codes
    .map(({ code, char }) => toneDifference(crossPinyin, code, char, decided.get(code).syllable, decided.get(code).tone))
    .filter(Boolean);
  const count = codeCounter(codes, decided);
  const got = {
    'extension-codes': codes.length,
    'extension-with-syllable': count((d) => d.syllable !== null),
    'extension-without-syllable': count((d) => d.syllable === null),
  };
  if (codes.length !== EXTENSION.cellCount) fail.add(`extension: ${codes.length} codes, the layout has ${EXTENSION.cellCount}`);
  for (const { code } of codes)
    if (decided.get(code).syllable !== null && !decided.get(code).tone)
      fail.add(`${hex4(code)}: extension code without a tone, which the source cannot give`);
  return { codes, decided, cells, got, toneDifferences };
}

async function build() {
  const lists = readLists(LISTS_FILE, PART_COUNT);
  const { source } = loadSources();
  const { pinyin: crossPinyin } = await import(CROSS.name);
  const fail = new Failures();
  const main = buildMain(lists, source, crossPinyin, fail);
  const extension = buildExtension(lists, source, crossPinyin, main.codeOfChar, fail);
  const got = { ...main.got, ...extension.got };
  for (const [name, want] of lists.counts)
    if (got[name] !== want) fail.add(`count ${name}: ${got[name]}, expected ${want}`);
  fail.stopIfAny();
  return { lists, main, extension, got };
}

// --------------------------------------------------------------------- main

function firstDifference(a, b) {
  const x = a.split('\n');
  const y = b.split('\n');
  for (let i = 0; i < Math.max(x.length, y.length); i++)
    if (x[i] !== y[i]) return `line ${i + 1}: file has ${JSON.stringify(x[i] ?? '<end>')}, generator gives ${JSON.stringify(y[i] ?? '<end>')}`;
  return 'no line differs';
}

// --lists FILE reads the fixed lists from another file; the generator's own
// tests use it to feed broken lists. It is allowed with --check only, so the
// files in the tree are never written from another list.
const args = process.argv.slice(2);
let check = false;
let LISTS_FILE = DEFAULT_LISTS;
for (let i = 0; i < args.length; i++) {
  if (args[i] === '--check') check = true;
  else if (args[i] === '--lists' && i + 1 < args.length) LISTS_FILE = path.resolve(args[++i]);
  else {
    console.error('usage: node tools/pinyin/generate.mjs [--check [--lists FILE]]');
    process.exit(2);
  }
}
if (!check && LISTS_FILE !== DEFAULT_LISTS) {
  console.error('generate.mjs: --lists is allowed only with --check');
  process.exit(2);
}

let result;
try {
  result = await build();
} catch (error) {
  console.error(`generate.mjs: ${error.message}`);
  process.exit(1);
}
const layout = { SLOT_COUNT, PART_COUNT, FIRST_FINAL, ROW_BIT };
const origin = {
  command: COMMAND,
  source: `the npm package ${SOURCE.name} ${SOURCE.version}`,
  sourceFile: SOURCE.dict,
  cross: `${CROSS.name} ${CROSS.version}`,
};
const outputs = [
  [FILES.header, headerText(result, layout, origin)],
  [FILES.main, mainTablesText(result, layout, origin)],
  [FILES.extension, extensionTablesText(result, origin)],
  [FILES.decisions, decisionsText(result, origin)],
  [FILES.extensionDecisions, extensionDecisionsText(result, origin)],
];
const g = result.got;
const summary =
  `${g['with-reading']} cells with a reading (${g.single} single, ${g['two-readings']} two, ${g['three-readings']} three), ` +
  `${g.readings} readings, ${g['reading-codes']} reading codes, ${g.empty} empty, ${g['without-tone']} without a tone; ` +
  `${result.main.differences.length} single readings differ from ${CROSS.name}; ` +
  `extension: ${g['extension-with-syllable']} of ${g['extension-codes']} codes with a syllable`;

if (check) {
  let stale = false;
  for (const [file, text] of outputs) {
    let current = null;
    try {
      current = readFileSync(file, 'utf8');
    } catch {
      // reported below as missing
    }
    if (current !== text) {
      stale = true;
      const rel = path.relative(root, file);
      console.error(`generate.mjs --check: ${rel} is ${current === null ? 'missing' : 'out of date'}` +
        (current === null ? '' : ` (${firstDifference(current, text)})`));
    }
  }
  if (stale) {
    console.error(`generate.mjs --check: run \`${COMMAND}\` and commit the result`);
    process.exit(1);
  }
  console.log(`generate.mjs --check: tables up to date; ${summary}`);
} else {
  for (const [file, text] of outputs) writeFileSync(file, text);
  console.log(`generate.mjs: wrote ${outputs.map(([f]) => path.relative(root, f)).join(', ')}; ${summary}`);
}
