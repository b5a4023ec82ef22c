// The generator takes each code's character from Node's TextDecoder('gbk').
// The program meets code page 936 as Windows defines it; Wine ships that
// table as c_936.nls (from the libwine package that wine64 brings). Every
// code the tables cover must decode to the same character in both, or the
// tables would read some characters for codes that stand for others.
//
//   node --test tools/pinyin/

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, readFileSync } from 'node:fs';

import { EXTENSION, MAIN, extensionCodes, hex4, mainCodes } from './codepage.mjs';

const WINE_TABLE = '/usr/share/wine/nls/c_936.nls';

// The two-byte part of a code page file: for each lead byte, the Unicode
// character of every trail byte. The file is little-endian 16-bit words: a
// header (its length in words first), then the multibyte table: its length,
// 256 single-byte entries, a glyph table flag (and 256 entries when set), the
// number of lead bytes, 256 offsets (0 for a byte that leads nothing,
// otherwise the place of its 256 entries counted from the offsets' start)
// and the entries.
function readCodePage(file) {
  const bytes = readFileSync(file);
  const word = (i) => bytes.readUInt16LE(i * 2);
  let at = word(0); // past the header
  at += 1 + 256; // the table's length and the single bytes
  const glyphs = word(at);
  at += 1 + (glyphs ? 256 : 0);
  at += 1; // the number of lead bytes
  const offsets = at;
  return (lead, trail) => {
    const offset = word(offsets + lead);
    return offset === 0 ? null : word(offsets + offset + trail);
  };
}

test('Node decodes every covered code as Windows code page 936 does', () => {
  assert.ok(existsSync(WINE_TABLE), `${WINE_TABLE} is missing; scripts/install-packages.sh installs wine64, which brings it`);
  const windows = readCodePage(WINE_TABLE);
  // A known pair first, so that a misread file fails here and not as a
  // thousand differences: B0A1 is 啊 in every version of the code page.
  assert.equal(windows(0xb0, 0xa1), '啊'.codePointAt(0));

  const codes = [...mainCodes(), ...extensionCodes()];
  assert.equal(codes.length, MAIN.cellCount + EXTENSION.cellCount);
  const differences = codes
    .filter(({ code, char }) => windows(code >> 8, code & 0xff) !== char.codePointAt(0))
    .map(({ code, char }) => `${hex4(code)} Node U+${hex4(char.codePointAt(0))} Windows U+${hex4(windows(code >> 8, code & 0xff) ?? 0)}`);
  assert.deepEqual(differences, []);
});
