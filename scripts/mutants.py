#!/usr/bin/env python3
"""A small mutation run: does the test suite notice simple faults in the library and the host's Hyper-V rules?

Each mutant is one simple fault put into one line of src/Velmora or src/HyperVSim/hyperv:

  negate    if (c)          -> if (!(c))
  flip      return true;    -> return false;  (and back)
  compare   == != < <= > >= -> the operator next to it (== and != swap, < and <=, > and >=)
  text      "Text"          -> one character of the literal changed
  drop      call(...);      -> the whole statement removed
  constant  42              -> 43

Mutants are named by a hash of their file, operator, the line's text and which of the operator's places in the
line it is; line numbers take no part, so an edit elsewhere in a file does not change the name of a mutant.
The sample is every mutant whose name, mixed with the seed, hashes below a share (6 % by default): the same
lines give the same sample, and an edit of one line changes only that line's part of it.

For each mutant of the sample: write the faulty line, build (build/mutants, the default preset's settings),
run ctest (stopping at the first failure), put the line back. A mutant is caught when the build succeeds and a
test fails or times out; one that does not compile is left out of the figures. Results go to
build/mutants/results.jsonl, one line per mutant, so that an interrupted run goes on where it stopped
(--resume).

    scripts/mutants.py --list                # the sample, without running it
    scripts/mutants.py                       # run the sample (about a minute per mutant on two cores)
    scripts/mutants.py --only 3f2a9c01d4     # run one mutant
    scripts/mutants.py --report              # the figures and the survivors of the last run
"""

import argparse
import hashlib
import json
import os
import re
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SCOPES = [ROOT / "src" / "Velmora", ROOT / "src" / "HyperVSim" / "hyperv"]
DEFAULT_PERCENT = 6.0
DEFAULT_SEED = "velmora"


@dataclass
class Mutant:
    ident: str
    path: Path
    line: int  # 1-based, in the file as it is now
    operator: str
    before: str
    after: str

    def describe(self) -> str:
        rel = self.path.relative_to(ROOT)
        return f"{self.ident} {rel}:{self.line} {self.operator}: {self.before.strip()}  =>  {self.after.strip()}"


def code_mask(text: str) -> list:
    """Per character: 'c' code, 's' inside a string or character literal (quotes included), '/' comment."""
    mask = [""] * len(text)
    i, n = 0, len(text)
    while i < n:
        ch = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            mask[i:j] = "/" * (j - i)
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            mask[i:j] = "/" * (j - i)
            i = j
        elif ch in "\"'":
            j = i + 1
            while j < n and text[j] != ch and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            mask[i:j] = "s" * (j - i)
            i = j
        else:
            mask[i] = "c"
            i += 1
    return mask


