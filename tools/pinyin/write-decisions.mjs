// Writes the decisions files: for every code, its readings, the tone of
// reading 1 and the rule that gave them, with totals and the places where
// pinyin-pro reads otherwise.
//
// Each code's line is `CODE CHAR READINGS  tone T FROM  RULE`: READINGS is
// '-' when there is none, T the tone of reading 1 ('-' when it has none) and
// FROM the source reading it was taken from. CHAR is '-' for a code that
// would not show as a visible character.

import { codeCounter, hex4, shownChar } from './codepage.mjs';
import { banner } from './write-tables.mjs';

// ruleCount(prefix): how many of the codes have a rule starting with prefix.
const ruleCounter = (codes, decided) => {
  const count = codeCounter(codes, decided);
  return (prefix) => count((d) => d.rule.startsWith(prefix));
};

const toneField = (tone) => (tone ? `tone ${tone.tone} ${tone.reading}` : 'tone -');

const TONE_RULE = [
  '#',
  '# The tone of reading 1 is the tone of the source\'s first reading whose',
  '# toneless form is that syllable: 1 to 4, 5 for the neutral tone (a reading',
  '# without a mark). Where the source has no reading with that syllable the',
  '# code has no tone, shown "tone -", and always plays its toneless clip.',
];

function toneTotals(decisions, codes) {
  const count = codeCounter(codes, decisions);
  const byTone = [1, 2, 3, 4, 5].map((t) => count((d) => d.tone?.tone === t));
  return `tones of reading 1: ${byTone.map((n, i) => `${i + 1}: ${n}`).join(', ')}`;
}

function toneDifferenceLines(list, cross) {
  return [
    `# Tones of reading 1 that differ in ${cross} (its first reading with the same syllable)`,
    `# code char syllable ours ${cross.split(' ')[0]}`,
    ...list.map((d) => `${hex4(d.code)} ${d.char} ${d.syllable} ${d.ours} ${d.other}`),
  ];
}

export function decisionsText({ main }, origin) {
  const { codes, decided, got, differences, toneDifferences } = main;
  const out = [...banner(origin, '#')];
  out.push('#');
  out.push('# How each GB2312 level 1 and 2 code got its readings. Rules:');
  out.push('#   row N               two or three readings, row N of the fixed list');
  out.push('#   binding             one reading fixed by the binding list');
  out.push('#   empty               no reading (unassigned code or a character left empty)');
  out.push('#   source-first        the source\'s first reading');
  out.push('#   source-later-reading  the first of the source\'s readings that is a listed');
  out.push('#                       syllable, the earlier ones not being listed');
  out.push('#   override            fixed in the generator, with its reason');
  out.push(...TONE_RULE);
  out.push('');
  const ruleCount = ruleCounter(codes, decided);
  out.push('# Totals');
  out.push(`cells with a reading   ${got['with-reading']}`);
  out.push(`one reading            ${got.single}`);
  out.push(`two readings           ${got['two-readings']}`);
  out.push(`three readings         ${got['three-readings']}`);
  out.push(`empty cells            ${got.empty}`);
  out.push(`readings in all        ${got.readings}`);
  out.push(`reading codes used     ${got['reading-codes']}`);
  out.push(`syllables of reading 1 ${got['first-syllables']}`);
  out.push(`with a tone            ${got['with-tone']}`);
  out.push(`with no tone           ${got['without-tone']}`);
  out.push(toneTotals(decided, codes));
  out.push(`by rule: row ${ruleCount('row')}, binding ${ruleCount('binding')}, empty ${ruleCount('empty')}, ` +
    `source-first ${ruleCount('source-first')}, source-later-reading ${ruleCount('source-later-reading')}, ` +
    `override ${ruleCount('override')}`);
  out.push(`single readings whose first reading differs in ${origin.cross}: ${differences.length}`);
  out.push(`tones of reading 1 that differ in ${origin.cross}: ${toneDifferences.length}`);
  out.push('');
  out.push('# code char readings  tone  rule');
  for (const { code, char } of codes) {
    const d = decided.get(code);
    const readings = d.readings.length ? d.readings.join(' ') : '-';
    out.push(`${hex4(code)} ${shownChar(char)} ${readings}  ${toneField(d.tone)}  ${d.rule}`);
  }
  out.push('');
  out.push('# Codes with a reading but no tone: the source has no reading with the');
  out.push('# syllable of reading 1, which the fixed lists gave.');
  out.push('# code char reading-1  source readings  rule');
  for (const { code, char } of codes) {
    const d = decided.get(code);
    if (d.readings.length && !d.tone) out.push(`${hex4(code)} ${char} ${d.readings[0]}  source: ${d.sourceReadings.join(',') || 'none'}  ${d.rule}`);
  }
  out.push('');
  out.push(`# Single readings whose first reading differs in ${origin.cross}`);
  out.push(`# code char ours ${origin.cross.split(' ')[0]}  rule`);
  for (const d of differences) out.push(`${hex4(d.code)} ${d.char} ${d.ours} ${d.other || '-'}  ${d.rule.split(' ')[0]}`);
  out.push('');
  out.push(...toneDifferenceLines(toneDifferences, origin.cross));
  return out.join('\n') + '\n';
}

export function extensionDecisionsText({ extension }, origin) {
  const { codes, decided, got, toneDifferences } = extension;
  const out = [...banner(origin, '#')];
  out.push('#');
  out.push('# How each code of code page 936 outside GB2312 levels 1 and 2 got reading 1');
  out.push('# (the extension table has no readings 2 and 3). Rules:');
  out.push('#   source-first          the source\'s first reading');
  out.push('#   source-later-reading  the first of the source\'s readings that is one of');
  out.push('#                         the syllables of reading 1, the earlier ones not');
  out.push('#   no-syllable           none of the source\'s readings is one of them');
  out.push('#   no-source-reading     the source has no reading for the character');
  out.push('#                         (private-use codes, symbols, rarer characters);');
  out.push('#                         the code point is given where CHAR shows as -');
  out.push(...TONE_RULE);
  out.push('');
  const ruleCount = ruleCounter(codes, decided);
  const nullCount = codeCounter(codes, decided)((d) => d.rule.includes('source: null)'));
  out.push('# Totals');
  out.push(`codes                  ${got['extension-codes']}`);
  out.push(`with a syllable        ${got['extension-with-syllable']}`);
  out.push(`without a syllable     ${got['extension-without-syllable']}`);
  out.push(toneTotals(decided, codes));
  out.push(`by rule: source-first ${ruleCount('source-first')}, source-later-reading ${ruleCount('source-later-reading')}, ` +
    `no-syllable ${ruleCount('no-syllable')} (of them "null" in the source: ${nullCount}), ` +
    `no-source-reading ${ruleCount('no-source-reading')}`);
  out.push(`tones of reading 1 that differ in ${origin.cross}: ${toneDifferences.length}`);
  out.push('');
  out.push('# code char reading  tone  rule');
  for (const { code, char } of codes) {
    const d = decided.get(code);
    const shown = shownChar(char);
    const point = shown === '-' ? ` (U+${hex4(char.codePointAt(0))})` : '';
    out.push(`${hex4(code)} ${shown} ${d.syllable ?? '-'}  ${toneField(d.tone)}  ${d.rule}${point}`);
  }
  out.push('');
  out.push(...toneDifferenceLines(toneDifferences, origin.cross));
  return out.join('\n') + '\n';
}
