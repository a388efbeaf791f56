#!/usr/bin/env python3
"""Checks the installer's string-table sources, licence texts and hand-written documents.

Usage: check_strings.py [--root REPO] [--ids FILE]

Reads data/strings/{common,supplementary,en,pl}.toml and reports every problem it finds:
TOML that does not parse, keys that are not plain decimal ids, ids fetched by the installer that
do not resolve in English or Polish (language table, then common, then supplementary), ids
listed twice or in more than one place, ids the installer never fetches, templates whose
directives differ from the arguments the installer passes or between the two languages,
unquoted paths in command lines, clashing access keys, file names Windows refuses, script and
text-file contents without CR LF line ends, and inconsistent registry identifiers. It also
checks the licence texts and the links of the local home page.

When the packer's id list (tools/packer/string-ids.txt) exists, it is compared with the list
below and every disagreement is reported.

Exit status: 0 when nothing is wrong, 1 otherwise.
"""

from __future__ import annotations

import argparse
import re
import sys
import tomllib
import urllib.parse
import xml.etree.ElementTree as ElementTree
from dataclasses import dataclass, field
from pathlib import Path


def _ids(ranges: str) -> frozenset[int]:
    """Expands "1, 4-6" into {1, 4, 5, 6}."""
    out: set[int] = set()
    for part in ranges.split(","):
        part = part.strip()
        if "-" in part:
            low, high = part.split("-")
            out.update(range(int(low), int(high) + 1))
        elif part:
            out.add(int(part))
    return frozenset(out)


# Every id the installer fetches.
FETCHED = _ids(
    "0-52, 56-60, 62-102, 104-106, 109-115, 119-124, 127-133, 135-137, 139-141, 143-159, 162, "
    "166-169, 173-184, 188-232, 243, 244, 246, 248-275, 278-315, 317, 326"
)
# Ids added on top of that list: the finish page's body after an install on Windows before
# Vista is a template of its own.
ADDED = frozenset({134})
CATALOGUE = FETCHED | ADDED
# Byte patterns the packer derives from the built layout libraries and adds to the common
# table; the sources must not hold them.
GENERATED = _ids("146-151")

TABLES = ("common", "supplementary", "en", "pl")
LANGUAGES = ("en", "pl")

# Arguments the installer passes to each template, in order.
TEXT, NUMBER = "text", "number"
TEMPLATES: dict[int, tuple[str, ...]] = {
    2: (TEXT, TEXT),
    12: (NUMBER, TEXT),
    48: (TEXT,),
    49: (TEXT,),
    62: (NUMBER, TEXT, TEXT),
    63: (TEXT, NUMBER, TEXT, TEXT, NUMBER, NUMBER),
    65: (TEXT, TEXT),
    66: (TEXT,),
    69: (TEXT, TEXT),
    97: (TEXT,),
    101: (TEXT,),
    102: (TEXT,),
    129: (TEXT,),
    134: (TEXT,),
    141: (TEXT,),
}
# Command lines: the installer starts them as they are, so every text argument sits in quotes.
COMMANDS = frozenset({2, 49})
# Texts that are never formatted and may hold environment-variable references.
UNFORMATTED_PERCENT = frozenset({52, 87})
# File contents and scripts: CR LF line ends.
CRLF_TEXTS = frozenset({62, 63, 65, 66, 67, 68, 69})
# Text files shown in Notepad: start with a byte-order mark.
BOM_TEXTS = frozenset({67, 68})
# Parts of file and folder names.
FILE_NAME_PARTS = frozenset({9, 10, 22, 23, 30, 42, 43, 44, 46, 47, 70, 71, 77, 78, 80, 83})

