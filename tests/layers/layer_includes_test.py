#!/usr/bin/env python3
"""Lists every include that crosses a layer and fails on one that climbs.

Arguments: the source folder, then one "layer=seen,seen,..." per layer as the
build declares it (a layer sees itself and the layers below it).
"""
import collections
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/[^"]+"', re.M)


def main():
    src = pathlib.Path(sys.argv[1])
    sees = {}
    for declared in sys.argv[2:]:
        layer, _, seen = declared.partition("=")
        sees[layer] = set(seen.split(","))
    crossings = collections.Counter()
    climbs = []
    for layer, seen in sorted(sees.items()):
        for path in sorted((src / layer).glob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            text = path.read_text(encoding="utf-8")
            for match in INCLUDE.finditer(text):
                target = match.group(1)
                if target == layer or target not in sees:
                    continue
                crossings[(layer, target)] += 1
                if target not in seen:
                    line = text.count("\n", 0, match.start()) + 1
                    climbs.append(f"{path.relative_to(src)}:{line}: {layer} includes {match.group(0).strip()}")
    unknown = sorted(p.name for p in src.iterdir() if p.is_dir() and p.name not in sees)
    for (layer, target), count in sorted(crossings.items()):
        print(f"{layer} -> {target}: {count}")
    for climb in climbs:
        print("climbs a layer: " + climb)
    for folder in unknown:
        print(f"src/{folder} is in no layer")
    return 1 if climbs or unknown else 0


if __name__ == "__main__":
    sys.exit(main())
