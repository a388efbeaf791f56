#!/usr/bin/env python3
"""Tests of check_strings.py: the real sources pass, and each kind of fault in a copy of them is
reported with the id and the file it concerns."""

from __future__ import annotations

import re
import shutil
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_strings  # noqa: E402

REPO = Path(__file__).resolve().parents[2]


def set_entry(root: Path, table: str, sid: int, value: str | None) -> None:
    """Replaces (or, with value None, removes) the entry of sid; appends it when absent."""
    path = root / "data" / "strings" / f"{table}.toml"
    text = path.read_text(encoding="utf-8")
    line = re.compile(rf'^{sid} = (?:"(?:[^"\\]|\\.)*"|\'[^\']*\')$', re.M)
    if line.search(text):
        text = line.sub(lambda _: "" if value is None else f"{sid} = {value}", text, count=1)
    elif value is not None:
        text += f"\n{sid} = {value}\n"
    else:
        raise AssertionError(f"id {sid} not found as a one-line entry of {table}.toml")
    path.write_text(text, encoding="utf-8")


def append(root: Path, relative: str, text: str) -> None:
    path = root / relative
    path.write_text(path.read_text(encoding="utf-8") + text, encoding="utf-8")


def replace(root: Path, relative: str, old: str, new: str) -> None:
    path = root / relative
    data = path.read_bytes()
    assert old.encode() in data, (relative, old)
    path.write_bytes(data.replace(old.encode(), new.encode(), 1))


# Each case: a fault made in a copy of the sources, and words the report must contain.
CASES = [
    ("missing Polish text", lambda r: set_entry(r, "pl", 97, None),
     ["97", "missing from pl.toml"]),
    ("id not in any table", lambda r: (set_entry(r, "en", 98, None), set_entry(r, "pl", 98, None)),
     ["id 98 does not resolve for en"]),
    ("key with a leading zero", lambda r: append(r, "data/strings/common.toml", "\n007 = 'x'\n"),
     ["common.toml", "'007' is not a plain decimal string id"]),
    ("key written twice", lambda r: append(r, "data/strings/en.toml", '\n0 = "Again"\n'),
     ["en.toml", "not valid TOML"]),
    ("id never fetched", lambda r: set_entry(r, "common", 999, "'x'"),
     ["id 999 in common", "never fetches"]),
    ("id the packer generates", lambda r: set_entry(r, "common", 147, "'00'"),
     ["id 147 in common", "packer generates"]),
    ("id in two places", lambda r: set_entry(r, "common", 96, "'Quit?'"),
     ["id 96 lives in more than one place"]),
    ("Polish directive differs", lambda r: set_entry(r, "pl", 97, '"Witamy: %d"'),
     ["pl.toml id 97", "directives take ['number']", "English directives ['%s'] differ from Polish ['%d']"]),
    ("directive the installer does not pass", lambda r: set_entry(r, "common", 12, "'%04X:%s:%s'"),
     ["common.toml id 12", "the installer passes ['number', 'text']"]),
    ("unknown directive", lambda r: set_entry(r, "en", 48, '"Change %q %s"'),
     ["en.toml id 48", "unknown directive '%q'"]),
    ("percent sign in a plain text", lambda r: set_entry(r, "en", 112, '"100% done"'),
     ["en.toml id 112", "'%' in a text that is not a template"]),
    ("unquoted path in a command", lambda r: set_entry(r, "supplementary", 49, "'control.exe intl.cpl,,/f:%s'"),
     ["supplementary.toml id 49", "not quoted"]),
    ("access keys clash", lambda r: set_entry(r, "en", 140, '"&Read more"'),
     ["en welcome page: ids 127 and 140 share access key 'r'"]),
    ("access key in a static text", lambda r: set_entry(r, "pl", 112, '"Zmiany &później"'),
     ["pl id 112", "static text"]),
    ("forbidden character in a file name", lambda r: set_entry(r, "common", 30, "'Kreska: guide'"),
     ["common.toml id 30", "cannot be part of a file name"]),
    ("file line without CR", lambda r: set_entry(r, "common", 69, '"URL=file:///%s\\\\%s\\n"'),
     ["common.toml id 69", "LF without CR"]),
    ("removal script names another layout", lambda r: set_entry(r, "common", 85, "'a1b20415'"),
     ["id 66", "does not name input method 0415:a1b20415"]),
    ("layout id not ending in the language", lambda r: set_entry(r, "common", 85, "'a1a70407'"),
     ["id 85", "ending in the language id '0415'"]),
    ("NUL inside a text", lambda r: set_entry(r, "en", 112, '"Changes\\u0000 later"'),
     ["en.toml id 112", "NUL character"]),
    ("needle not upper case", lambda r: set_entry(r, "common", 45, "'.exe'"),
     ["id 45", "must be upper case"]),
    ("inserted attribute breaks the script", lambda r: set_entry(r, "supplementary", 64, "' Default=true'"),
     ["id 62: the filled script is not well-formed XML", "id 63: the filled script"]),
    ("comment text breaks the script", lambda r: set_entry(r, "supplementary", 90, "'Kreska -- 1.9'"),
     ["id 63: the filled script is not well-formed XML"]),
    ("licence with bare line feeds", lambda r: (r / "data/licence/pl.txt").write_bytes(b"Licencja\nMIT\n"),
     ["pl.txt", "LF without CR"]),
    ("home page link to a missing file", lambda r: replace(r, "data/docs/home.htm", "Kreska%20keyboard%20guide.htm", "guide.htm"),
     ["home.htm", "link 'guide.htm'"]),
]


