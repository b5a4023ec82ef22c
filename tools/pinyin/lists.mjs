// Reads lists.txt, the fixed lists behind the tables: the part codes, the
// syllables, the codes left empty, the readings that bind, the rows, the
// characters with three readings and the totals the tables must come out
// with. Only the shape of each line is checked here; generate.mjs checks the
// rules.

import { readFileSync } from 'node:fs';

// The totals of [counts], in the order the section lists them. Each one is
// checked against the tables the generator builds.
export const COUNT_NAMES = [
  'with-reading',
  'single',
  'two-readings',
  'three-readings',
  'rows',
  'empty',
  'readings',
  'reading-codes',
  'first-syllables',
  'with-tone',
  'without-tone',
  'extension-codes',
  'extension-with-syllable',
  'extension-without-syllable',
];

export function readLists(file, partCount) {
  const sections = new Map();
  let current = null;
  const lines = readFileSync(file, 'utf8').split('\n');
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

  const parts = new Array(partCount).fill('');
  for (const { fields, lineNo } of need('parts')) {
    const code = Number(fields[0]);
    if (fields.length !== 2 || !Number.isInteger(code) || code < 1 || code >= partCount || parts[code] !== '')
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

  const counts = new Map();
  for (const { fields, lineNo } of need('counts')) {
    const [name, value] = fields;
    if (fields.length !== 2 || !/^[0-9]+$/.test(value ?? ''))
      throw new Error(`lists.txt:${lineNo}: expected a count's name and a number`);
    if (!COUNT_NAMES.includes(name)) throw new Error(`lists.txt:${lineNo}: unknown count ${name}`);
    if (counts.has(name)) throw new Error(`lists.txt:${lineNo}: count ${name} twice`);
    counts.set(name, Number(value));
  }
  for (const name of COUNT_NAMES)
    if (!counts.has(name)) throw new Error(`lists.txt: count ${name} is missing from [counts]`);

  return {
    parts,
    syllables: words('syllables'),
    extraSyllables: words('extra-syllables'),
    empty: withCode('empty'),
    binding: withCode('binding'),
    rows: need('rows').map(({ fields, lineNo }) => ({ char: fields[0], readings: fields.slice(1), lineNo })),
    three: withCode('three'),
    counts,
  };
}
