"""Writes spiral.csv: three interleaved spiral arms of 100 points each in the plane, with a little
noise. Deterministic; run it again to rebuild the file."""

import math
import random
from pathlib import Path


def main() -> None:
    rng = random.Random(2024)
    rows = ["x,y,label"]
    for label in range(3):
        for i in range(100):
            r = i / 100 + 0.05
            t = label * 2 * math.pi / 3 + 1.75 * 2 * math.pi * i / 100 + rng.gauss(0, 0.12)
            rows.append(f"{r * math.cos(t):.6f},{r * math.sin(t):.6f},{label}")
    (Path(__file__).resolve().parent / "spiral.csv").write_text("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
