#!/usr/bin/env node
// Writes the constant tables of the syllable lookup, speak/pinyin_tables.cpp,
// and a record of how every character got its readings, decisions.txt.
//
//   node tools/pinyin/generate.mjs          rewrite both files
//   node tools/pinyin/generate.mjs --check  rebuild them in memory and fail if
//                                          the files in the tree differ
//   ... --check --lists FILE               the same from another lists file
//
// Run `npm ci --prefix tools/pinyin` first: the readings come from the npm
// package pinyin4js (its character dictionary lib/dict/pinyin.dict.js, the
// usual reading first), at the exact version pinned below. pinyin-pro is only
// a cross-check: the single readings it reads otherwise are counted and listed
// in decisions.txt, never used.
//
// lists.txt beside this script holds the fixed lists: the part codes, the
// syllables a reading may produce, the codes left empty, the readings that
// bind whatever the source says, and the characters with two or three
// readings. Every rule is checked; any breach stops the script with a message
// that names the code and the rule, and nothing is written.

import { readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const SOURCE_PACKAGE = 'pinyin4js';
const SOURCE_VERSION = '1.3.18';
const SOURCE_DICT = 'lib/dict/pinyin.dict.js';
const CROSS_PACKAGE = 'pinyin-pro';
const CROSS_VERSION = '3.29.5';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '..', '..');
let LISTS_FILE = path.join(here, 'lists.txt');
const TABLES_FILE = path.join(root, 'speak', 'pinyin_tables.cpp');
const DECISIONS_FILE = path.join(here, 'decisions.txt');
const COMMAND = 'node tools/pinyin/generate.mjs';

// GB2312 levels 1 and 2, as laid out in speak/pinyin_tables.h.
const LEAD_FIRST = 0xb0;
const LEAD_LAST = 0xf7;
const TRAIL_FIRST = 0xa1;
const TRAIL_LAST = 0xfe;
const TRAIL_COUNT = TRAIL_LAST - TRAIL_FIRST + 1;
const CELL_COUNT = (LEAD_LAST - LEAD_FIRST + 1) * TRAIL_COUNT;
const LEVEL1_LAST = 0xd7f9;
const SLOT_COUNT = 3;
const PART_COUNT = 56;
const ROW_BIT = 0x8000;

// The totals the tables must come out with.
const EXPECT = {
  rows: 479,
  twoReadings: 453,
  threeReadings: 26,
  single: 6246,
  withReading: 6725,
  empty: 43,
  readings: 7230,
  readingCodes: 398,
  firstSyllables: 397,
};

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

const hex4 = (code) => code.toString(16).toUpperCase().padStart(4, '0');
const hexCell = (v) => '0x' + v.toString(16).toUpperCase().padStart(4, '0');

// ---------------------------------------------------------------- lists.txt

function readLists() {
  const sections = new Map();
  let current = null;
  const lines = readFileSync(LISTS_FILE, 'utf8').split('\n');
  lines.forEach((raw, i) => {
    const line = raw.trim();
    if (line === '' || line.startsWith('#')) return;
    const head = /^\[([a-z-]+)\]$/.exec(line);
    if (head) {
      current = head[1];
      if (sections.has(current)) throw new Error(`lists.txt:${i + 1}: section [${current}] twice`);
      sections.set(current, []);
      return;
    }
    if (current === null) throw new Error(`lists.txt:${i + 1}: data before the first section`);
    sections.get(current).push({ fields: line.split(/\s+/), lineNo: i + 1 });
  });
  const need = (name) => {
    if (!sections.has(name)) throw new Error(`lists.txt: section [${name}] is missing`);
    return sections.get(name);
  };

  const parts = new Array(PART_COUNT).fill('');
  for (const { fields, lineNo } of need('parts')) {
    const code = Number(fields[0]);
    if (fields.length !== 2 || !Number.isInteger(code) || code < 1 || code >= PART_COUNT || parts[code] !== '')
      throw new Error(`lists.txt:${lineNo}: bad part code line`);
    parts[code] = fields[1];
  }
  const words = (name) => need(name).flatMap((e) => e.fields);
  const withCode = (name) =>
    need(name).map(({ fields, lineNo }) => {
      if (fields.length < 2 || !/^[0-9A-F]{4}$/.test(fields[1]))
        throw new Error(`lists.txt:${lineNo}: expected a character, its code and readings`);
      return { char: fields[0], code: parseInt(fields[1], 16), readings: fields.slice(2), lineNo };
    });
  return {
    parts,
    syllables: words('syllables'),
    extraSyllables: words('extra-syllables'),
    empty: withCode('empty'),
    binding: withCode('binding'),
    rows: need('rows').map(({ fields, lineNo }) => ({ char: fields[0], readings: fields.slice(1), lineNo })),
    three: withCode('three'),
  };
}

