#!/usr/bin/env python3
"""Compares the transcripts qor_replay wrote on Linux and on Windows.

    compare_transcripts.py LINUX_TRANSCRIPT WINDOWS_TRANSCRIPT

Every event of every case (what Core and the fixture applets received, every answer, every log
line) must be the same on both platforms, text for text and code unit for code unit. Before the
comparison, each transcript is canonicalised by the rules in ALLOWED, and by nothing else: those
are the only differences the platforms may show, each inherent to the platform. Exit status 0
when the transcripts agree, 1 when they differ, 2 when one cannot be read.
"""

import difflib
import re
import sys
import xml.parsers.expat
from collections import Counter
from dataclasses import dataclass, field
from typing import Callable


# ---------------------------------------------------------------------------------------------
# The allowed differences: each rule rewrites one kind of value the same way on both sides.

@dataclass
class Allowed:
    name: str
    reason: str
    # (event kind, key, value, the transcript's variables) -> canonical value
    rewrite: Callable[[str, str, str, dict], str]
    uses: int = 0


def _build_paths(kind, key, value, variables):
    # The build's files as each platform writes their paths: the file variables first, longest
    # first, then the directories. On Windows the sample applets and the fixture applet share
    # bin\, on Linux they do not, so every directory becomes ${DIR}.
    files = [(n, v) for n, v in variables.items() if not n.endswith("_DIR") and len(v) > 4]
    for name, path in sorted(files, key=lambda item: len(item[1]), reverse=True):
        value = value.replace(path, "${" + name + "}")
    directories = [v for n, v in variables.items() if n.endswith("_DIR")]
    for path in sorted(directories, key=len, reverse=True):
        value = value.replace(path, "${DIR}")
    return value


_RESOLUTION = re.compile(r"<(dpi_x|dpi_y)>[0-9]+</\1>|<isHighDPI>[01]</isHighDPI>")


def _resolution(kind, key, value, variables):
    if kind != "applet.initialize" or key != "arguments":
        return value
    return _RESOLUTION.sub(lambda m: "<{0}>(display)</{0}>".format(m.group(1) or "isHighDPI"),
                           value)


def _load_error(kind, key, value, variables):
    if kind == "log" and key == "text" and value.startswith("Load error: "):
        return "Load error: (the loader's text)"
    return value


ALLOWED = [
    Allowed("appletDIR and the build's paths",
            "Paths are written in each platform's syntax: the applets' files the corpus names, "
            "and appletDIR, everything before the last '/' on Linux and before the last '\\' on "
            "Windows. Each side's paths become ${NAME} (directories ${DIR}).",
            _build_paths),
    Allowed("resolution",
            "dpi_x, dpi_y and isHighDPI in an applet's CommandLineArguments come from the "
            "display system: the X server on Linux (0 without one), the desktop's device "
            "context on Windows (Wine's registry).",
            _resolution),
    Allowed("loader's wording",
            "The text after \"Load error: \" is the loader's own: dlerror() on Linux, "
            "FormatMessageW(GetLastError()) on Windows.",
            _load_error),
]


# ---------------------------------------------------------------------------------------------
# Reading a transcript.

@dataclass
class Event:
    depth: int
    kind: str
    values: dict
    at: str  # the corpus line of the step it belongs to

    def key(self):
        return (self.depth, self.kind, tuple(self.values.items()))


@dataclass
class Case:
    name: str
    at: str
    events: list = field(default_factory=list)


@dataclass
class Transcript:
    path: str
    variables: dict
    cases: list
    complete: bool


_TOKEN = re.compile(r'\s*([A-Za-z0-9_.]+)=("(?:[^"\\]|\\.)*"|@[0-9]+:[0-9a-f]+:"(?:[^"\\]|\\.)*"'
                    r'|\S+)')
_ESCAPE = re.compile(r'\\(u\{[0-9A-F]+\}|.)')


def _decode(quoted):
    def one(match):
        code = match.group(1)
        if code.startswith("u{"):
            return chr(int(code[2:-1], 16))
        return {"n": "\n", "r": "\r", "t": "\t"}.get(code, code)
    return _ESCAPE.sub(one, quoted[1:-1])


