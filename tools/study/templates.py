"""Template decks: `ptf X` first line, `X name X` fields, values written right-aligned into the field."""

import re
from dataclasses import dataclass
from decimal import Decimal, InvalidOperation
from pathlib import Path

from .errors import StudyError

# A parameter name: a letter, then letters, digits or underscores. Names are
# not case-sensitive (kept in lower case).
NAME_RE = re.compile(r"[A-Za-z][A-Za-z0-9_]*\Z")
INTEGER_RE = re.compile(r"[+-]?[0-9]+\Z")
# Fewest significant digits a rounded value must keep; a value written exactly
# may have fewer (2.0 in a field of width 2 is "2.").
MIN_DIGITS = 4
# Columns of a format card that hold the format; the program ignores the rest.
FORMAT_COLUMNS = 20


@dataclass(frozen=True)
class Value:
    """One parameter value: the table's text read as an integer or a decimal number."""

    text: str  #: the value as written in the table
    number: object  #: int for an integer literal, Decimal otherwise

    @staticmethod
    def parse(text):
        """Reads a table cell; None when it is not a finite number."""
        t = text.strip()
        if INTEGER_RE.match(t):
            return Value(t, int(t))
        try:
            d = Decimal(t)
        except InvalidOperation:
            return None
        if not d.is_finite():
            return None
        return Value(t, d)


@dataclass(frozen=True)
class Field:
    """A parameter field of a template: line, columns and name."""

    line: int  #: line number in the template file (1 = the ptf line)
    start: int  #: index of the opening marker in the line
    end: int  #: index one past the closing marker
    name: str  #: parameter name, lower case

    @property
    def width(self):
        """Field width in characters, markers included."""
        return self.end - self.start


def _significant_digits(text):
    """Digits from the first non-zero one on, in a fixed or exponent number text."""
    mantissa = text.upper().split("E")[0]
    digits = mantissa.lstrip("+-").replace(".", "").lstrip("0")
    return len(digits)


def _fixed_form(d, width):
    """The fixed-point text with the most decimals that fits, always with a decimal point."""
    for decimals in range(width, -1, -1):
        s = format(d, f".{decimals}f")
        if decimals == 0:
            s += "."
        if len(s) <= width:
            return s
    return None


def _exponent_form(d, width):
    """The exponent text (1.2345E-6, no '+') with the most mantissa digits that fits."""
    for decimals in range(width, -1, -1):
        mantissa, exponent = format(d, f".{decimals}E").split("E")
        if decimals == 0:
            mantissa += "."
        s = mantissa + "E" + exponent.lstrip("+")
        if len(s) <= width:
            return s
    return None


def format_value(value, width):
    """The text of `value` for a field of `width` characters, right-aligned; None when it does not fit.

    Integers are written as integers. Other numbers are written with a
    decimal point (so that an F w.d read does not move it), in the fixed or
    the exponent form, whichever keeps more significant digits (the fixed form
    on a tie); a rounded value must keep at least MIN_DIGITS of them.
    """
    n = value.number
    if isinstance(n, int):
        s = str(n)
        return s.rjust(width) if len(s) <= width else None
    if n == 0:
        s = "0.0" if width >= 3 else "0." if width == 2 else "0"
        return s.rjust(width)
    best = None
    for s in (_fixed_form(n, width), _exponent_form(n, width)):
        if s is None:
            continue
        if best is None or _significant_digits(s) > _significant_digits(best):
            best = s
    if best is None or _significant_digits(best) == 0:
        return None
    if Decimal(best) != n and _significant_digits(best) < MIN_DIGITS:
        return None
    return best.rjust(width)


