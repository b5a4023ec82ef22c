"""Facts of the pinyin tables for the Python tests and figures, read from
the generator's own files rather than restated: lists.txt (the fixed lists
and the counts) and decisions.txt (the readings of every GB2312 code)."""

from pathlib import Path

HERE = Path(__file__).resolve().parent


def count(name):
    """A total from the [counts] section of lists.txt ("first-syllables", ...)."""
    lines = (HERE / "lists.txt").read_text(encoding="utf-8").splitlines()
    for line in lines[lines.index("[counts]") + 1:]:
        fields = line.split()
        if fields and fields[0] == name:
            return int(fields[1])
    raise KeyError(f"no count {name!r} in lists.txt")


def first_character_of_each_syllable():
    """{syllable: character}: for each syllable that reading 1 gives, the
    first GB2312 character in code order whose reading 1 it is."""
    chosen = {}
    for line in (HERE / "decisions.txt").read_text(encoding="utf-8").splitlines():
        fields = line.split()
        if line.startswith("#") or len(fields) < 3 or fields[2] == "-":
            continue
        try:
            int(fields[0], 16)
        except ValueError:
            continue
        if len(fields[0]) == 4:
            chosen.setdefault(fields[2], fields[1])
    return chosen
