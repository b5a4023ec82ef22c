// The two-byte codes of code page 936 the tables cover, and the character
// each one stands for.
//
// Characters come from Node's TextDecoder('gbk'). With the full ICU that the
// usual Node builds carry, that label opens ICU's code page 936 table rather
// than the WHATWG gb18030 index, and it gives the same character as Windows'
// code page 936 (Wine's c_936.nls, the table the program meets under Wine) on
// every code covered here; decoder.test.mjs checks exactly that. Where the
// gb18030 index would differ in the extension's range (A989-A995 and most of
// FE50-FEA0, private use in code page 936 but radicals, description
// characters and CJK extension A in gb18030) the source has a reading for
// neither character, so a decoder of that kind would not change the tables.
// The other known differences, the single byte 0x80 and A1A4 and A1AA, lie
// outside the codes covered here.

// GB2312 levels 1 and 2, the main tables: lead bytes B0..F7, trail bytes
// A1..FE. Level 1 ends at D7F9; D7FA..D7FE are unassigned.
export const MAIN = {
  leadFirst: 0xb0,
  leadLast: 0xf7,
  trailFirst: 0xa1,
  trailLast: 0xfe,
  level1Last: 0xd7f9,
};
MAIN.trailCount = MAIN.trailLast - MAIN.trailFirst + 1;
MAIN.cellCount = (MAIN.leadLast - MAIN.leadFirst + 1) * MAIN.trailCount;

// The codes after level 1 in its last row, which GB2312 leaves unassigned.
export const isUnassignedMain = (code) => code > MAIN.level1Last && code >> 8 === MAIN.level1Last >> 8;

// The extension: every other two-byte code of code page 936 that decodes to
// a character. Lead bytes 81..FE with trail bytes 40..FE except 7F, leaving
// out the GB2312 area (lead and trail both A1..FE), whose levels 1 and 2 the
// main tables hold and whose symbol rows and user-defined areas have no
// syllable. Lead bytes below A1 take every trail byte ("wide" rows, 190
// codes); the others stop before A1 ("narrow" rows, 96 codes).
export const EXTENSION = {
  leadFirst: 0x81,
  leadLast: 0xfe,
  trailFirst: 0x40,
  trailLast: 0xfe,
  trailSkipped: 0x7f,
  gbAreaFirst: 0xa1,
};
EXTENSION.wideTrailCount = EXTENSION.trailLast - EXTENSION.trailFirst; // less the skipped one
EXTENSION.narrowTrailCount = EXTENSION.gbAreaFirst - EXTENSION.trailFirst - 1;
EXTENSION.cellCount =
  (EXTENSION.gbAreaFirst - EXTENSION.leadFirst) * EXTENSION.wideTrailCount +
  (EXTENSION.leadLast - EXTENSION.gbAreaFirst + 1) * EXTENSION.narrowTrailCount;

export const inExtension = (lead, trail) =>
  lead >= EXTENSION.leadFirst && lead <= EXTENSION.leadLast &&
  trail >= EXTENSION.trailFirst && trail <= EXTENSION.trailLast && trail !== EXTENSION.trailSkipped &&
  !(lead >= EXTENSION.gbAreaFirst && trail >= EXTENSION.gbAreaFirst);

export const hex4 = (code) => code.toString(16).toUpperCase().padStart(4, '0');

// A counter over a table's codes: count(pred) is how many of `codes` have a
// decision (`decided` maps code to decision) that pred holds for.
export const codeCounter = (codes, decided) => (pred) => codes.filter(({ code }) => pred(decided.get(code))).length;

function decoder() {
  try {
    return new TextDecoder('gbk', { fatal: true });
  } catch {
    throw new Error('this Node.js cannot decode GBK (it needs full ICU, as the usual builds have)');
  }
}

function decodeAll(leads, trails, keep) {
  const decode = decoder();
  const codes = [];
  for (let lead = leads[0]; lead <= leads[1]; lead++) {
    for (let trail = trails[0]; trail <= trails[1]; trail++) {
      if (!keep(lead, trail)) continue;
      const code = (lead << 8) | trail;
      let char;
      try {
        char = decode.decode(new Uint8Array([lead, trail]));
      } catch {
        throw new Error(`${hex4(code)} does not decode`);
      }
      if ([...char].length !== 1) throw new Error(`${hex4(code)} does not decode to one character`);
      codes.push({ code, char });
    }
  }
  return codes;
}

// Every code of the main tables with its character, in code order.
export const mainCodes = () =>
  decodeAll([MAIN.leadFirst, MAIN.leadLast], [MAIN.trailFirst, MAIN.trailLast], () => true);

// Every code of the extension with its character, in code order: the order
// of the extension table's cells.
export const extensionCodes = () =>
  decodeAll([EXTENSION.leadFirst, EXTENSION.leadLast], [EXTENSION.trailFirst, EXTENSION.trailLast], inExtension);

// A character as the decisions files show it: itself, or '-' for private-use
// codes and anything else that would not show as one visible character.
export const shownChar = (char) => (/^[\p{L}\p{N}\p{P}\p{S}]$/u.test(char) && !/\p{Co}/u.test(char) ? char : '-');
