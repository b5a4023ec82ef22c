// The generator must refuse fixed lists that break a rule, naming the code and
// the rule, and accept the committed lists. Each case feeds it a copy of
// lists.txt with one fault through --check --lists.
//
//   node --test tools/pinyin/

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const generator = path.join(here, 'generate.mjs');
const lists = readFileSync(path.join(here, 'lists.txt'), 'utf8');

// The totals of the [counts] section: the cases below state their messages
// in terms of these rather than restating the numbers.
const counts = Object.fromEntries(
  lists
    .slice(lists.indexOf('[counts]'))
    .split('\n')
    .map((line) => /^([a-z-]+) ([0-9]+)$/.exec(line.trim()))
    .filter(Boolean)
    .map((m) => [m[1], Number(m[2])]),
);

function runWith(text) {
  const dir = mkdtempSync(path.join(tmpdir(), 'pinyin-lists-'));
  try {
    const file = path.join(dir, 'lists.txt');
    writeFileSync(file, text);
    return spawnSync(process.execPath, [generator, '--check', '--lists', file], { encoding: 'utf8' });
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

// Replaces one whole line; fails the test if the line is not there, so that a
// case never passes by changing nothing.
function replaceLine(text, line, replacement) {
  const lines = text.split('\n');
  const at = lines.indexOf(line);
  assert.notEqual(at, -1, `lists.txt has no line ${JSON.stringify(line)}`);
  if (replacement === null) lines.splice(at, 1);
  else lines[at] = replacement;
  return lines.join('\n');
}

// Replaces one syllable of the [syllables] section with other words (or none).
function replaceSyllable(text, syllable, replacement) {
  const start = text.indexOf('[syllables]');
  const end = text.indexOf('[', start + 1);
  const section = text.slice(start, end);
  const edited = section.replace(new RegExp(`(?<=[ \\n])${syllable}(?=[ \\n])`), replacement);
  assert.notEqual(edited, section, `[syllables] has no ${syllable}`);
  return text.slice(0, start) + edited.replace(/ +\n/g, '\n').replace(/\n +/g, '\n') + text.slice(end);
}

test('the committed lists give the committed tables', () => {
  const run = runWith(lists);
  assert.equal(run.status, 0, run.stderr);
  const c = counts;
  assert.ok(
    run.stdout.includes(
      `${c['with-reading']} cells with a reading (${c.single} single, ${c['two-readings']} two, ` +
        `${c['three-readings']} three), ${c.readings} readings, ${c['reading-codes']} reading codes, ` +
        `${c.empty} empty, ${c['without-tone']} without a tone`,
    ) && run.stdout.includes(`extension: ${c['extension-with-syllable']} of ${c['extension-codes']} codes with a syllable`),
    run.stdout,
  );
});

const faults = [
  {
    name: 'rows out of code order',
    edit: (t) => replaceLine(replaceLine(t, '凹 ao wa', '@'), '扒 ba pa', '凹 ao wa').replace('\n@\n', '\n扒 ba pa\n'),
    expect: /B0BC 凹: row 1 is out of code order/,
  },
  {
    name: 'a row dropped',
    edit: (t) => replaceLine(t, '凹 ao wa', null),
    expect: new RegExp(`rows: ${counts.rows - 1} listed, expected ${counts.rows}`),
  },
  {
    name: 'a row whose reading 1 only readings 2 and 3 may give',
    edit: (t) => replaceLine(t, '凹 ao wa', '凹 zhuai wa'),
    expect: /B0BC 凹: row 0 reading 1 zhuai is not a listed syllable/,
  },
  {
    name: 'a row reading that is no syllable',
    edit: (t) => replaceLine(t, '凹 ao wa', '凹 ao wv'),
    expect: /B0BC 凹: row 0 reading 2 wv is not a listed syllable/,
  },
  {
    name: 'a row with four readings',
    edit: (t) => replaceLine(t, '凹 ao wa', '凹 ao wa a o'),
    expect: /B0BC 凹: row 0 has 4 readings, expected 2 or 3/,
  },
  {
    name: 'a row that repeats a reading',
    edit: (t) => replaceLine(t, '凹 ao wa', '凹 ao ao'),
    expect: /B0BC 凹: row 0 repeats a reading/,
  },
  {
    name: 'a row for a character outside GB2312 levels 1 and 2',
    edit: (t) => replaceLine(t, '凹 ao wa', '丂 kao qiao'),
    expect: /row 丂 \(lists\.txt:\d+\): not a GB2312 level 1 or 2 character/,
  },
  {
    name: 'binding readings in another order than the row',
    edit: (t) => replaceLine(t, '的 B5C4 de di', '的 B5C4 di de'),
    expect: /B5C4 的: binding says di de, row \d+ says de di/,
  },
  {
    name: 'binding one reading for a character with a row',
    edit: (t) => replaceLine(t, '长 B3A4 chang zhang', '长 B3A4 chang'),
    expect: /B3A4 长: binding gives one reading but it has row \d+/,
  },
  {
    name: 'binding two readings for a character without a row',
    edit: (t) => replaceLine(t, '中 D6D0 zhong', '中 D6D0 zhong chong'),
    expect: /D6D0 中: binding gives 2 readings but it has no row/,
  },
  {
    name: 'binding a reading that is not a listed syllable',
    edit: (t) => replaceLine(t, '女 C5AE nu', '女 C5AE nv'),
    expect: /C5AE 女: binding reading nv is not a listed syllable/,
  },
  {
    name: 'a code that does not match its character',
    edit: (t) => replaceLine(t, '女 C5AE nu', '女 C5AF nu'),
    expect: /C5AF \(lists\.txt:\d+\): binding gives 女, which is C5AE/,
  },
  {
    name: 'an empty code dropped',
    edit: (t) => replaceLine(t, '丶 D8BC', null),
    expect: new RegExp(`empty codes: ${counts.empty - 1} listed, expected ${counts.empty}`),
  },
  {
    name: 'an empty code that is also a row',
    edit: (t) => replaceLine(t, '丶 D8BC', '凹 B0BC'),
    expect: /B0BC: decided twice \(empty; row 0\)/,
  },
  {
    name: 'a level-1 character left empty',
    edit: (t) => replaceLine(t, '丶 D8BC', '啊 B0A1'),
    expect: /B0A1 啊: level-1 character without a reading/,
  },
  {
    name: 'the three-reading list disagreeing with the rows',
    edit: (t) => replaceLine(t, '堡 B1A4 bao bu pu', '堡 B1A4 bao pu bu'),
    expect: /B1A4 堡: three-reading list says bao pu bu, rows say bao bu pu/,
  },
  {
    name: 'a syllable missing from the list',
    edit: (t) => replaceSyllable(t, 'dia', ''),
    expect: new RegExp(
      `syllable list: ${counts['first-syllables'] - 1} entries, ${counts['first-syllables'] - 1} distinct, ` +
        `expected ${counts['first-syllables']}`,
    ),
  },
  {
    name: 'fo listed, so 佛 would read fo and readings grow',
    edit: (t) => replaceSyllable(t, 'fou', 'fo fou'),
    expect: new RegExp(`syllable list: ${counts['first-syllables'] + 1} entries`),
  },
  {
    name: 'a character the source cannot read as a listed syllable',
    edit: (t) => replaceSyllable(t, 'dia', 'dua'),
    expect: /E0C7 嗲: the source has no reading that is a listed syllable \(source: diǎ\); add an override/,
  },
  {
    name: 'a syllable no character gives as reading 1',
    // 能 falls back to its other reading, nai, so nothing gives neng or dua.
    edit: (t) => replaceSyllable(t, 'neng', 'dua'),
    expect: /syllable dua: no character gives it as reading 1/,
  },
  {
    name: '"er" after an initial',
    edit: (t) => replaceSyllable(t, 'dia', 'der'),
    expect: /syllable der: "er" after an initial/,
  },
  {
    name: '"eng" without an initial',
    edit: (t) => replaceSyllable(t, 'dia', 'eng'),
    expect: /syllable eng: "eng" without an initial/,
  },
  {
    name: 'a part code spelt wrong',
    edit: (t) => replaceLine(t, '40 ong', '40 ung'),
    expect: /syllable zhong: no initial and final in the part code table spell it/,
  },
  {
    name: 'a syllable for readings 2 and 3 that none gives',
    edit: (t) => replaceLine(t, 'zhuai', 'zhuai shei'),
    expect: /syllable shei: listed for readings 2 and 3 but none gives it/,
  },
  {
    name: 'a row whose reading 1 the source lacks, so the code loses its tone',
    edit: (t) => replaceLine(t, '凹 ao wa', '凹 yao wa'),
    expect: new RegExp(`count without-tone: ${counts['without-tone'] + 1}, expected ${counts['without-tone']}`),
  },
  {
    name: 'a total that does not match the tables',
    edit: (t) => replaceLine(t, `extension-with-syllable ${counts['extension-with-syllable']}`, 'extension-with-syllable 1'),
    expect: new RegExp(`count extension-with-syllable: ${counts['extension-with-syllable']}, expected 1`),
  },
  {
    name: 'a total missing',
    edit: (t) => replaceLine(t, `with-tone ${counts['with-tone']}`, null),
    expect: /count with-tone is missing from \[counts\]/,
  },
  {
    name: 'an unknown total',
    edit: (t) => t.replace('[counts]\n', '[counts]\ntones 5\n'),
    expect: /lists\.txt:\d+: unknown count tones/,
  },
  {
    name: 'a missing section',
    edit: (t) => t.replace('[three]', '[thre]'),
    expect: /section \[three\] is missing/,
  },
];

for (const { name, edit, expect } of faults) {
  test(`refuses ${name}`, () => {
    const run = runWith(edit(lists));
    assert.notEqual(run.status, 0, `generator accepted the lists:\n${run.stdout}`);
    assert.match(run.stderr, expect);
  });
}
