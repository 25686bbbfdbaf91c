#!/usr/bin/python3
"""Seed corpora of the fuzz targets, made from the example decks and the
formats written in the program: seed_corpus.py OUTDIR writes OUTDIR/format,
OUTDIR/records, OUTDIR/cards and OUTDIR/deck (files named by the SHA-1 of
their content, as libFuzzer names the inputs it keeps)."""
import hashlib
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
EXAMPLES = ROOT / "examples"

# Formats the record engine must refuse or that once broke it.
HOSTILE_FORMATS = [
    "(5",
    "(E30.3E10)",
    "(999(9999(X))T1F8.2)",
    "(1PE12.4,G10.3E2,'ab''c',3Ha,b,T5,TL2,TR3,SP,SS,S,BN,BZ,:,/)",
    "(I5,2(F8.2,:,1X),(A4,L2))",
]


def store(directory, text):
    directory.mkdir(parents=True, exist_ok=True)
    data = text.encode("latin-1")
    (directory / hashlib.sha1(data).hexdigest()).write_bytes(data)


def is_format_card(line):
    return line.lstrip().startswith("(")


def cards(text):
    """(format card, data lines) of a text of cards (a deck without its title
    line, an additional data file)."""
    pairs = []
    for line in text.splitlines():
        if is_format_card(line):
            pairs.append((line, []))
        elif pairs:
            pairs[-1][1].append(line)
    return pairs


def program_formats():
    """The format texts written in the program: fixed_format("...") and the
    format tables, with C escapes undone."""
    found = set()
    literal = r'"((?:[^"\\]|\\.)*)"'
    for path in (ROOT / "src").rglob("*.cpp"):
        text = path.read_text(encoding="latin-1")
        for match in re.finditer(r"fixed_format\(\s*((?:" + literal + r"\s*)+)\)", text):
            parts = re.findall(literal, match.group(1))
            found.add("".join(parts).replace('\\"', '"').replace("\\\\", "\\"))
        for match in re.finditer(r'^\s*"(\(.*\))",?\s*$', text, re.MULTILINE):
            found.add(match.group(1))
    return sorted(found)


def main():
    if len(sys.argv) != 2 or sys.argv[1].startswith("-"):
        print("usage: seed_corpus.py OUTDIR  (writes the seed inputs of every fuzz target below OUTDIR)")
        sys.exit(0 if len(sys.argv) == 2 and sys.argv[1] in ("-h", "--help") else 1)
    out = pathlib.Path(sys.argv[1])
    decks = {p.name: p.read_text(encoding="latin-1") for p in sorted(EXAMPLES.glob("*/*.gruv"))}
    zus = (EXAMPLES / "seasonal_heat_exchanger" / "erdsonde.zus").read_text(encoding="latin-1")
    restart = (EXAMPLES / "restart_chain_2" / "GRUVWS").read_text(encoding="latin-1")

    card_texts = [text.split("\n", 1)[1] for text in decks.values()] + [zus]

    formats = set(HOSTILE_FORMATS) | set(program_formats())
    for text in card_texts:
        formats |= {fmt[:20] for fmt, _ in cards(text)}
    for fmt in formats:
        store(out / "format", fmt)

    for text in card_texts:
        for fmt, data in cards(text):
            store(out / "records", fmt[:20].rstrip() + "\n" + "\n".join(data[:4]) + "\n")
        store(out / "cards", text)

    for name, text in decks.items():
        if name == "seasonal_heat_exchanger.gruv":
            text += "@@@ erdsonde.zus\n" + zus
        if name == "restart_chain_2.gruv":
            text += "@@@ GRUVWS\n" + restart
        store(out / "deck", text)


if __name__ == "__main__":
    main()