# Control captions per page: their access keys must differ within the page.
PAGES: dict[str, tuple[int, ...]] = {
    "welcome": (1, 127, 128, 140, 99, 98),
    "licence": (105, 100, 99, 98),
    "setup": (101, 102, 139, 106, 109, 110, 111, 152, 100, 104, 98, 153),
    "keys": (152, 100, 98),
    "finish": (137,),
}
KEY_NAMES = _ids(
    "154, 162, 166-169, 173-184, 188-232, 243, 244, 246, 248-275, 278-315, 317, 326"
)
# Shown in plain static controls, where "&" would underline the next letter.
STATIC_TEXTS = frozenset({97, 130, 131, 132, 133, 134, 135, 136, 141, 112}) | KEY_NAMES
# Key names on the remapping page's check boxes and in its target lists, with room in characters.
KEY_BOX_NAMES = frozenset({280, 281, 282, 283, 284, 285, 228, 229, 230, 317, 167, 174, 279, 278})
KEY_ITEM_NAMES = frozenset(
    {154, 326, 176, 280, 281, 282, 283, 284, 285, 228, 229, 230, 317, 175, 311, 167, 174, 279,
     278, 189, 190, 180, 179, 177, 178, 188, 173}
)
KEY_BOX_ROOM = 16
KEY_ITEM_ROOM = 20

FORBIDDEN_IN_NAMES = set('\\/:*?"<>|')

# The formatting engine's directive syntax.
_FLAGS = "-+ 0#$`"
_DIRECTIVES = {
    **{c: TEXT for c in "sSzZ"},
    **{c: NUMBER for c in "diuxXoycCIU"},
    **{c: "pointer" for c in "pPnbBwW"},
    **{c: "double" for c in "feEgGaAF"},
    "N": None,
}
_RESERVED = set("tTY")


@dataclass
class Directive:
    text: str
    kind: str | None  # argument kind, None when it takes none
    stars: int  # int arguments taken by * width and precision


@dataclass
class Report:
    errors: list[str] = field(default_factory=list)
    warnings: list[str] = field(default_factory=list)

    def error(self, message: str) -> None:
        self.errors.append(message)

    def warn(self, message: str) -> None:
        self.warnings.append(message)


def parse_directives(template: str) -> tuple[list[Directive], list[str]]:
    """Splits a template into its directives; returns them and the problems found."""
    directives: list[Directive] = []
    problems: list[str] = []
    i, n = 0, len(template)
    while i < n:
        if template[i] != "%":
            i += 1
            continue
        start = i
        i += 1
        if i >= n:
            problems.append("template ends in a lone %")
            break
        if template[i] == "%":
            i += 1
            continue
        stars = 0
        while i < n and template[i] in _FLAGS:
            i += 1
        if i < n and template[i] == "*":
            stars += 1
            i += 1
        else:
            while i < n and template[i].isdigit():
                i += 1
        if i < n and template[i] == ".":
            i += 1
            if i < n and template[i] == "*":
                stars += 1
                i += 1
            else:
                while i < n and template[i].isdigit():
                    i += 1
        if template.startswith("ll", i):
            i += 2
        elif i < n and template[i] in "Lhl":
            i += 1
        if i >= n:
            problems.append(f"unfinished directive {template[start:]!r}")
            break
        char = template[i]
        i += 1
        text = template[start:i]
        if char in _RESERVED:
            problems.append(f"reserved directive {text!r} makes formatting fail")
        elif char not in _DIRECTIVES:
            problems.append(f"unknown directive {text!r} is dropped by the formatter")
        else:
            directives.append(Directive(text, _DIRECTIVES[char], stars))
    return directives, problems


def argument_kinds(directives: list[Directive]) -> tuple[str, ...]:
    kinds: list[str] = []
    for d in directives:
        kinds.extend([NUMBER] * d.stars)
        if d.kind is not None:
            kinds.append(d.kind)
    return tuple(kinds)


def access_key(caption: str) -> tuple[str | None, int]:
    """Returns the access key of a caption and the number of access-key markers."""
    keys = re.findall(r"&([^&])", caption.replace("&&", ""))
    return (keys[0].casefold() if keys else None), len(keys)


