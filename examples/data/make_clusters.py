"""Writes clusters.csv: 180 points of four measurements from three overlapping kinds of plant.

Run from anywhere: python3 examples/data/make_clusters.py. The seed is fixed, so the file is the
same on every run.
"""

import random
from pathlib import Path

KINDS = {  # centre and spread of each measurement
    "fern": ([2.0, 1.0, 4.5, 0.8], [0.4, 0.3, 0.6, 0.2]),
    "moss": ([1.0, 0.4, 1.5, 0.3], [0.3, 0.1, 0.4, 0.1]),
    "sedge": ([2.8, 1.6, 5.5, 1.4], [0.5, 0.3, 0.7, 0.3]),
}


def main() -> None:
    rng = random.Random(20240601)
    lines = ["height,width,length,depth,kind"]
    for i in range(180):
        kind = list(KINDS)[i % 3]
        centre, spread = KINDS[kind]
        values = [max(0.05, rng.gauss(c, s)) for c, s in zip(centre, spread)]
        lines.append(",".join(f"{v:.2f}" for v in values) + f",{kind}")
    (Path(__file__).resolve().parent / "clusters.csv").write_text("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
