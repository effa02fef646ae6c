"""Per-test coverage: which lines and branches each test alone reaches.

report DIR           writes DIR/report.tsv and prints how many tests reach nothing of their own
lost DIR PATTERN...  prints what the tests matching the fnmatch patterns alone reach
"""
import collections
import fnmatch
import os
import pickle
import sys


def read_lcov(path, root):
    lines, branches, source = set(), set(), None
    with open(path) as lcov:
        for record in lcov:
            if record.startswith("SF:"):
                source = os.path.relpath(record[3:].strip(), root)
            elif record.startswith("DA:"):
                line, count = record[3:].split(",")[:2]
                if int(count) > 0:
                    lines.add((source, int(line)))
            elif record.startswith("BRDA:"):
                line, block, branch, taken = record[5:].strip().split(",")
                if taken not in ("-", "0"):
                    branches.add((source, int(line), block, branch))
    return lines, branches


def load(out):
    cache = os.path.join(out, "coverage.pickle")
    if os.path.exists(cache):
        with open(cache, "rb") as f:
            return pickle.load(f)
    root = os.getcwd()
    coverage = {}
    with open(os.path.join(out, "tests.tsv")) as tests:
        for row in tests:
            index, name = row.rstrip("\n").split("\t")
            coverage[name] = read_lcov(os.path.join(out, "lcov", index + ".lcov"), root)
    with open(cache, "wb") as f:
        pickle.dump(coverage, f)
    return coverage


def reach_counts(coverage):
    lines, branches = collections.Counter(), collections.Counter()
    for test_lines, test_branches in coverage.values():
        lines.update(test_lines)
        branches.update(test_branches)
    return lines, branches


def droppable(coverage, lines, branches):
    """Tests a greedy walk, largest reach first, can drop while every point stays reached."""
    lines, branches = collections.Counter(lines), collections.Counter(branches)
    dropped = set()
    for name in sorted(coverage, key=lambda n: -len(coverage[n][0])):
        test_lines, test_branches = coverage[name]
        if all(lines[p] > 1 for p in test_lines) and all(branches[p] > 1 for p in test_branches):
            lines.subtract(test_lines)
            branches.subtract(test_branches)
            dropped.add(name)
    return dropped


def report(out):
    coverage = load(out)
    lines, branches = reach_counts(coverage)
    dropped = droppable(coverage, lines, branches)
    path = os.path.join(out, "report.tsv")
    with open(path, "w") as f:
        f.write("test\tlines\tbranches\tonly-lines\tonly-branches\tdroppable\n")
        for name in sorted(coverage):
            test_lines, test_branches = coverage[name]
            only_lines = sum(1 for p in test_lines if lines[p] == 1)
            only_branches = sum(1 for p in test_branches if branches[p] == 1)
            flag = "yes" if name in dropped else ""
            f.write(f"{name}\t{len(test_lines)}\t{len(test_branches)}\t"
                    f"{only_lines}\t{only_branches}\t{flag}\n")
    alone = sum(1 for n in coverage if all(lines[p] > 1 for p in coverage[n][0])
                and all(branches[p] > 1 for p in coverage[n][1]))
    print(f"{len(coverage)} tests reach {len(lines)} lines and {len(branches)} branches;")
    print(f"{alone} reach nothing of their own; {len(dropped)} could go together: {path}")


def source_line(path, number):
    try:
        with open(path) as f:
            return f.read().split("\n")[number - 1].strip()
    except (OSError, IndexError):
        return ""


def lost(out, patterns):
    coverage = load(out)
    chosen = {n for n in coverage if any(fnmatch.fnmatchcase(n, p) for p in patterns)}
    if not chosen:
        sys.exit("coverage-per-test: no test matches")
    kept_lines, kept_branches = set(), set()
    for name, (test_lines, test_branches) in coverage.items():
        if name not in chosen:
            kept_lines |= test_lines
            kept_branches |= test_branches
    lost_lines = sorted(set().union(*(coverage[n][0] for n in chosen)) - kept_lines)
    lost_branches = sorted(set().union(*(coverage[n][1] for n in chosen)) - kept_branches)
    print(f"{len(chosen)} tests match")
    print(f"lines only they reach: {len(lost_lines)}")
    for path, number in lost_lines:
        print(f"  {path}:{number}: {source_line(path, number)}")
    print(f"branches only they reach: {len(lost_branches)}")
    for path, number, block, branch in lost_branches:
        print(f"  {path}:{number} ({block}/{branch}): {source_line(path, number)}")


if __name__ == "__main__":
    command, out = sys.argv[1], sys.argv[2]
    if command == "report":
        report(out)
    elif command == "lost":
        lost(out, sys.argv[3:])
    else:
        sys.exit(__doc__)