// ------------------------------------------------------------ GB2312 codes

// Every code of levels 1 and 2 with the character it stands for, in code
// order. Node's ICU decoder turns each byte pair into one character.
function gb2312Codes() {
  let decoder;
  try {
    decoder = new TextDecoder('gbk', { fatal: true });
  } catch {
    throw new Error('this Node.js cannot decode GBK (it needs full ICU, as the usual builds have)');
  }
  const codes = [];
  for (let lead = LEAD_FIRST; lead <= LEAD_LAST; lead++) {
    for (let trail = TRAIL_FIRST; trail <= TRAIL_LAST; trail++) {
      const char = decoder.decode(new Uint8Array([lead, trail]));
      if ([...char].length !== 1) throw new Error(`${hex4((lead << 8) | trail)} does not decode to one character`);
      codes.push({ code: (lead << 8) | trail, char });
    }
  }
  return codes;
}

// --------------------------------------------------------------- syllables

// Brings a source reading to the tables' form: lowercase ASCII letters, no
// tone, ü written u (the source may also write it v or u:). Anything else
// that is not plain pinyin (ê, m, n, ng) comes out as it is and so matches no
// listed syllable.
function toneless(reading) {
  return reading
    .trim()
    .toLowerCase()
    .replace(/u:/g, 'ü')
    .replace(/v/g, 'ü')
    .normalize('NFD')
    .replace(/[\u0300\u0301\u0304\u030c]/g, '') // grave, acute, macron, caron
    .normalize('NFC')
    .replace(/ü/g, 'u');
}

// Splits a syllable into part codes: an initial (longest match, y and w
// included) and a final, or a final alone. Returns null if it cannot.
function partsOf(syllable, parts) {
  const initials = [];
  const finals = new Map();
  parts.forEach((letters, code) => {
    if (code === 0) return;
    if (code <= 23) initials.push([letters, code]);
    else finals.set(letters, code);
  });
  initials.sort((a, b) => b[0].length - a[0].length);
  for (const [letters, code] of initials) {
    if (syllable.startsWith(letters) && finals.has(syllable.slice(letters.length)))
      return [code, finals.get(syllable.slice(letters.length))];
  }
  if (finals.has(syllable)) return [finals.get(syllable), 0];
  return null;
}

// ------------------------------------------------------------------ sources

function loadSources() {
  const require = createRequire(import.meta.url);
  let sourcePkg;
  let crossPkg;
  try {
    sourcePkg = require(`${SOURCE_PACKAGE}/package.json`);
    crossPkg = JSON.parse(
      readFileSync(path.join(path.dirname(require.resolve(CROSS_PACKAGE)), '..', 'package.json'), 'utf8'),
    );
  } catch {
    console.error('generate.mjs: the pinyin packages are not installed; run `npm ci --prefix tools/pinyin`');
    process.exit(1);
  }
  if (sourcePkg.version !== SOURCE_VERSION || crossPkg.version !== CROSS_VERSION) {
    console.error(
      `generate.mjs: expected ${SOURCE_PACKAGE} ${SOURCE_VERSION} and ${CROSS_PACKAGE} ${CROSS_VERSION}, ` +
        `found ${sourcePkg.version} and ${crossPkg.version}; run \`npm ci --prefix tools/pinyin\``,
    );
    process.exit(1);
  }
  const dict = require(`${SOURCE_PACKAGE}/${SOURCE_DICT}`).pinyin_dict;
  const source = (char) => {
    const entry = Object.hasOwn(dict, char) ? dict[char] : '';
    return entry.split(',').map((r) => r.trim()).filter((r) => r !== '');
  };
  return { source };
}

