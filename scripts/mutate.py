#!/usr/bin/env python3
"""Mutation testing for SessionDeck: do the tests notice when the code is wrong?

How it works
------------
The script scans the given C++ sources for mutation points, picks a seeded
sample of them, and for each one changes the source file in place, rebuilds
the test executables of the file's layer incrementally in its own build
directory (build/mutate, configured once, never build/default), runs them and
puts the original back.  A mutant is

  killed     a test executable failed, crashed or ran out of time,
  survived   every test executable of the layer passed,
  no-build   the mutated file did not compile (it says nothing about tests).

The score is killed / (killed + survived).

Mutation operators (one change per mutant):

  relational   <  <-> >=    >  <-> <=     (and the reverse directions)
  equality     == <-> !=
  logical      && <-> ||
  negate       if (X)  ->  if (!(X))
  constant     a decimal integer constant plus or minus one
  delete       a whole simple statement line (a call, an assignment or an
               increment ending in ';'; never a declaration, return, jump or
               brace)

Only code is mutated: comments, string and character literals, raw strings and
preprocessor lines (#include among them) are masked out first.  The scanner is
conservative rather than clever: an operator counts only when it stands between
spaces, as clang-format writes binary operators, so '<<', '>>', '->', '<=>',
'&&' in 'T&& x' and the angle brackets of template argument lists and includes
('std::vector<int>', 'template <class T>') are never taken for relational or
logical operators.  A point the scanner is unsure of is skipped.

The invariant a change to this script must keep: the source tree is left as it
was found.  Every mutation is written only after a journal
(build/mutate/mutant-in-place.json) holds the original bytes; the original is
put back in a finally block, SIGINT/SIGTERM/SIGHUP unwind through it, and a
run that was killed outright (SIGKILL, power loss) is repaired from the journal
by the next start of the script (or by --restore).

Before the first mutant the unmutated tests are built and run once; a failing
baseline stops the run, since every mutant would then count as killed.
"""

import argparse
import dataclasses
import fnmatch
import glob
import json
import os
import random
import re
import shlex
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))

# The test executables that cover each layer's folder.
LAYER_TESTS = {
    "foundation": ["test_foundation"],
    "profile": ["test_profile"],
    "data": ["test_data"],
    "session": ["test_session"],
    "app": ["test_app"],
    "tools": ["test_tools"],
    # Only the toolkit-free models: the wx views need a display to be tested.
    "ui": ["test_ui"],
}

DEFAULT_SEED = 17
DEFAULT_COUNT = 66
DEFAULT_BUILD_DIR = "build/mutate"
DEFAULT_TIMEOUT = 300

FLIPS = {"<": ">=", ">=": "<", ">": "<=", "<=": ">", "==": "!=", "!=": "==", "&&": "||", "||": "&&"}


@dataclasses.dataclass
class Mutant:
    path: str  # relative to ROOT
    line: int  # 1-based
    column: int  # 0-based offset of the change in the line
    kind: str
    original: str  # the whole original line, without its newline
    mutated: str  # the whole mutated line ("" for a deleted statement)
    status: str = ""
    seconds: float = 0.0
    detail: str = ""
    # The failed checks ("Suite.Test file:line"), so a change to the tests can see which checks
    # hold a kill alone; a crash or a timeout leaves no report and names the executable instead.
    killed_by: list = dataclasses.field(default_factory=list)

    def location(self):
        return f"{self.path}:{self.line}"

    def describe(self):
        before = self.original.strip()
        after = self.mutated.strip() if self.kind != "delete" else "(statement deleted)"
        return f"{self.location()}: {before} -> {after}"


# ---------------------------------------------------------------------------
# Scanning


