#!/usr/bin/env python3
"""Writes a large, reproducible domain list for the benchmarks.

The same seed and count always give the same bytes: host names shaped like those of real
lists (two to four labels of lower-case letters, digits and hyphens under a common top-level
domain), with a small share of repeated hosts, one per line feed, ending in a line feed.
"""
import argparse
import random

TOP_LEVEL = ["com", "net", "org", "de", "fr", "ru", "info", "biz", "io", "co.uk", "xyz", "online"]
LETTERS = "abcdefghijklmnopqrstuvwxyz"
LABEL_CHARACTERS = LETTERS * 3 + "0123456789-"


def label(rng):
    length = rng.randint(3, 14)
    text = rng.choice(LETTERS) + "".join(rng.choices(LABEL_CHARACTERS, k=length - 1))
    return text.strip("-") or "x"


def host(rng):
    labels = [label(rng) for _ in range(rng.choice((1, 1, 1, 2, 2, 3)))]
    return ".".join(labels + [rng.choice(TOP_LEVEL)])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("output")
    parser.add_argument("--lines", type=int, default=5_000_000)
    parser.add_argument("--seed", type=int, default=20240601)
    parser.add_argument("--repeat-share", type=float, default=0.02)
    arguments = parser.parse_args()

    rng = random.Random(arguments.seed)
    written = []
    with open(arguments.output, "w", encoding="utf-8", newline="\n") as out:
        batch = []
        for _ in range(arguments.lines):
            if written and rng.random() < arguments.repeat_share:
                name = written[rng.randrange(len(written))]
            else:
                name = host(rng)
                written.append(name)
            batch.append(name)
            if len(batch) == 100_000:
                out.write("\n".join(batch) + "\n")
                batch.clear()
        if batch:
            out.write("\n".join(batch) + "\n")


if __name__ == "__main__":
    main()
