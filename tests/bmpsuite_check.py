#!/usr/bin/env python3
"""bmpsuite_check.py OLVO_BMP SUITE_DIR -- runs olvo-bmp over a BMP test suite and checks each file against the
suite's expected.jsonl."""
import hashlib
import json
import os
import subprocess
import sys
import tempfile

# Files where the program's own rule chooses one result and the suite accepts another: only the size is checked.
OWN_RULE = {
    "b/pal8badindex.bmp": "an index past the colour table gives black",
}


def failures(tool, suite, case, out):
    """What is wrong with the tool's result for one case of expected.jsonl; `out` doesn't exist yet."""
    name, expect = case["file"], case["expect"]
    run = subprocess.run([tool, os.path.join(suite, name), out], capture_output=True, text=True, timeout=60)
    message = run.stderr.rstrip("\n")
    if run.returncode != 0:
        found = [f"exit code {run.returncode}, want 0 or 1"] if run.returncode != 1 else []
        if os.path.exists(out):
            found.append(f"refused but wrote {out}")
        if expect == "decode":
            found.append(f"refused with {message!r}, must decode")
        elif "message" in case and message != case["message"]:
            found.append(f"message {message!r}, want {case['message']!r}")
        elif not message:
            found.append("refused without a message")
        return found
    with open(out, "rb") as f:
        got = (*map(int, run.stdout.strip().split("x")), hashlib.sha256(f.read()).hexdigest())
    accepted = {(a["width"], a["height"], a["rgb_sha256"]) for a in case.get("accept", [])}
    if expect == "refuse":
        return ["decoded, but must be refused"]
    if name in OWN_RULE:
        return [] if got[:2] in {a[:2] for a in accepted} else [f"decoded {got[0]}x{got[1]}, not an accepted size"]
    if accepted and got not in accepted:
        return [f"decoded {got[0]}x{got[1]} with pixels {got[2][:16]}..., not an accepted result"]
    return []


def main(tool, suite):
    expected_path = os.path.join(suite, "expected.jsonl")
    if not os.path.exists(expected_path):
        print(f"SKIP: no BMP suite at {suite} (it lives beside the project, in ../shared/corpus)")
        return 77
    with open(expected_path) as lines, tempfile.TemporaryDirectory() as scratch:
        cases = [json.loads(line) for line in lines]
        found = [f"{case['file']}: {problem}" for i, case in enumerate(cases)
                 for problem in failures(tool, suite, case, os.path.join(scratch, f"{i}.raw"))]
    print(f"{len(cases)} files checked")
    for failure in found:
        print("FAIL:", failure)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