def matching_paren(line: str, lmask: str, open_at: int) -> int:
    depth = 0
    for k in range(open_at, len(line)):
        if lmask[k] != "c":
            continue
        if line[k] == "(":
            depth += 1
        elif line[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


COMPARE_SWAP = {"==": "!=", "!=": "==", "<=": "<", ">=": ">", "<": "<=", ">": ">="}
CALL_STATEMENT = re.compile(r"^\s*[A-Za-z_][\w:]*(\s*(\.|->)\s*[A-Za-z_]\w*)*\s*\(.*\)\s*;\s*$")
NOT_CALLS = {"return", "if", "while", "for", "switch", "case", "static_assert", "delete", "throw", "co_return"}
INTEGER = re.compile(r"(?<![\w.])(\d+)(?![\w.])")
COMPARISON = re.compile(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)")


def line_mutations(line: str, lmask: str, starts_statement: bool):
    """(operator, mutated line) for every simple fault this line can take, in order of position."""
    if line.lstrip().startswith("#") or "static_assert" in line:
        return
    # negate
    for m in re.finditer(r"\bif\s*\(", line):
        if lmask[m.start()] != "c":
            continue
        open_at = m.end() - 1
        close_at = matching_paren(line, lmask, open_at)
        if close_at > open_at + 1:
            cond = line[open_at + 1 : close_at]
            yield "negate", line[: open_at + 1] + "!(" + cond + ")" + line[close_at:]
    # flip
    for word, other in (("true", "false"), ("false", "true")):
        for m in re.finditer(r"\breturn\s+" + word + r"\s*;", line):
            if lmask[m.start()] == "c":
                yield "flip", line[: m.start()] + line[m.start() : m.end()].replace(word, other) + line[m.end() :]
    # compare (spaced binary operators only, so that templates and shifts are left alone)
    for m in COMPARISON.finditer(line):
        if lmask[m.start()] == "c" and "template" not in line:
            yield "compare", line[: m.start()] + COMPARE_SWAP[m.group(1)] + line[m.end() :]
    # text: the first letter of a literal with at least three letters
    for m in re.finditer(r'L?"((?:[^"\\]|\\.)*)"', line):
        if lmask[m.start()] != "s" and not (line[m.start()] == "L" and lmask[m.start() + 1] == "s"):
            continue
        body_start = m.start(1)
        letters = [k for k in range(body_start, m.end(1)) if line[k].isalpha() and line[k - 1] != "\\"]
        if len(letters) >= 3:
            # Another letter, not another case: WMI names are compared without regard to case.
            k = letters[0]
            repl = "q" if line[k].lower() != "q" else "z"
            yield "text", line[:k] + (repl.upper() if line[k].isupper() else repl) + line[k + 1 :]
    # drop
    stripped = line.strip()
    first_word = re.match(r"[A-Za-z_]\w*", stripped)
    if (
        starts_statement
        and CALL_STATEMENT.match(line)
        and first_word
        and first_word.group(0) not in NOT_CALLS
        and all(c == "c" for c, ch in zip(lmask, line) if ch == ";")
    ):
        indent = line[: len(line) - len(line.lstrip())]
        yield "drop", indent + ";\n"
    # constant
    for m in INTEGER.finditer(line):
        if lmask[m.start()] == "c":
            yield "constant", line[: m.start()] + str(int(m.group(1)) + 1) + line[m.end() :]


def all_mutants(compiled: set) -> list:
    """Every mutant of the headers and of the sources that this build compiles (not the Windows-only ones)."""
    mutants = []
    for scope in SCOPES:
        for path in sorted(scope.rglob("*")):
            if path.suffix not in (".cpp", ".h") or (path.suffix == ".cpp" and path not in compiled):
                continue
            text = path.read_text()
            mask = "".join(code_mask(text))
            offset = 0
            last_code = ";"  # the last code character before this line: does a statement start here?
            windows_only = []  # per open #if: is this branch compiled for Windows only?
            for number, line in enumerate(text.splitlines(keepends=True), start=1):
                lmask = mask[offset : offset + len(line)]
                offset += len(line)
                directive = line.strip()
                if directive.startswith("#if"):
                    windows_only.append(bool(re.match(r"#\s*if(def\s+_WIN32|\s+defined\(_WIN32\))", directive)))
                elif directive.startswith("#else") and windows_only:
                    windows_only[-1] = False
                elif directive.startswith("#endif") and windows_only:
                    windows_only.pop()
                if any(windows_only):
                    continue
                seen = {}
                starts_statement = last_code in ";{}:"
                code = [ch for ch, kind in zip(line, lmask) if kind in ("c", "s") and not ch.isspace()]
                if code and not line.lstrip().startswith("#"):
                    last_code = code[-1]
                for operator, after in line_mutations(line, lmask, starts_statement):
                    if after == line:
                        continue
                    nth = seen.get(operator, 0)
                    seen[operator] = nth + 1
                    key = f"{path.relative_to(ROOT)}\0{operator}\0{line.strip()}\0{nth}"
                    ident = hashlib.sha1(key.encode()).hexdigest()[:10]
                    mutants.append(Mutant(ident, path, number, operator, line, after))
    return mutants


def sample(mutants: list, percent: float, seed: str) -> list:
    """Each mutant is in the sample when its name, mixed with the seed, hashes below the share: whether one
    mutant is in does not depend on the others, so new or changed lines elsewhere leave the rest of the sample as
    it was."""

    def in_sample(m: Mutant) -> bool:
        rank = int(hashlib.sha1((seed + m.ident).encode()).hexdigest()[:8], 16)
        return rank < percent / 100 * 0x100000000

    chosen = [m for m in mutants if in_sample(m)]
    return sorted(chosen, key=lambda m: (str(m.path), m.line, m.ident))


def run(cmd: list, timeout: float, log) -> tuple:
    """(exit status or 'timeout', seconds). The whole process group goes when the time is up."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=ROOT, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    try:
        status = proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        status = "timeout"
    return status, time.monotonic() - start


class Workspace:
    def __init__(self, build_dir: Path, test_timeout: int, exclude: str):
        self.build_dir = build_dir
        self.test_timeout = test_timeout
        self.exclude = exclude
        build_dir.mkdir(parents=True, exist_ok=True)
        self.log_path = build_dir / "last.log"

    def configure(self):
        if (self.build_dir / "compile_commands.json").exists():
            return
        with open(self.build_dir / "configure.log", "w") as log:
            status, _ = run(["cmake", "--preset", "default", "-B", str(self.build_dir)], 600, log)
        if status != 0:
            sys.exit(f"configure failed: see {self.build_dir / 'configure.log'}")

    def compiled_sources(self) -> set:
        commands = json.loads((self.build_dir / "compile_commands.json").read_text())
        return {Path(entry["file"]).resolve() for entry in commands}

    def build(self, log) -> bool:
        status, _ = run(["cmake", "--build", str(self.build_dir)], 1800, log)
        return status == 0

    def test(self, log):
        cmd = ["ctest", "--test-dir", str(self.build_dir), "-j2", "--stop-on-failure", "--timeout",
               str(self.test_timeout)]
        if self.exclude:
            cmd += ["-E", self.exclude]
        return run(cmd, self.test_timeout * 4, log)


def try_mutant(ws: Workspace, m: Mutant) -> dict:
    original = m.path.read_text()
    lines = original.splitlines(keepends=True)
    if lines[m.line - 1] != m.before:
        return {"id": m.ident, "outcome": "stale"}
    lines[m.line - 1] = m.after
    record = {"id": m.ident, "file": str(m.path.relative_to(ROOT)), "line": m.line, "operator": m.operator,
              "before": m.before.strip(), "after": m.after.strip()}
    try:
        m.path.write_text("".join(lines))
        with open(ws.log_path, "w") as log:
            if not ws.build(log):
                record["outcome"] = "not built"
                return record
            status, seconds = ws.test(log)
        record["seconds"] = round(seconds, 1)
        record["outcome"] = "survived" if status == 0 else "caught"
        if status == "timeout":
            record["outcome"] = "caught (timeout)"
    finally:
        m.path.write_text(original)
    return record


def load_results(path: Path) -> dict:
    results = {}
    if path.exists():
        for line in path.read_text().splitlines():
            if line.strip():
                record = json.loads(line)
                results[record["id"]] = record
    return results


def report(chosen: list, results: dict) -> int:
    counted = [results[m.ident] for m in chosen if m.ident in results]
    caught = [r for r in counted if r["outcome"].startswith("caught")]
    survived = [r for r in counted if r["outcome"] == "survived"]
    unbuilt = [r for r in counted if r["outcome"] == "not built"]
    missing = len(chosen) - len(counted)
    print(f"sample {len(chosen)}: caught {len(caught)} of {len(caught) + len(survived)} that built"
          f" ({len(unbuilt)} did not build{f', {missing} not run' if missing else ''})")
    by_operator = {}
    for r in counted:
        if r["outcome"] != "not built":
            total, hit = by_operator.get(r["operator"], (0, 0))
            by_operator[r["operator"]] = (total + 1, hit + r["outcome"].startswith("caught"))
    print("  " + ", ".join(f"{op} {hit}/{total}" for op, (total, hit) in sorted(by_operator.items())))
    for r in survived:
        print(f"survived {r['id']} {r['file']}:{r['line']} {r['operator']}: {r['before']}  =>  {r['after']}")
    return 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--percent", type=float, default=DEFAULT_PERCENT, help="share of all mutants sampled")
    parser.add_argument("--seed", default=DEFAULT_SEED, help="mixed into the choice of the sample")
    parser.add_argument("--build-dir", type=Path, default=ROOT / "build" / "mutants")
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    parser.add_argument("--only", nargs="+", metavar="ID", help="run these mutants (from the whole set)")
    parser.add_argument("--resume", action="store_true", help="keep the results of an earlier run")
    parser.add_argument("--report", action="store_true", help="print the figures of the last run")
    parser.add_argument("--test-timeout", type=int, default=300, help="seconds per test program")
    parser.add_argument("--exclude", default="", help="ctest -E: tests left out of every run")
    args = parser.parse_args()

    ws = Workspace(args.build_dir, args.test_timeout, args.exclude)
    ws.configure()
    everything = all_mutants(ws.compiled_sources())
    chosen = sample(everything, args.percent, args.seed)
    if args.only:
        chosen = [m for m in everything if m.ident in set(args.only)]
    results_path = args.build_dir / "results.jsonl"

    if args.list:
        counts = {}
        for m in everything:
            counts[m.operator] = counts.get(m.operator, 0) + 1
        print(f"{len(everything)} mutants in all ({', '.join(f'{k} {v}' for k, v in sorted(counts.items()))});"
              f" sample of {len(chosen)}:")
        for m in chosen:
            print(m.describe())
        return 0
    if args.report:
        return report(chosen, load_results(results_path))

    results = load_results(results_path) if args.resume else {}
    if not args.resume and not args.only:
        results_path.unlink(missing_ok=True)
        with open(ws.log_path, "w") as log:
            if not ws.build(log) or ws.test(log)[0] != 0:
                sys.exit(f"the unchanged sources do not build or pass: see {ws.log_path}")

    # Put the file back however the run ends.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    for index, m in enumerate(chosen, start=1):
        if m.ident in results and not args.only:
            continue
        record = try_mutant(ws, m)
        results[m.ident] = record
        with open(results_path, "a") as out:
            out.write(json.dumps(record) + "\n")
        print(f"[{index}/{len(chosen)}] {record['outcome']:<17} {m.describe()}", flush=True)
    with open(ws.log_path, "w") as log:
        ws.build(log)
    return report(chosen, results)


if __name__ == "__main__":
    sys.exit(main())
