#!/usr/bin/env python3
"""Fails when an include runs back up the layers of src/: base below
catalogue, below media, export and browse, below app, below cli; core files (outside widgets/) never
include windows; the command line never includes the desktop program."""
import os
import re
import sys

RANK = {"base": 0, "catalogue": 1, "media": 2, "export": 2, "browse": 2, "app": 3, "cli": 4}


def wrong_includes(src):
    for root, _, files in os.walk(src):
        for name in files:
            path = os.path.relpath(os.path.join(root, name), src)
            layer = path.split(os.sep)[0]
            window = os.sep + "widgets" + os.sep in path
            with open(os.path.join(src, path), encoding="utf-8") as text:
                for number, line in enumerate(text, 1):
                    found = re.match(r'#include "([^"]+)"', line)
                    if not found:
                        continue
                    target = found.group(1)
                    target_layer = target.split("/")[0]
                    if target_layer not in RANK or layer not in RANK:
                        continue
                    upward = RANK[target_layer] > RANK[layer]
                    desktop_from_shell = layer == "cli" and target_layer == "app"
                    window_into_core = "/widgets/" in target and not window and path != os.path.join("app", "main.cpp")
                    if upward or desktop_from_shell or window_into_core:
                        yield f"{path}:{number}: {target}"


def unranked_folders(src):
    # A folder the ranks do not name would go unchecked.
    for name in sorted(os.listdir(src)):
        if os.path.isdir(os.path.join(src, name)) and name not in RANK:
            yield f"{name}/: a folder of src/ with no layer"


if __name__ == "__main__":
    found = list(wrong_includes(sys.argv[1])) + list(unranked_folders(sys.argv[1]))
    for line in found:
        print(line)
    print(f"{0 if found else 1} passed, {1 if found else 0} failed")
    sys.exit(1 if found else 0)