def _value(raw):
    if raw.startswith('"'):
        return _decode(raw)
    if raw.startswith("@"):
        length, digest, head = raw[1:].split(":", 2)
        return "(%s units, FNV-1a %s, starting %s)" % (length, digest, _decode(head)[:60])
    return raw


def read_transcript(path):
    try:
        with open(path, encoding="utf-8", newline="\n") as file:
            lines = file.read().split("\n")
    except (OSError, UnicodeDecodeError) as error:
        print("compare_transcripts: cannot read %s: %s" % (path, error), file=sys.stderr)
        sys.exit(2)
    variables, cases, at, complete = {}, [], "", False
    for number, line in enumerate(lines, 1):
        if not line.strip():
            continue
        if line.startswith("#"):
            text = line[1:].strip()
            complete = complete or text == "end"
            at = text
            continue
        stripped = line.lstrip(" ")
        depth = (len(line) - len(stripped)) // 2
        kind, _, rest = stripped.partition(" ")
        values, position = {}, 0
        while position < len(rest):
            match = _TOKEN.match(rest, position)
            if not match:
                print("compare_transcripts: %s:%d: cannot read %r"
                      % (path, number, rest[position:position + 40]), file=sys.stderr)
                sys.exit(2)
            values[match.group(1)] = _value(match.group(2))
            position = match.end()
        if kind == "variable":
            variables[values["name"]] = values["value"]
        elif kind == "case":
            cases.append(Case(values.get("name", ""), values.get("at", "")))
            at = values.get("at", "")
        elif cases:
            cases[-1].events.append(Event(depth, kind, values, at))
    return Transcript(path, variables, cases, complete)


def canonicalise(transcript):
    for case in transcript.cases:
        for event in case.events:
            for key, value in event.values.items():
                for rule in ALLOWED:
                    rewritten = rule.rewrite(event.kind, key, value, transcript.variables)
                    if rewritten != value:
                        rule.uses += 1
                        value = rewritten
                event.values[key] = value


# ---------------------------------------------------------------------------------------------
# Describing a difference.

def xml_verdict(text):
    """'well-formed', or why a namespace-aware parser refuses the text; None for no markup."""
    if not text.startswith("<"):
        return None
    parser = xml.parsers.expat.ParserCreate(namespace_separator=" ")
    try:
        parser.Parse(text.encode("utf-8", "surrogatepass"), True)
    except xml.parsers.expat.ExpatError as error:
        return "not well-formed (%s)" % xml.parsers.expat.errors.messages[error.code]
    return "well-formed"


def canonical_markup(text):
    """The markup with attributes sorted and empty elements written alike, or None."""
    out = []
    parser = xml.parsers.expat.ParserCreate()
    parser.ordered_attributes = True
    parser.StartElementHandler = lambda name, attributes: out.append(
        "<" + name + "".join(' %s="%s"' % pair for pair in
                             sorted(zip(attributes[::2], attributes[1::2]))) + ">")
    parser.EndElementHandler = lambda name: out.append("</" + name + ">")
    parser.CharacterDataHandler = lambda data: out.append(data)
    parser.CommentHandler = lambda data: out.append("<!--" + data + "-->")
    try:
        parser.Parse(text.encode("utf-8", "surrogatepass"), True)
    except xml.parsers.expat.ExpatError:
        return None
    return "".join(out)