class CheckStringsTest(unittest.TestCase):
    def setUp(self) -> None:
        self.tmp = Path(tempfile.mkdtemp())
        for part in ("data/strings", "data/licence", "data/docs"):
            shutil.copytree(REPO / part, self.tmp / part)
        self.no_packer_list = self.tmp / "none.txt"

    def tearDown(self) -> None:
        shutil.rmtree(self.tmp)

    def test_sources_are_clean(self) -> None:
        report = check_strings.check(REPO)
        self.assertEqual(report.errors, [])

    def test_copy_is_clean(self) -> None:
        report = check_strings.check(self.tmp, self.no_packer_list)
        self.assertEqual(report.errors, [])

    def test_faults_are_reported(self) -> None:
        for name, fault, expected in CASES:
            with self.subTest(name):
                self.tearDown()
                self.setUp()
                fault(self.tmp)
                errors = "\n".join(check_strings.check(self.tmp, self.no_packer_list).errors)
                for words in expected:
                    self.assertIn(words, errors)

    def test_packer_list_disagreement_is_reported(self) -> None:
        listed = sorted((check_strings.CATALOGUE - {134}) | {400})
        self.no_packer_list.write_text("".join(f"{i}  role\n" for i in listed), encoding="utf-8")
        warnings = "\n".join(check_strings.check(self.tmp, self.no_packer_list).warnings)
        self.assertIn("lacks id 134", warnings)
        self.assertIn("lists id 400", warnings)

    def test_directive_parser(self) -> None:
        table = [
            ("%s and %04x", ["%s", "%04x"], ("text", "number")),
            ("100%% sure", [], ()),
            ("%-*.*s|%Ld", ["%-*.*s", "%Ld"], ("number", "number", "text", "number")),
            ("%#`.6b%N", ["%#`.6b", "%N"], ("pointer",)),
        ]
        for template, texts, kinds in table:
            with self.subTest(template):
                directives, problems = check_strings.parse_directives(template)
                self.assertEqual(problems, [])
                self.assertEqual([d.text for d in directives], texts)
                self.assertEqual(check_strings.argument_kinds(directives), kinds)
        for bad in ("ends in %", "reserved %t", "%hh"):
            with self.subTest(bad):
                self.assertTrue(check_strings.parse_directives(bad)[1])


if __name__ == "__main__":
    unittest.main()
