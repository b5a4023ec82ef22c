// The forms of a pinyin reading the tables need: its toneless syllable, its
// tone, and the part codes that spell a syllable.

// The tone marks the source writes, as combining characters after NFD.
const TONE_MARKS = new Map([
  ['\u0304', 1], // macron
  ['\u0301', 2], // acute
  ['\u030c', 3], // caron
  ['\u0300', 4], // grave
]);
const NEUTRAL_TONE = 5;

// Brings a source reading to the tables' form: lowercase ASCII letters, no
// tone, ü written u (the source may also write it v or u:). Anything else
// that is not plain pinyin (ê, m, n, ng) comes out as it is and so matches no
// listed syllable.
export function toneless(reading) {
  return reading
    .trim()
    .toLowerCase()
    .replace(/u:/g, 'ü')
    .replace(/v/g, 'ü')
    .normalize('NFD')
    .replace(/[\u0300\u0301\u0304\u030c]/g, '')
    .normalize('NFC')
    .replace(/ü/g, 'u');
}

// The tone of a source reading: 1 to 4 by its mark, 5 (neutral) when it has
// none. A reading with two marks has no one tone: null.
export function toneOf(reading) {
  const marks = [...reading.normalize('NFD')].filter((c) => TONE_MARKS.has(c));
  if (marks.length === 0) return NEUTRAL_TONE;
  if (marks.length > 1) return null;
  return TONE_MARKS.get(marks[0]);
}

// Splits a syllable into part codes: an initial (longest match, y and w
// included) and a final, or a final alone. Returns null if it cannot.
export function partsOf(syllable, parts, firstFinal) {
  const initials = [];
  const finals = new Map();
  parts.forEach((letters, code) => {
    if (code === 0) return;
    if (code < firstFinal) initials.push([letters, code]);
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