def code_mask(lines):
    """For each line, a string of the same length where everything that is not
    code (comments, literals, preprocessor lines) is replaced by spaces."""
    masked = []
    in_block_comment = False
    raw_end = None  # the closing delimiter of a raw string that spans lines
    continued_directive = False
    for text in lines:
        out = list(text)
        stripped = text.lstrip()
        if continued_directive or (not in_block_comment and raw_end is None and stripped.startswith("#")):
            continued_directive = text.rstrip().endswith("\\")
            masked.append(" " * len(text))
            continue
        i = 0
        n = len(text)
        while i < n:
            if raw_end is not None:
                end = text.find(raw_end, i)
                stop = n if end < 0 else end + len(raw_end)
                for k in range(i, stop):
                    out[k] = " "
                if end >= 0:
                    raw_end = None
                i = stop
                continue
            if in_block_comment:
                end = text.find("*/", i)
                stop = n if end < 0 else end + 2
                for k in range(i, stop):
                    out[k] = " "
                if end >= 0:
                    in_block_comment = False
                i = stop
                continue
            c = text[i]
            if text.startswith("//", i):
                for k in range(i, n):
                    out[k] = " "
                break
            if text.startswith("/*", i):
                in_block_comment = True
                continue
            raw = re.match(r'(?:u8|u|U|L)?R"([^()\\ ]{0,16})\(', text[i:])
            if raw and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
                raw_end = ")" + raw.group(1) + '"'
                out[i] = " "
                for k in range(i, i + raw.end()):
                    out[k] = " "
                i += raw.end()
                continue
            if c == '"' or (c == "'" and not (i > 0 and text[i - 1].isalnum())):
                # A digit separator (1'000) follows a digit; a character literal does not.
                k = i + 1
                while k < n and text[k] != c:
                    k += 2 if text[k] == "\\" else 1
                stop = min(k + 1, n)
                for j in range(i, stop):
                    out[j] = " "
                i = stop
                continue
            i += 1
        masked.append("".join(out))
    return masked


IDENT_CHAR = re.compile(r"[A-Za-z0-9_]")
OPERATOR = re.compile(r"(?<=\S) (<=|>=|==|!=|&&|\|\||<|>) (?=\S)")
INTEGER = re.compile(r"(?<![A-Za-z0-9_.'])([0-9][0-9']*)([uUlLzZ]*)(?![A-Za-z0-9_.'])")
IF_OPEN = re.compile(r"\bif \(")
# A statement that starts with a plain expression path (no space before the call
# or assignment, so never "Type name(...)" or "Type name = ...").
SIMPLE_STATEMENT = re.compile(
    r"^(?:(?:\+\+|--)[A-Za-z_][A-Za-z0-9_:.\[\]>-]*|[A-Za-z_][A-Za-z0-9_:.\[\]>-]*"
    r"(?:<[A-Za-z0-9_:, ]*>)?(?:\(.*\)|\s[-+*/%|&^]?=\s.*|\+\+|--))\s*;$"
)
KEYWORD_START = re.compile(
    r"^(return|break|continue|goto|throw|case|default|using|typedef|namespace|static_assert|delete|"
    r"co_return|co_yield|assert|template|friend|public|private|protected|else|do|if|for|while|switch)\b"
)


def balanced(text):
    depth = {"(": 0, "[": 0, "{": 0}
    close = {")": "(", "]": "[", "}": "{"}
    for c in text:
        if c in depth:
            depth[c] += 1
        elif c in close:
            depth[close[c]] -= 1
            if depth[close[c]] < 0:
                return False
    return all(v == 0 for v in depth.values())