def load_table(path: Path, report: Report) -> dict[int, str] | None:
    try:
        with path.open("rb") as f:
            raw = tomllib.load(f)
    except FileNotFoundError:
        report.error(f"{path}: missing")
        return None
    except tomllib.TOMLDecodeError as e:  # also reports a key written twice
        report.error(f"{path}: not valid TOML: {e}")
        return None
    table: dict[int, str] = {}
    for key, value in raw.items():
        if not re.fullmatch(r"0|[1-9][0-9]{0,9}", key) or int(key) > 0xFFFFFFFF:
            report.error(f"{path}: key {key!r} is not a plain decimal string id")
            continue
        if not isinstance(value, str):
            report.error(f"{path}: id {key} is not a string")
            continue
        table[int(key)] = value
    return table


def resolve(tables: dict[str, dict[int, str]], language: str, sid: int) -> str | None:
    for name in (language, "common", "supplementary"):
        if sid in tables.get(name, {}):
            return tables[name][sid]
    return None


def check_placement(tables: dict[str, dict[int, str]], report: Report) -> None:
    every = set().union(*(t.keys() for t in tables.values()))
    for sid in sorted(every - (CATALOGUE - GENERATED)):
        where = ", ".join(name for name in TABLES if sid in tables.get(name, {}))
        if sid in GENERATED:
            report.error(f"id {sid} in {where}: the packer generates it from the layout libraries")
        else:
            report.error(f"id {sid} in {where}: the installer never fetches it")
    for sid in sorted(CATALOGUE - GENERATED):
        homes = [n for n in ("common", "supplementary") if sid in tables.get(n, {})]
        langs = [n for n in LANGUAGES if sid in tables.get(n, {})]
        if len(langs) == 1:
            other = "pl" if langs[0] == "en" else "en"
            report.error(f"id {sid} is in {langs[0]}.toml but missing from {other}.toml")
        if langs:
            homes.append("the language tables")
        if len(homes) > 1:
            report.error(f"id {sid} lives in more than one place: {', '.join(homes)}")
        for language in LANGUAGES:
            if resolve(tables, language, sid) is None:
                report.error(f"id {sid} does not resolve for {language} (not in {language}.toml, common.toml or supplementary.toml)")


def check_templates(tables: dict[str, dict[int, str]], report: Report) -> None:
    for name, table in tables.items():
        for sid, text in sorted(table.items()):
            where = f"{name}.toml id {sid}"
            if sid not in TEMPLATES:
                if "%" in text and sid not in UNFORMATTED_PERCENT:
                    report.error(f"{where}: '%' in a text that is not a template")
                continue
            directives, problems = parse_directives(text)
            for p in problems:
                report.error(f"{where}: {p}")
            kinds = argument_kinds(directives)
            if kinds != TEMPLATES[sid]:
                report.error(f"{where}: directives take {list(kinds)}, the installer passes {list(TEMPLATES[sid])}")
            if sid in COMMANDS:
                for m in re.finditer(r"%[^%]*?[sSzZ]", text):
                    if not (text[m.start() - 1 : m.start()] == '"' and text[m.end() : m.end() + 1] == '"'):
                        report.error(f"{where}: argument {m.group()!r} of a command line is not quoted")
    en, pl = tables.get("en", {}), tables.get("pl", {})
    for sid in sorted(en.keys() & pl.keys()):
        a = [d.text for d in parse_directives(en[sid])[0]]
        b = [d.text for d in parse_directives(pl[sid])[0]]
        if a != b:
            report.error(f"id {sid}: English directives {a} differ from Polish {b}")


def check_captions(tables: dict[str, dict[int, str]], report: Report) -> None:
    for language in LANGUAGES:
        for page, ids in PAGES.items():
            seen: dict[str, int] = {}
            for sid in ids:
                text = resolve(tables, language, sid)
                if text is None:
                    continue
                key, count = access_key(text)
                if count > 1:
                    report.error(f"{language} id {sid}: {count} access keys in {text!r}")
                if key is None:
                    continue
                if key in seen:
                    report.error(f"{language} {page} page: ids {seen[key]} and {sid} share access key {key!r}")
                seen[key] = sid
        for sid in sorted(STATIC_TEXTS):
            text = resolve(tables, language, sid)
            if text is not None and access_key(text)[1]:
                report.error(f"{language} id {sid}: '&' in a static text would underline a letter")
        for sid, room in [(s, KEY_BOX_ROOM) for s in KEY_BOX_NAMES] + [(s, KEY_ITEM_ROOM) for s in KEY_ITEM_NAMES]:
            text = resolve(tables, language, sid)
            if text is not None and len(text) > room:
                report.warn(f"{language} id {sid}: key name {text!r} is longer than {room} characters and may be cut")


