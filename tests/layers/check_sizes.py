#!/usr/bin/env python3
"""Fails when a source file of src/ runs over 400 lines or a function body
over 60. A function body is a block whose opening brace ends a line that
starts at namespace level (column 0) and whose closing brace stands alone
at column 0; lambdas and classes inside it count towards it."""
import os
import re
import sys

MAX_FILE = 400
MAX_FUNCTION = 60
NOT_A_FUNCTION = re.compile(r"^(namespace|class|struct|enum|union|extern)\b|=\s*\{?$")


def oversized(src):
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(root, name)
            rel = os.path.relpath(path, src)
            with open(path, encoding="utf-8") as text:
                lines = text.read().split("\n")
            if lines and lines[-1] == "":
                lines.pop()
            if len(lines) > MAX_FILE:
                yield f"{rel}: {len(lines)} lines"
            yield from long_functions(rel, lines)


def long_functions(rel, lines):
    start = None
    head = ""
    for number, line in enumerate(lines, 1):
        if start is None:
            if line != "{" and line and not line[0].isspace() and line.rstrip().endswith("{") \
                    and not NOT_A_FUNCTION.search(line.strip()):
                start, head = number, line.strip()
            elif line == "{" and number > 1 and not NOT_A_FUNCTION.search(lines[number - 2].strip()):
                start, head = number, lines[number - 2].strip()
        elif line.startswith("}"):
            body = number - start - 1
            if body > MAX_FUNCTION:
                yield f"{rel}:{start}: {body} lines: {head[:70]}"
            start = None


if __name__ == "__main__":
    found = list(oversized(sys.argv[1]))
    for line in found:
        print(line)
    print(f"{0 if found else 1} passed, {1 if found else 0} failed")
    sys.exit(1 if found else 0)