def matching_paren(code, open_index):
    depth = 0
    for k in range(open_index, len(code)):
        if code[k] == "(":
            depth += 1
        elif code[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def previous_code_line(masked, index):
    for k in range(index - 1, -1, -1):
        if masked[k].strip():
            return masked[k].rstrip()
    return ""


def scan_file(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        lines = f.read().split("\n")
    masked = code_mask(lines)
    points = []
    for index, (text, code) in enumerate(zip(lines, masked)):
        if not code.strip():
            continue
        line = index + 1
        # Relational, equality and logical operators standing between spaces.
        for m in OPERATOR.finditer(code):
            op = m.group(1)
            start = m.start(1)
            before = code[:start].rstrip()
            after = code[m.end(1):].lstrip()
            # "operator <" and friends, and a template list opening with a space.
            if before.endswith("operator") or after.startswith((">", "<", "=")):
                continue
            if op in ("<", ">") and ("template" in code or "<=>" in code):
                continue
            mutated = text[:start] + FLIPS[op] + text[start + len(op):]
            kind = {"&&": "logical", "||": "logical", "==": "equality", "!=": "equality"}.get(op, "relational")
            points.append(Mutant(path, line, start, kind, text, mutated))
        # Conditions negated; the whole condition must close on this line and be
        # a plain expression (no declaration or init-statement inside).
        for m in IF_OPEN.finditer(code):
            if code[:m.start()].rstrip().endswith("constexpr") or "if constexpr" in code:
                continue
            open_index = m.end() - 1
            close_index = matching_paren(code, open_index)
            if close_index < 0:
                continue
            condition = code[open_index + 1:close_index]
            if ";" in condition or re.search(r"(?<![=!<>])=(?!=)", condition):
                continue
            inner = text[open_index + 1:close_index]
            mutated = text[:open_index + 1] + "!(" + inner + ")" + text[close_index:]
            points.append(Mutant(path, line, open_index, "negate", text, mutated))
        # Integer constants off by one, outside case labels, array bounds of
        # declarations and enumerator values (those would often not compile or
        # would only renumber).
        if not re.match(r"^\s*(case\b|enum\b|static_assert\b)", code) and "template" not in code:
            for m in INTEGER.finditer(code):
                digits = m.group(1).replace("'", "")
                if len(digits) > 1 and digits.startswith("0"):
                    continue  # octal
                value = int(digits)
                start, end = m.span(1)
                delta = 1 if value == 0 else (1 if (line + start) % 2 == 0 else -1)
                mutated = text[:start] + str(value + delta) + text[end:]
                points.append(Mutant(path, line, start, "constant", text, mutated))
        # Whole simple statements deleted.
        statement = code.strip()
        if (
            SIMPLE_STATEMENT.match(statement)
            and not KEYWORD_START.match(statement)
            and balanced(statement)
            and previous_code_line(masked, index).endswith((";", "{", "}", ":"))
            and not code.rstrip().endswith("};")
            and text.strip() == statement  # no trailing comment to keep apart
        ):
            indent = text[: len(text) - len(text.lstrip())]
            points.append(Mutant(path, line, len(indent), "delete", text, ""))
    return points


def expand_files(patterns):
    files = []
    for pattern in patterns:
        matched = sorted(glob.glob(os.path.join(ROOT, pattern), recursive=True))
        if not matched:
            raise SystemExit(f"mutate: no file matches {pattern!r}")
        for path in matched:
            rel = os.path.relpath(path, ROOT)
            if rel not in files:
                files.append(rel)
    for rel in files:
        if rel.split(os.sep)[0] not in LAYER_TESTS:
            raise SystemExit(f"mutate: {rel} is in no layer with tests ({', '.join(LAYER_TESTS)})")
    return sorted(files)


def replayed(report_path, killed_by):
    """The killed mutants of an earlier report, found again among the mutation points of their
    files (a mutant whose line changed since is an error: the report is for other sources)."""
    wanted = []
    try:
        with open(report_path, encoding="utf-8") as f:
            report = json.load(f)
        for entry in report["mutants"]:
            if entry["status"] != "killed":
                continue
            places = [check.rsplit(" ", 1)[-1].rsplit(":", 1)[0]
                      for check in entry.get("killed_by", [])]
            if killed_by and not any(fnmatch.fnmatch(place, pattern)
                                     for place in places for pattern in killed_by):
                continue
            wanted.append((entry["file"], entry["line"], entry["kind"], entry["mutated"]))
    except OSError as error:
        raise SystemExit(f"mutate: cannot read {report_path}: {error.strerror}")
    except (ValueError, KeyError, TypeError, AttributeError) as error:
        raise SystemExit(f"mutate: {report_path} is not a report of this script ({error!r})")
    points = {}
    for rel in sorted({key[0] for key in wanted}):
        if not os.path.isfile(os.path.join(ROOT, rel)):
            raise SystemExit(f"mutate: {rel}, named by {report_path}, is not a file of these sources")
        for m in scan_file(rel):
            points[(m.path, m.line, m.kind, m.mutated.strip())] = m
    chosen = []
    for key in wanted:
        if key not in points:
            raise SystemExit(f"mutate: {key[0]}:{key[1]} of {report_path} is not a mutation point "
                             "of the sources as they are now")
        chosen.append(points[key])
    return chosen, len(points)


def choose(files, seed, count):
    points = []
    for rel in files:
        points.extend(scan_file(rel))
    rng = random.Random(seed)
    chosen = rng.sample(points, min(count, len(points)))
    chosen.sort(key=lambda m: (m.path, m.line, m.column, m.kind))
    return chosen, len(points)


# ---------------------------------------------------------------------------
# Keeping the source tree intact


class Journal:
    """The original bytes of the file being mutated, on disk, so that even a
    run killed outright can be repaired."""

    def __init__(self, build_dir):
        self.path = os.path.join(build_dir, "mutant-in-place.json")

    def restore_leftover(self):
        if not os.path.exists(self.path):
            return False
        with open(self.path, encoding="utf-8") as f:
            entry = json.load(f)
        write_bytes(os.path.join(ROOT, entry["path"]), entry["original"].encode("latin-1"))
        os.remove(self.path)
        print(f"mutate: restored {entry['path']} left mutated by an interrupted run", file=sys.stderr)
        return True

    def record(self, rel, original):
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        tmp = self.path + ".tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            json.dump({"path": rel, "original": original.decode("latin-1")}, f)
            f.flush()
            os.fsync(f.fileno())
        os.replace(tmp, self.path)

    def clear(self):
        if os.path.exists(self.path):
            os.remove(self.path)


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)
        f.flush()
        os.fsync(f.fileno())


HANDLED_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


class Interrupted(Exception):
    pass


def on_signal(signum, _frame):
    raise Interrupted(signal.Signals(signum).name)


# ---------------------------------------------------------------------------
# Building and running


def run(cmd, timeout, log, env=None):
    """Runs cmd in its own process group; returns (returncode or None on
    timeout, seconds).  A timed-out or interrupted run takes its whole group
    down with it."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=ROOT, stdout=log, stderr=subprocess.STDOUT, env=env,
                            start_new_session=True)
    try:
        code = proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        code = None
    finally:
        if proc.poll() is None:
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            proc.wait()
    return code, time.monotonic() - start


def configure(build_dir, log):
    if os.path.exists(os.path.join(ROOT, build_dir, "build.ninja")):
        return
    cmd = ["cmake", "-S", ".", "-B", build_dir, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
           "-DSESSIONDECK_BUILD_BENCH=OFF", "-DSESSIONDECK_BUILD_VIEWS=OFF"]
    # ccache only speeds the rebuilds up; a machine set up by install-deps.sh alone lacks it.
    if shutil.which("ccache"):
        cmd += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    code, _ = run(cmd, None, log)
    if code != 0:
        raise SystemExit(f"mutate: configuring {build_dir} failed; see {log.name}")


def build(build_dir, targets, jobs, log):
    cmd = ["cmake", "--build", build_dir, "-j", str(jobs), "--target", *targets]
    code, _ = run(cmd, None, log)
    return code == 0


def test_env():
    env = dict(os.environ)
    for name in list(env):
        if name.startswith("GTEST_"):
            del env[name]
    env["GTEST_SHUFFLE"] = "0"
    env["GTEST_BRIEF"] = "1"
    return env


FAILURE_PLACE = re.compile(r"^(.*?):(\d+)")


def failed_checks(report_path):
    """The failed checks of a GoogleTest JSON report, as "Suite.Test file:line" (file relative to
    tests/), or None when the run left no readable report (a crash or a timeout)."""
    try:
        with open(report_path, encoding="utf-8") as f:
            report = json.load(f)
    except (OSError, ValueError):
        return None
    checks = []
    for suite in report.get("testsuites", []):
        for test in suite.get("testsuite", []):
            for failure in test.get("failures", []):
                place = FAILURE_PLACE.match(failure.get("failure", ""))
                where = ""
                if place:
                    where = " " + place.group(1).split("/tests/", 1)[-1] + ":" + place.group(2)
                checks.append(f"{suite['name']}.{test['name']}{where}")
    return sorted(set(checks))


def run_tests(build_dir, targets, timeout, log, env):
    """Runs the test executables in order and stops at the first failure.
    Returns (passed, detail, failed checks)."""
    for target in targets:
        exe = os.path.join(ROOT, build_dir, "tests", target)
        report = os.path.join(ROOT, build_dir, f"{target}-report.json")
        if os.path.exists(report):
            os.remove(report)
        log.write(f"\n== {target}\n".encode())
        log.flush()
        code, seconds = run([exe, "--gtest_brief=1", f"--gtest_output=json:{report}"], timeout,
                            log, env)
        if code is None:
            return False, f"{target} timed out after {timeout} s", [f"{target} (timed out)"]
        if code != 0:
            checks = failed_checks(report) if code == 1 else None
            return False, f"{target} failed (exit {code})", checks or [f"{target} (exit {code})"]
    return True, "", []


def targets_for(rel):
    return LAYER_TESTS[rel.split(os.sep)[0]]


# ---------------------------------------------------------------------------


def parse_args(argv):
    parser = argparse.ArgumentParser(
        prog="scripts/mutate.py",
        formatter_class=argparse.RawDescriptionHelpFormatter,
        description=__doc__.replace("How it works\n------------\n", "").strip(),
        epilog="""\
layers and their tests:
  profile -> test_profile, session -> test_session, app -> test_app,
  data -> test_data, foundation -> test_foundation, tools -> test_tools
  (a mutant is run only against its own layer's executable: a fault that only
  a higher layer's tests would notice survives here)

operators:
  relational/equality  < <-> >=, > <-> <=, == <-> !=
  logical              && <-> ||
  negate               if (X) -> if (!(X))
  constant             a decimal integer constant +1 or -1
  delete               a whole simple statement line (call, assignment,
                       increment), never a declaration, return, jump or brace
  Comments, literals, preprocessor lines, '<<', '>>', '->', '<=>' and
  template angle brackets are never mutated; unsure points are skipped.

what happens per mutant:
  the file is changed in place (its original bytes first saved to
  BUILD_DIR/mutant-in-place.json), the layer's test targets are rebuilt with
  'cmake --build BUILD_DIR -j JOBS --target ...', each test executable runs
  with --gtest_brief=1 and GTEST_SHUFFLE=0 under --timeout, stopping at the
  first failing one, and the original file is written back, also on Ctrl+C,
  SIGTERM or an exception.  A run killed with SIGKILL is repaired from the
  journal the next time the script starts (or with --restore).

output:
  one line per mutant, 'killed|survived|no-build FILE:LINE: original -> mutated',
  then the counts and the score killed / (killed + survived).

the sample behind docs/testing.md:
  scripts/mutate.py --seed 17 --count 66 --files 'profile/*.cpp' 'session/*.cpp' 'app/*.cpp'
""")
    parser.add_argument("--replay", metavar="REPORT",
                        help="run again the killed mutants of an earlier --json report (same "
                             "sources, changed tests) instead of a new sample: a kill the tests "
                             "lost shows as 'survived'")
    parser.add_argument("--killed-by", nargs="+", metavar="GLOB",
                        help="with --replay: only the mutants one of whose failed checks is in "
                             "a test file matching a glob (relative to tests/), e.g. 'ui/wx/*'")
    parser.add_argument("--files", nargs="+", metavar="GLOB",
                        help="source files to mutate, globs relative to the repository root "
                             "(quote them), e.g. 'profile/*.cpp' 'session/*.cpp'")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED,
                        help=f"seed of the sample; the same seed on the same sources picks the same "
                             f"mutants (default {DEFAULT_SEED})")
    parser.add_argument("--count", type=int, default=DEFAULT_COUNT,
                        help=f"how many mutants to pick (default {DEFAULT_COUNT})")
    parser.add_argument("--build-dir", default=DEFAULT_BUILD_DIR,
                        help=f"build directory of its own, configured on first use with Ninja, Debug "
                             f"and ccache when installed (default {DEFAULT_BUILD_DIR})")
    parser.add_argument("--jobs", "-j", type=int, default=2, help="build jobs (default 2)")
    parser.add_argument("--timeout", type=int, default=DEFAULT_TIMEOUT,
                        help=f"seconds one test executable may run before the mutant counts as "
                             f"killed (default {DEFAULT_TIMEOUT})")
    parser.add_argument("--json", metavar="FILE", help="also write a JSON report to FILE")
    parser.add_argument("--log", metavar="FILE",
                        help="build and test output (default BUILD_DIR/mutate.log)")
    parser.add_argument("--dry-run", action="store_true",
                        help="list the chosen mutants and exit without building")
    parser.add_argument("--restore", action="store_true",
                        help="only put back a file an interrupted run left mutated, then exit")
    args = parser.parse_args(argv)
    if not args.restore and not args.files and not args.replay:
        parser.error("--files or --replay is required")
    if args.killed_by and not args.replay:
        parser.error("--killed-by needs --replay")
    if args.count < 1:
        parser.error("--count must be at least 1")
    return args


def write_report(path, argv, mutants, counts, score, total_points, seconds):
    report = {
        # The command as given, with the variables that change what the tests do.
        "command": " ".join(
            [f"{name}={shlex.quote(value)}" for name, value in sorted(os.environ.items())
             if name.startswith("SESSIONDECK_")]
            + ["scripts/mutate.py", shlex.join(argv)]),
        "commit": git_head(),
        "candidate_points": total_points,
        "counts": counts,
        "score": score,
        "seconds": round(seconds, 1),
        "mutants": [
            {"status": m.status, "file": m.path, "line": m.line, "kind": m.kind,
             "original": m.original.strip(), "mutated": m.mutated.strip(), "detail": m.detail,
             "killed_by": m.killed_by, "seconds": round(m.seconds, 1)}
            for m in mutants
        ],
    }
    with open(path, "w", encoding="utf-8") as f:
        json.dump(report, f, indent=2)
        f.write("\n")


def git_head():
    try:
        out = subprocess.run(["git", "rev-parse", "HEAD"], cwd=ROOT, capture_output=True, text=True)
        return out.stdout.strip()
    except OSError:
        return ""


def main(argv):
    args = parse_args(argv)
    build_dir = args.build_dir
    journal = Journal(os.path.join(ROOT, build_dir))
    for signum in HANDLED_SIGNALS:
        signal.signal(signum, on_signal)
    journal.restore_leftover()
    if args.restore:
        return 0

    if args.replay:
        mutants, total_points = replayed(args.replay, args.killed_by)
        files = sorted({m.path for m in mutants})
    else:
        files = expand_files(args.files)
        mutants, total_points = choose(files, args.seed, args.count)
    if args.dry_run:
        for m in mutants:
            print(f"{m.kind:10} {m.describe()}")
        source = f"replayed from {args.replay}" if args.replay else f"seed {args.seed}"
        print(f"{len(mutants)} of {total_points} mutation points in {len(files)} files "
              f"({source})")
        return 0

    log_path = args.log or os.path.join(ROOT, build_dir, "mutate.log")
    os.makedirs(os.path.dirname(os.path.abspath(log_path)), exist_ok=True)
    started = time.monotonic()
    env = test_env()
    counts = {"killed": 0, "survived": 0, "no-build": 0}
    done = []
    with open(log_path, "ab") as log:
        try:
            configure(build_dir, log)
            all_targets = sorted({t for rel in files for t in targets_for(rel)})
            print(f"mutate: baseline build and run of {' '.join(all_targets)}", flush=True)
            if not build(build_dir, all_targets, args.jobs, log):
                raise SystemExit(f"mutate: the unmutated code does not build; see {log_path}")
            passed, detail, _ = run_tests(build_dir, all_targets, args.timeout, log, env)
            if not passed:
                raise SystemExit(f"mutate: the unmutated tests fail ({detail}); see {log_path}")
            print(f"mutate: baseline passes; {len(mutants)} mutants of {total_points} points",
                  flush=True)
            for m in mutants:
                path = os.path.join(ROOT, m.path)
                with open(path, "rb") as f:
                    original = f.read()
                lines = original.decode("utf-8").split("\n")
                if lines[m.line - 1] != m.original:
                    raise SystemExit(f"mutate: {m.location()} changed while running")
                if m.kind == "delete":
                    del lines[m.line - 1]
                else:
                    lines[m.line - 1] = m.mutated
                journal.record(m.path, original)
                begin = time.monotonic()
                log.write(f"\n==== {m.describe()}\n".encode())
                log.flush()
                try:
                    write_bytes(path, "\n".join(lines).encode("utf-8"))
                    targets = targets_for(m.path)
                    if not build(build_dir, targets, args.jobs, log):
                        m.status = "no-build"
                    else:
                        passed, m.detail, m.killed_by = run_tests(build_dir, targets,
                                                                  args.timeout, log, env)
                        m.status = "survived" if passed else "killed"
                finally:
                    # A second Ctrl+C must not cut the restore short.
                    blocked = signal.pthread_sigmask(signal.SIG_BLOCK, HANDLED_SIGNALS)
                    try:
                        write_bytes(path, original)
                        journal.clear()
                    finally:
                        signal.pthread_sigmask(signal.SIG_SETMASK, blocked)
                m.seconds = time.monotonic() - begin
                counts[m.status] += 1
                done.append(m)
                print(f"{m.status} {m.describe()}", flush=True)
                for check in m.killed_by:
                    print(f"    by {check}", flush=True)
        except Interrupted as signal_name:
            print(f"mutate: stopped by {signal_name}; the sources are restored", file=sys.stderr)
            if not done:
                return 130
        seconds = time.monotonic() - started
    scored = counts["killed"] + counts["survived"]
    score = counts["killed"] / scored if scored else 0.0
    print(f"killed {counts['killed']}, survived {counts['survived']}, "
          f"no-build {counts['no-build']} of {len(done)} mutants; "
          f"score {counts['killed']}/{scored} = {score:.1%}; {seconds / 60:.1f} min")
    if args.json:
        write_report(args.json, argv, done, counts, round(score, 4), total_points, seconds)
    return 0 if len(done) == len(mutants) else 130


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