def check_contents(tables: dict[str, dict[int, str]], report: Report) -> None:
    for name, table in tables.items():
        for sid, text in table.items():
            where = f"{name}.toml id {sid}"
            if "\0" in text:
                report.error(f"{where}: a NUL character would cut the text short")
            if sid in CRLF_TEXTS and re.search(r"(?<!\r)\n", text):
                report.error(f"{where}: a line ends in LF without CR")
            if sid in BOM_TEXTS and not text.startswith("\ufeff"):
                report.error(f"{where}: text file without byte-order mark")
            if sid in FILE_NAME_PARTS:
                bad = sorted(set(text) & FORBIDDEN_IN_NAMES) + [c for c in text if ord(c) < 0x20]
                if bad or not text or text != text.strip():
                    report.error(f"{where}: {text!r} cannot be part of a file name")
    for language in LANGUAGES:
        title = resolve(tables, language, 48)
        name = resolve(tables, language, 81)
        if title and name and "%s" in title:
            shortcut = title.replace("%s", name)
            if set(shortcut) & FORBIDDEN_IN_NAMES or shortcut != shortcut.strip(" ."):
                report.error(f"{language}: installer shortcut name {shortcut!r} is not a valid file name")


def check_identifiers(tables: dict[str, dict[int, str]], report: Report) -> None:
    common = {**tables.get("supplementary", {}), **tables.get("common", {})}
    lang_id, klid, layout_id = common.get(86, ""), common.get(85, ""), common.get(84, "")
    library, display = common.get(83, ""), common.get(87, "")
    if not re.fullmatch(r"[0-9A-Fa-f]{4}", lang_id):
        report.error(f"id 86: {lang_id!r} is not a four-digit hexadecimal language id")
    if not re.fullmatch(r"[0-9a-fA-F]{8}", klid) or klid[4:].lower() != lang_id.lower():
        report.error(f"id 85: {klid!r} is not an 8-digit layout id ending in the language id {lang_id!r}")
    if not re.fullmatch(r"[0-9a-fA-F]{4}", layout_id):
        report.error(f"id 84: {layout_id!r} is not four hexadecimal digits")
    if library and not display.lower().endswith(f"\\{library.lower()},-1000"):
        report.error(f"id 87: {display!r} does not name resource 1000 of {library!r}")
    removal = common.get(66, "")
    if removal and f"{lang_id}:{klid}".lower() not in removal.lower():
        report.error(f"id 66: the removal script does not name input method {lang_id}:{klid}")
    needle = common.get(88)
    if needle is not None:
        for language in LANGUAGES:
            variants = [resolve(tables, language, s) or "" for s in (113, 114, 115)]
            if not any(needle in v for v in variants):
                report.warn(f"{language}: default variant text {needle!r} is in none of 113 to 115; variant 0 is taken")
    needle = common.get(45)
    if needle is not None and needle != needle.upper():
        report.error(f"id 45: {needle!r} is looked for in an upper-cased path and must be upper case")


def fill(template: str, args: list[object]) -> str:
    """Formats the plain directives the scripts use (%s, %u, %x, %X with flags and width)."""
    values = iter(args)

    def one(m: re.Match[str]) -> str:
        if m.group(0) == "%%":
            return "%"
        spec, kind = m.group(1), m.group(2)
        value = next(values)
        if kind == "s":
            return str(value)
        return format(int(value), spec + {"u": "d", "x": "x", "X": "X"}[kind])

    return re.sub(r"%%|%([0-9]*)([suxX])", one, template)


