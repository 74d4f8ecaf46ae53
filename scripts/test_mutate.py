#!/usr/bin/env python3
"""Checks of mutate.py's scanner: which points it takes and which it must leave alone."""

import json
import os
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mutate  # noqa: E402


def points_of(source):
    """The (kind, mutated line) pairs the scanner finds in a source text."""
    with tempfile.TemporaryDirectory(dir=mutate.ROOT) as folder:
        path = os.path.join(folder, "sample.cpp")
        with open(path, "w", encoding="utf-8") as f:
            f.write(source)
        found = mutate.scan_file(os.path.relpath(path, mutate.ROOT))
    return [(m.kind, m.mutated.strip()) for m in found]


class ScannerTest(unittest.TestCase):
    def test_takes_each_operator(self):
        cases = [
            ("    ok = a < b;\n", ("relational", "ok = a >= b;")),
            ("    ok = a >= b;\n", ("relational", "ok = a < b;")),
            ("    ok = a > b;\n", ("relational", "ok = a <= b;")),
            ("    ok = a <= b;\n", ("relational", "ok = a > b;")),
            ("    ok = a == b;\n", ("equality", "ok = a != b;")),
            ("    ok = a != b;\n", ("equality", "ok = a == b;")),
            ("    ok = a && b;\n", ("logical", "ok = a || b;")),
            ("    ok = a || b;\n", ("logical", "ok = a && b;")),
            ("    if (ready) go();\n", ("negate", "if (!(ready)) go();")),
            ("    size = 16;\n", ("constant", "size = 15;")),
            ("    Flush();\n", ("delete", "")),
            ("    m_list.push_back(x);\n", ("delete", "")),
            ("    ++count;\n", ("delete", "")),
        ]
        for source, expected in cases:
            with self.subTest(source=source):
                self.assertIn(expected, points_of("{\n" + source))

    def test_leaves_non_operators_alone(self):
        # Each line must yield no point at all.
        quiet = [
            '#include <vector>',
            '#define LIMIT(a) (a < 4)',
            'std::vector<int> items;',
            'template <class T>',
            'std::cout << a;',
            'int x = y >> z;',
            'p->next;',
            'auto r = a <=> b;',
            'void Take(T&& value);',
            '// if (a < b) Flush();',
            '/* a == b */',
            'const char* text = "a < b && c == 1";',
            "char c = '<';",
            'return x;',
            'int count = Compute();',
            'Widget widget(parent);',
            'bool operator<(const Key& other) const;',
            'if constexpr (kWide) {',
            'case 3:',
            'enum { kFirst = 1 };',
            'double ratio = 1.5;',
            'int value = 0x10;',
        ]
        for line in quiet:
            with self.subTest(line=line):
                found = points_of("{\n    " + line + "\n")
                # A declaration with an initialiser may still carry constant or
                # operator points inside its expression, but never these.
                self.assertEqual(found, [], line)

    def test_condition_with_a_declaration_is_not_negated(self):
        found = points_of("{\n    if (auto it = map.find(k); it != map.end()) {\n")
        self.assertEqual(found, [("equality", "if (auto it = map.find(k); it == map.end()) {")])

    def test_block_comments_and_raw_strings_span_lines(self):
        source = "{\n/* start\n   a < b;\n   Flush();\n*/\n" 'auto t = R"x(\n  a == b\n)x";\n'
        self.assertEqual(points_of(source), [])

    def test_statement_deletion_needs_a_whole_statement(self):
        # The second line continues the call begun on the first: deleting it
        # alone would not compile, so only whole statements count.
        source = "{\n    Call(first,\n         Second(x));\n    Then(y);  // why\n"
        self.assertEqual([k for k, _ in points_of(source) if k == "delete"], [])

    def test_digit_separators_are_not_character_literals(self):
        # Were the quote in 100'000 taken for a character literal, the rest of
        # the line would be masked and the comparison after it lost.
        found = points_of("{\n    ok = pid > 100'000 && pid < limit;\n")
        self.assertIn(("relational", "ok = pid > 100'000 && pid >= limit;"), found)
        self.assertIn(("logical", "ok = pid > 100'000 || pid < limit;"), found)

    def test_journal_repairs_a_file_left_mutated(self):
        with tempfile.TemporaryDirectory(dir=mutate.ROOT) as folder:
            source = os.path.join(folder, "victim.cpp")
            with open(source, "wb") as f:
                f.write(b"int a = 1;\r\n\xc3\xa9\n")
            rel = os.path.relpath(source, mutate.ROOT)
            journal = mutate.Journal(os.path.join(folder, "build"))
            self.assertFalse(journal.restore_leftover(), "nothing to repair")
            with open(source, "rb") as f:
                journal.record(rel, f.read())
            mutate.write_bytes(source, b"int a = 2;\n")  # then the run is killed
            self.assertTrue(journal.restore_leftover())
            with open(source, "rb") as f:
                self.assertEqual(f.read(), b"int a = 1;\r\n\xc3\xa9\n", "byte for byte")
            self.assertFalse(os.path.exists(journal.path))

    def test_same_seed_same_sample(self):
        files = mutate.expand_files(["profile/*.cpp"])
        first, total = mutate.choose(files, 5, 10)
        second, _ = mutate.choose(files, 5, 10)
        other, _ = mutate.choose(files, 6, 10)
        self.assertEqual([m.describe() for m in first], [m.describe() for m in second])
        self.assertNotEqual([m.describe() for m in first], [m.describe() for m in other])
        self.assertGreater(total, 10)

    def test_replay_takes_the_kills_of_the_named_test_files(self):
        with tempfile.TemporaryDirectory(dir=mutate.ROOT) as folder:
            gtest = os.path.join(folder, "gtest.json")
            with open(gtest, "w", encoding="utf-8") as f:
                json.dump({"testsuites": [{"name": "Deck", "testsuite": [
                    {"name": "Paste", "failures": [
                        {"failure": "/src/tests/ui/deck_test.cpp:42\nValue of: x"},
                        {"failure": "/src/tests/ui/deck_test.cpp:42\nagain"}]},
                    {"name": "Fine"}]}]}, f)
            self.assertEqual(mutate.failed_checks(gtest), ["Deck.Paste ui/deck_test.cpp:42"])
            self.assertIsNone(mutate.failed_checks(os.path.join(folder, "absent.json")))

            points = mutate.scan_file("profile/profile_store.cpp")[:3]
            report = os.path.join(folder, "report.json")
            entries = [{"status": status, "file": m.path, "line": m.line, "kind": m.kind,
                        "mutated": m.mutated.strip(), "killed_by": [by]}
                       for m, status, by in zip(points, ["killed", "killed", "survived"],
                                                ["A.B ui/a_test.cpp:1", "C.D wx/b_test.cpp:2", ""])]
            with open(report, "w", encoding="utf-8") as f:
                json.dump({"mutants": entries}, f)
            every, _ = mutate.replayed(report, None)
            self.assertEqual([m.describe() for m in every], [m.describe() for m in points[:2]])
            only, _ = mutate.replayed(report, ["ui/*"])
            self.assertEqual([m.describe() for m in only], [points[0].describe()])
            entries[0]["line"] += 100000  # the sources moved on since the report
            with open(report, "w", encoding="utf-8") as f:
                json.dump({"mutants": entries}, f)
            with self.assertRaises(SystemExit):
                mutate.replayed(report, None)
            # A damaged report, or one naming a file these sources lack, is refused in words.
            entries[0]["file"] = "profile/gone.cpp"
            for text in (json.dumps({"mutants": entries}), "{", json.dumps({"runs": []})):
                with open(report, "w", encoding="utf-8") as f:
                    f.write(text)
                with self.assertRaisesRegex(SystemExit, "^mutate: "):
                    mutate.replayed(report, None)


if __name__ == "__main__":
    unittest.main()