class Template:
    """A parsed template file: its marker, its lines and its parameter fields."""

    def __init__(self, path, is_deck):
        self.path = Path(path)
        self.name = self.path.name
        try:
            raw = self.path.read_bytes()
        except OSError as e:
            raise StudyError(f"Vorlage {path} nicht lesbar: {e.strerror}") from None
        # Decks are ASCII; latin-1 passes any other byte through unchanged.
        lines = raw.decode("latin-1").splitlines(keepends=True)
        if not lines:
            raise StudyError(f"Vorlage {self.name}: Datei ist leer")
        m = re.match(r"\s*ptf\s+(\S)\s*\Z", lines[0], re.IGNORECASE)
        if not m:
            raise StudyError(
                f"Vorlage {self.name}, Zeile 1: erwartet 'ptf' und das Begrenzungszeichen, z.B. 'ptf ~'")
        self.marker = m.group(1)
        if self.marker.isalnum() or not self.marker.isprintable() or ord(self.marker) > 126:
            raise StudyError(
                f"Vorlage {self.name}, Zeile 1: Begrenzungszeichen '{self.marker}' ist nicht erlaubt "
                "(kein Buchstabe, keine Ziffer; ueblich sind ~ # @ $ % ^ & |)")
        self.lines = lines[1:]
        self.fields = []
        for number, line in enumerate(self.lines, start=2):
            self.fields.extend(self._fields_of(line, number, is_deck and number == 2))

    def _fields_of(self, line, number, is_title):
        """The fields of one line, checked: markers in pairs, names valid, none on a format card."""
        text = line.rstrip("\r\n")
        positions = [i for i, c in enumerate(text) if c == self.marker]
        if len(positions) % 2:
            raise StudyError(
                f"Vorlage {self.name}, Zeile {number}: Begrenzungszeichen '{self.marker}' ohne Gegenstueck "
                f"(Spalte {positions[-1] + 1})")
        fields = []
        for a, b in zip(positions[0::2], positions[1::2]):
            name = text[a + 1:b].strip()
            if not name:
                raise StudyError(f"Vorlage {self.name}, Zeile {number}: Feld ohne Parameternamen (Spalte {a + 1})")
            if not NAME_RE.match(name):
                raise StudyError(f"Vorlage {self.name}, Zeile {number}: ungueltiger Parametername '{name}'")
            if not is_title and text.startswith("(") and a < FORMAT_COLUMNS:
                raise StudyError(
                    f"Vorlage {self.name}, Zeile {number}: Parameter '{name}' steht auf einer Formatkarte "
                    f"(Spalten 1-{FORMAT_COLUMNS}); Parameter gehoeren in die Datenkarten")
            fields.append(Field(number, a, b + 1, name.lower()))
        return fields

    def names(self):
        """The parameter names used, in order of first appearance."""
        return list(dict.fromkeys(f.name for f in self.fields))

    def check(self, values):
        """Writes nothing; raises on the first field that is unknown or too narrow for its value."""
        for f in self.fields:
            self._text_of(f, values)

    def _text_of(self, field, values):
        if field.name not in values:
            raise StudyError(
                f"Vorlage {self.name}, Zeile {field.line}: Parameter '{field.name}' steht nicht in der Tabelle")
        value = values[field.name]
        text = format_value(value, field.width)
        if text is None:
            raise StudyError(
                f"Vorlage {self.name}, Zeile {field.line}: Wert {value.text} des Parameters '{field.name}' "
                f"passt nicht in das Feld von {field.width} Zeichen")
        return text

    def render(self, values):
        """The file text with every field replaced by its value (dict name -> Value)."""
        out = []
        by_line = {}
        for f in self.fields:
            by_line.setdefault(f.line, []).append(f)
        for number, line in enumerate(self.lines, start=2):
            fields = by_line.get(number)
            if fields:
                pieces, pos = [], 0
                for f in fields:
                    pieces.append(line[pos:f.start])
                    pieces.append(self._text_of(f, values))
                    pos = f.end
                pieces.append(line[pos:])
                line = "".join(pieces)
            out.append(line)
        return "".join(out).encode("latin-1")
