"""The rounds recorded on each target (tests/data/rounds) and the one line `--verify` must print for each,
the same on every target: the test of each target replays all of them."""
import os
import re

ROUNDS_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "rounds")
ROUNDS = ("linux.qrec", "windows.qrec", "page.qrec")


def expected_lines():
    """{round's file name: its verify line without the path}, for every round of every target."""
    lines = {}
    with open(os.path.join(ROUNDS_DIR, "verify-lines.txt")) as f:
        for line in f:
            name, _, rest = line.rstrip("\n").partition(": ")
            lines[name] = rest
    assert sorted(lines) == sorted(ROUNDS), "verify-lines.txt names %s" % sorted(lines)
    return lines


def verify_line(out, shown_path):
    """The line `--verify` printed, without the path it printed for the round (as the target names it)."""
    assert out.endswith("\n") and out.count("\n") == 1, "not one line: %r" % out
    assert out.startswith(shown_path + ": "), (shown_path, out)
    rest = out[len(shown_path) + 2:-1]
    assert re.fullmatch(r"\d+ frames, \d+ rounds, best score -?\d+, high score \d+, checksums: all \d+ agree",
                        rest), rest
    return rest