// -------------------------------------------------------------------- build

async function build() {
  const lists = readLists();
  const { source } = loadSources();
  const { pinyin: crossPinyin } = await import(CROSS_PACKAGE);
  const fail = new Failures();

  const codes = gb2312Codes();
  const indexOfCode = (code) => ((code >> 8) - LEAD_FIRST) * TRAIL_COUNT + ((code & 0xff) - TRAIL_FIRST);
  const codeOfChar = new Map();
  for (const { code, char } of codes) {
    if (code >= 0xd7fa && code <= 0xd7fe) continue; // unassigned in GB2312
    if (codeOfChar.has(char)) fail.add(`${hex4(code)}: character ${char} has two codes`);
    codeOfChar.set(char, code);
  }

  // The syllables, and a reading code for each.
  const firstSyllables = new Set(lists.syllables);
  const laterSyllables = new Set(lists.extraSyllables);
  if (firstSyllables.size !== EXPECT.firstSyllables || lists.syllables.length !== EXPECT.firstSyllables)
    fail.add(`syllable list: ${lists.syllables.length} entries, ${firstSyllables.size} distinct, expected ${EXPECT.firstSyllables}`);
  const readingCode = new Map();
  for (const syl of [...firstSyllables, ...laterSyllables]) {
    if (!/^[a-z]{1,6}$/.test(syl)) fail.add(`syllable ${syl}: not 1 to 6 lowercase letters`);
    const split = partsOf(syl, lists.parts);
    if (!split) {
      fail.add(`syllable ${syl}: no initial and final in the part code table spell it`);
      continue;
    }
    const [low, high] = split;
    if (lists.parts[low] + lists.parts[high] !== syl) fail.add(`syllable ${syl}: parts ${low}, ${high} do not spell it`);
    if (low === 30 && high !== 0) fail.add(`syllable ${syl}: "er" after an initial`);
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
  if (lists.empty.length !== EXPECT.empty) fail.add(`empty codes: ${lists.empty.length} listed, expected ${EXPECT.empty}`);

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
  if (lists.rows.length !== EXPECT.rows) fail.add(`rows: ${lists.rows.length} listed, expected ${EXPECT.rows}`);

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
  const bindingCodes = new Set();
  for (const b of lists.binding) {
    const code = checkChar(b, 'binding');
    if (code === undefined) continue;
    bindingCodes.add(code);
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
    const forms = readings.map(toneless);
    const pick = forms.findIndex((f) => firstSyllables.has(f));
    if (OVERRIDES.has(code)) {
      const [reading, reason] = OVERRIDES.get(code);
      if (!firstSyllables.has(reading)) fail.add(`${hex4(code)} ${char}: override ${reading} is not a listed syllable`);
      if (pick >= 0 && forms[pick] === reading)
        fail.add(`${hex4(code)} ${char}: override ${reading} is not needed, the source gives it already`);
      decide(code, [reading], `override (source: ${readings.join(',') || 'none'}; ${reason})`);
    } else if (pick === 0) {
      decide(code, [forms[0]], 'source-first');
    } else if (pick > 0) {
      const skipped = [...new Set(forms.slice(0, pick))].join(', ');
      decide(code, [forms[pick]], `source-later-reading (source: ${readings.join(',')}; ${skipped} not a listed syllable)`);
    } else {
      fail.add(`${hex4(code)} ${char}: the source has no reading that is a listed syllable (source: ${readings.join(',') || 'none'}); add an override`);
    }
  }
  for (const code of OVERRIDES.keys())
    if (!decided.has(code) || !decided.get(code).rule.startsWith('override'))
      fail.add(`${hex4(code)}: override for a code that another rule decides`);
  fail.stopIfAny();

  // Build the tables.
  const cells = new Array(CELL_COUNT).fill(0);
  const rows = [];
  const usedCodes = new Set();
  const firstProduced = new Set();
  const laterProduced = new Set();
  let readingCount = 0;
  for (const { code, char } of codes) {
    const { readings } = decided.get(code);
    const index = indexOfCode(code);
    readingCount += readings.length;
    readings.forEach((syl, k) => {
      usedCodes.add(readingCode.get(syl));
      (k === 0 ? firstProduced : laterProduced).add(syl);
    });
    if (readings.length === 1) {
      cells[index] = readingCode.get(readings[0]);
    } else if (readings.length > 1) {
      if (rows.length !== rowOf.get(code)) fail.add(`${hex4(code)} ${char}: is multi-reading cell ${rows.length + 1} but has row ${rowOf.get(code)}`);
      cells[index] = ROW_BIT | rows.length;
      rows.push({ code, char, slots: [...readings.map((s) => readingCode.get(s)), 0, 0].slice(0, SLOT_COUNT), readings });
    }
  }

  // Totals and coverage.
  const count = (pred) => codes.filter(({ code }) => pred(decided.get(code))).length;
  const got = {
    rows: rows.length,
    twoReadings: count((d) => d.readings.length === 2),
    threeReadings: count((d) => d.readings.length === 3),
    single: count((d) => d.readings.length === 1),
    withReading: count((d) => d.readings.length > 0),
    empty: count((d) => d.readings.length === 0),
    readings: readingCount,
    readingCodes: usedCodes.size,
    firstSyllables: firstProduced.size,
  };
  for (const [key, want] of Object.entries(EXPECT))
    if (got[key] !== want) fail.add(`count ${key}: ${got[key]}, expected ${want}`);
  for (const { code, char } of codes)
    if (code <= LEVEL1_LAST && decided.get(code).readings.length === 0)
      fail.add(`${hex4(code)} ${char}: level-1 character without a reading`);
  for (const syl of firstSyllables)
    if (!firstProduced.has(syl)) fail.add(`syllable ${syl}: no character gives it as reading 1`);
  for (const syl of laterProduced)
    if (!firstProduced.has(syl) && !laterSyllables.has(syl)) fail.add(`syllable ${syl}: readings 2 and 3 add it but it is not listed`);
  for (const syl of laterSyllables)
    if (firstProduced.has(syl)) fail.add(`syllable ${syl}: reading 1 gives it, but it is listed for readings 2 and 3 only`);
    else if (!laterProduced.has(syl)) fail.add(`syllable ${syl}: listed for readings 2 and 3 but none gives it`);
  fail.stopIfAny();

  // Cross-check the single readings against pinyin-pro.
  const differences = [];
  for (const { code, char } of codes) {
    const d = decided.get(code);
    if (d.readings.length !== 1) continue;
    const other = toneless(crossPinyin(char, { toneType: 'none', type: 'array' })[0] ?? '');
    if (other !== d.readings[0]) differences.push({ code, char, ours: d.readings[0], other, rule: d.rule });
  }

  return { lists, codes, decided, cells, rows, got, differences };
}

// ------------------------------------------------------------------ writers

function header() {
  return [
    `Generated by \`${COMMAND}\` from the npm package ${SOURCE_PACKAGE} ${SOURCE_VERSION}`,
    `(${SOURCE_DICT}) and tools/pinyin/lists.txt. Do not edit by hand: change`,
    `the generator or lists.txt and run the command again.`,
  ];
}

function tablesText({ lists, codes, cells, rows }) {
  const out = [];
  out.push(...header().map((l) => `// ${l}`));
  out.push('//');
  out.push('// Cells: 0 no reading; bit 15 clear: the reading code itself; bit 15 set:');
  out.push('// a row number. A reading code is the part code of its first letters in the');
  out.push('// low byte and of the rest in the high byte.');
  out.push('');
  out.push('#include "pinyin_tables.h"');
  out.push('');
  out.push('const uint16_t PinyinCells[kPinyinCellCount] = {');
  for (let i = 0; i < CELL_COUNT; i += TRAIL_COUNT) {
    for (let j = i; j < i + TRAIL_COUNT; j += 16) {
      const run = cells.slice(j, Math.min(j + 16, i + TRAIL_COUNT)).map(hexCell).join(', ');
      out.push(`    /* ${hex4(codes[j].code)} */ ${run},`);
    }
  }
  out.push('};');
  out.push('');
  out.push('const uint16_t PinyinRows[kPinyinRowCount][kPinyinSlotCount] = {');
  rows.forEach((r, i) => {
    const slots = r.slots.map(hexCell).join(', ');
    out.push(`    {${slots}},  // ${String(i).padStart(3)} ${hex4(r.code)} ${r.char} ${r.readings.join(' ')}`);
  });
  out.push('};');
  out.push('');
  out.push('const char PinyinParts[kPinyinPartCount][5] = {');
  for (let i = 0; i < PART_COUNT; i += 8) {
    const run = lists.parts.slice(i, i + 8).map((l) => `"${l}",`.padEnd(8)).join('').trimEnd();
    out.push(`    /* ${String(i).padStart(2)} */ ${run}`);
  }
  out.push('};');
  return out.join('\n') + '\n';
}

function decisionsText({ codes, decided, got, differences }) {
  const out = [];
  out.push(...header().map((l) => `# ${l}`));
  out.push('#');
  out.push('# How each GB2312 level 1 and 2 code got its readings. Rules:');
  out.push('#   row N               two or three readings, row N of the fixed list');
  out.push('#   binding             one reading fixed by the binding list');
  out.push('#   empty               no reading (unassigned code or a character left empty)');
  out.push('#   source-first        the source\'s first reading');
  out.push('#   source-later-reading  the first of the source\'s readings that is a listed');
  out.push('#                       syllable, the earlier ones not being listed');
  out.push('#   override            fixed in the generator, with its reason');
  out.push('');
  const ruleCount = (prefix) => codes.filter(({ code }) => decided.get(code).rule.startsWith(prefix)).length;
  out.push('# Totals');
  out.push(`cells with a reading   ${got.withReading}`);
  out.push(`one reading            ${got.single}`);
  out.push(`two readings           ${got.twoReadings}`);
  out.push(`three readings         ${got.threeReadings}`);
  out.push(`empty cells            ${got.empty}`);
  out.push(`readings in all        ${got.readings}`);
  out.push(`reading codes used     ${got.readingCodes}`);
  out.push(`syllables of reading 1 ${got.firstSyllables}`);
  out.push(`by rule: row ${ruleCount('row')}, binding ${ruleCount('binding')}, empty ${ruleCount('empty')}, ` +
    `source-first ${ruleCount('source-first')}, source-later-reading ${ruleCount('source-later-reading')}, ` +
    `override ${ruleCount('override')}`);
  out.push(`single readings whose first reading differs in ${CROSS_PACKAGE} ${CROSS_VERSION}: ${differences.length}`);
  out.push('');
  out.push('# code char readings  rule');
  for (const { code, char } of codes) {
    const d = decided.get(code);
    const shown = code >= 0xd7fa && code <= 0xd7fe ? '-' : char;
    out.push(`${hex4(code)} ${shown} ${d.readings.length ? d.readings.join(' ') : '-'}  ${d.rule}`);
  }
  out.push('');
  out.push(`# Single readings whose first reading differs in ${CROSS_PACKAGE} ${CROSS_VERSION}`);
  out.push(`# code char ours ${CROSS_PACKAGE}  rule`);
  for (const d of differences) out.push(`${hex4(d.code)} ${d.char} ${d.ours} ${d.other || '-'}  ${d.rule.split(' ')[0]}`);
  return out.join('\n') + '\n';
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
for (let i = 0; i < args.length; i++) {
  if (args[i] === '--check') check = true;
  else if (args[i] === '--lists' && i + 1 < args.length) LISTS_FILE = path.resolve(args[++i]);
  else {
    console.error('usage: node tools/pinyin/generate.mjs [--check [--lists FILE]]');
    process.exit(2);
  }
}
if (!check && LISTS_FILE !== path.join(here, 'lists.txt')) {
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
const outputs = [
  [TABLES_FILE, tablesText(result)],
  [DECISIONS_FILE, decisionsText(result)],
];
const g = result.got;
const summary =
  `${g.withReading} cells with a reading (${g.single} single, ${g.twoReadings} two, ${g.threeReadings} three), ` +
  `${g.readings} readings, ${g.readingCodes} reading codes, ${g.empty} empty; ` +
  `${result.differences.length} single readings differ from ${CROSS_PACKAGE}`;

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
  console.log(`generate.mjs: wrote ${outputs.map(([f]) => path.relative(root, f)).join(' and ')}; ${summary}`);
}