def check_scripts(tables: dict[str, dict[int, str]], report: Report) -> None:
    """The XML settings scripts, filled as the installer fills them, must be well-formed."""
    common = {**tables.get("supplementary", {}), **tables.get("common", {})}
    lang_id, klid = 0x0415, common.get(85, "")
    for extra in (common.get(64, ""), ""):
        filled = {
            62: [lang_id, klid, extra],
            63: [common.get(90, ""), lang_id, klid, extra, lang_id, lang_id],
            66: [""],
        }
        for sid, args in filled.items():
            if sid not in common:
                continue
            try:
                ElementTree.fromstring(fill(common[sid], args))
            except (ElementTree.ParseError, ValueError, StopIteration) as e:
                report.error(f"id {sid}: the filled script is not well-formed XML: {e}")


def check_licences(root: Path, report: Report) -> None:
    for language in LANGUAGES:
        path = root / "data" / "licence" / f"{language}.txt"
        try:
            data = path.read_bytes()
        except FileNotFoundError:
            report.error(f"{path}: missing")
            continue
        try:
            text = data.decode("utf-8")
        except UnicodeDecodeError as e:
            report.error(f"{path}: not UTF-8: {e}")
            continue
        if re.search(r"(?<!\r)\n", text):
            report.error(f"{path}: a line ends in LF without CR (the licence page's edit control needs CR LF)")
        if not text.strip("\ufeff\r\n "):
            report.error(f"{path}: empty")


def check_home_page(root: Path, tables: dict[str, dict[int, str]], report: Report) -> None:
    path = root / "data" / "docs" / "home.htm"
    try:
        page = path.read_text(encoding="utf-8")
    except FileNotFoundError:
        report.error(f"{path}: missing")
        return
    common = tables.get("common", {})
    ext = common.get(42, "")
    expected = {
        f"{common.get(22, '')} ({common.get(23, '')}){ext}",
        f"{common.get(30, '')}{ext}",
        f"{common.get(71, '')}{common.get(44, '')}",
    }
    for href in re.findall(r'href="([^"#]+)"', page):
        if re.match(r"[a-z]+:", href):
            continue
        name = urllib.parse.unquote(href)
        if name not in expected:
            report.error(f"{path}: link {href!r} names no file the installer writes beside the page")


def compare_packer_list(path: Path, report: Report) -> None:
    if not path.exists():
        return
    listed: set[int] = set()
    # One id per line, optionally followed by its role in words; "#" starts a comment line.
    for line in path.read_text(encoding="utf-8").splitlines():
        m = re.match(r"\s*(\d+)\b", line)
        if m and not line.lstrip().startswith("#"):
            listed.add(int(m.group(1)))
    for sid in sorted(CATALOGUE - listed):
        report.warn(f"{path}: lacks id {sid}, which the tables hold for the installer")
    for sid in sorted(listed - CATALOGUE - GENERATED):
        report.warn(f"{path}: lists id {sid}, which no text here is written for")


def check(root: Path, packer_ids: Path | None = None) -> Report:
    report = Report()
    tables: dict[str, dict[int, str]] = {}
    for name in TABLES:
        table = load_table(root / "data" / "strings" / f"{name}.toml", report)
        if table is not None:
            tables[name] = table
    if len(tables) == len(TABLES):
        check_placement(tables, report)
        check_templates(tables, report)
        check_captions(tables, report)
        check_contents(tables, report)
        check_identifiers(tables, report)
        check_scripts(tables, report)
        check_home_page(root, tables, report)
    check_licences(root, report)
    compare_packer_list(packer_ids or root / "tools" / "packer" / "string-ids.txt", report)
    return report


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", type=Path, default=Path(__file__).resolve().parents[2])
    parser.add_argument("--ids", type=Path, default=None, help="the packer's id list")
    args = parser.parse_args(argv)
    report = check(args.root, args.ids)
    for w in report.warnings:
        print(f"warning: {w}")
    for e in report.errors:
        print(f"error: {e}")
    print(f"{len(CATALOGUE - GENERATED)} ids checked ({len(GENERATED)} more come from the packer): "
          f"{len(report.errors)} errors, {len(report.warnings)} warnings")
    return 1 if report.errors else 0


if __name__ == "__main__":
    sys.exit(main())