def shorten(text, around=None, width=160):
    """At most `width` characters of a text, around a position; control characters and
    unpaired surrogates escaped."""
    start = 0 if around is None or len(text) <= width else max(0, around - width // 2)
    shown = text[start:start + width]
    shown = ("..." if start else "") + shown + ("..." if start + width < len(text) else "")
    return "".join(c if 32 <= ord(c) and not 0xD800 <= ord(c) <= 0xDFFF
                   else "\\u{%X}" % ord(c) for c in shown)


def describe_values(key, linux, windows):
    """Lines describing one field that differs, and a short class for the summary."""
    common = 0
    while common < min(len(linux), len(windows)) and linux[common] == windows[common]:
        common += 1
    lines = ["      %s (same for %d units):" % (key, common),
             "        linux:   " + shorten(linux, common),
             "        windows: " + shorten(windows, common)]
    verdicts = (xml_verdict(linux), xml_verdict(windows))
    if verdicts == (None, None):
        return lines, "text"
    if verdicts[0] != verdicts[1]:
        lines.append("        markup: linux %s, windows %s" % verdicts)
        return lines, "markup well-formed on one side only"
    if canonical_markup(linux) is not None and canonical_markup(linux) == canonical_markup(windows):
        lines.append("        markup: the same elements, attributes and text, written otherwise")
        return lines, "markup written otherwise"
    return lines, "markup with other content"


def describe_event(event, side):
    shown = " ".join("%s=%s" % (k, shorten(str(v), width=100)) for k, v in event.values.items())
    return "    at %s, %s only: %s%s %s" % (event.at, side, "  " * event.depth, event.kind, shown)


def compare_fields(left, right, out, summary):
    out.append("    at %s, %s:" % (left.at, left.kind))
    for key in dict.fromkeys(list(left.values) + list(right.values)):
        l, r = left.values.get(key, "(absent)"), right.values.get(key, "(absent)")
        if l != r:
            lines, group = describe_values(key, str(l), str(r))
            out.extend(lines)
            summary[(left.kind, key, group)] += 1


def steps_of(events):
    """The events grouped by the corpus step they belong to, in order."""
    groups = []
    for event in events:
        if not groups or groups[-1][0] != event.at:
            groups.append((event.at, []))
        groups[-1][1].append(event)
    return groups


def compare_step(a, b, out, summary):
    """Aligns one step's events as they are, then, where they differ, by kind and depth, so that
    the same event with other values is shown field by field."""
    outer = difflib.SequenceMatcher(None, [e.key() for e in a], [e.key() for e in b],
                                    autojunk=False)
    for tag, i1, i2, j1, j2 in outer.get_opcodes():
        if tag == "equal":
            continue
        left, right = a[i1:i2], b[j1:j2]
        inner = difflib.SequenceMatcher(None, [(e.depth, e.kind) for e in left],
                                        [(e.depth, e.kind) for e in right], autojunk=False)
        for sub, k1, k2, m1, m2 in inner.get_opcodes():
            if sub == "equal":
                for one, other in zip(left[k1:k2], right[m1:m2]):
                    compare_fields(one, other, out, summary)
                continue
            for event in left[k1:k2]:
                out.append(describe_event(event, "linux"))
                summary[(event.kind, "event", "linux only")] += 1
            for event in right[m1:m2]:
                out.append(describe_event(event, "windows"))
                summary[(event.kind, "event", "windows only")] += 1


def compare_case(linux, windows, summary):
    """Lines describing how a case differs (none when it does not), step by step."""
    out = []
    left, right = steps_of(linux.events), steps_of(windows.events)
    if [at for at, _ in left] != [at for at, _ in right]:
        out.append("    the steps differ: the replay stopped early on one side")
        summary[("case", "steps", "replay stopped")] += 1
    for (_, a), (_, b) in zip(left, right):
        compare_step(a, b, out, summary)
    return out


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    linux, windows = read_transcript(argv[1]), read_transcript(argv[2])
    for transcript in (linux, windows):
        canonicalise(transcript)

    failed = False
    for transcript in (linux, windows):
        if not transcript.complete:
            print("%s ends before \"# end\": the replay stopped early" % transcript.path)
            failed = True
    names = [c.name for c in linux.cases], [c.name for c in windows.cases]
    if names[0] != names[1]:
        print("the transcripts hold different cases: %d on Linux, %d on Windows"
              % (len(names[0]), len(names[1])))
        failed = True

    summary = Counter()
    differing = 0
    for left, right in zip(linux.cases, windows.cases):
        lines = compare_case(left, right, summary)
        if lines:
            differing += 1
            print("case %s (%s)" % (left.name, left.at))
            print("\n".join(lines))

    print("\nallowed differences (each rule, and how often it rewrote a value):")
    for rule in ALLOWED:
        print("  %s (%d): %s" % (rule.name, rule.uses, rule.reason))
    if summary:
        print("\ndifferences not allowed, by event, field and kind:")
        for (kind, key, group), count in sorted(summary.items()):
            print("  %4d  %s %s: %s" % (count, kind, key, group))
    print("\n%d of %d cases differ" % (differing, len(linux.cases)))
    return 1 if failed or differing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
