"""Runs every benchmark scenario side by side with its peer and prints the tables.

    python bench/run.py [--runs N] [--min-seconds S] [--only TEXT]

Each scenario runs twice, in two fresh interpreters: once with every library pinned to one thread
(the thread variables are set before anything is imported, and torch.set_num_threads(1)), once
with the libraries' default threads. Every file of this folder that holds a SCENARIOS list is a
benchmark file (see harness.py); files run in the order of their ORDER.
"""

from __future__ import annotations

import argparse
import ctypes
import importlib
import importlib.util
import json
import os
import platform
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
THREAD_VARIABLES = ("OPENBLAS_NUM_THREADS", "OMP_NUM_THREADS", "MKL_NUM_THREADS")
MODES = {
    "single": "One thread (OPENBLAS_NUM_THREADS=1, OMP_NUM_THREADS=1, MKL_NUM_THREADS=1, "
              "torch.set_num_threads(1))",
    "default": "Default threads",
}


def parse_args() -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=7, help="least number of timed runs per side (default 7)")
    parser.add_argument("--min-seconds", type=float, default=0.3,
                        help="least total time of our timed runs per scenario (default 0.3)")
    parser.add_argument("--only", default="", help="run only scenarios whose name contains this text")
    parser.add_argument("--child", choices=sorted(MODES), help=argparse.SUPPRESS)
    parser.add_argument("--out", help=argparse.SUPPRESS)
    return parser.parse_args()


def benchmark_files() -> list:
    sys.path.insert(0, str(HERE))
    modules = [importlib.import_module(p.stem) for p in sorted(HERE.glob("*.py"))
               if p.stem not in ("run", "harness")]
    return sorted((m for m in modules if hasattr(m, "SCENARIOS")), key=lambda m: getattr(m, "ORDER", 100))


def blas_of_cpp() -> str:
    try:
        lib = ctypes.CDLL("libopenblas.so.0")
        lib.openblas_get_config.restype = ctypes.c_char_p
        lib.openblas_get_corename.restype = ctypes.c_char_p
        return (f"{lib.openblas_get_config().decode()} (core {lib.openblas_get_corename().decode()}, "
                f"{lib.openblas_get_num_threads()} threads)")
    except (OSError, AttributeError):
        return "a CBLAS other than OpenBLAS"


def versions(mode: str) -> dict:
    import _cpp
    info = {"_cpp": f"{_cpp.__file__}; CBLAS {blas_of_cpp()}"}
    import numpy
    blas = numpy.__config__.CONFIG.get("Build Dependencies", {}).get("blas", {}) \
        if hasattr(numpy.__config__, "CONFIG") else {}
    threads = ""
    try:
        from threadpoolctl import threadpool_info
        threads = "; " + ", ".join(f"{p['internal_api']} {p['version']} {p['num_threads']} threads"
                                   for p in threadpool_info() if p["user_api"] == "blas")
    except ImportError:
        pass
    info["numpy"] = f"{numpy.__version__} ({blas.get('name', '?')} {blas.get('version', '')}{threads})"
    for name in ("sklearn", "torch"):
        if importlib.util.find_spec(name):
            module = importlib.import_module(name)
            extra = f" ({module.get_num_threads()} threads)" if name == "torch" else ""
            info[name] = module.__version__ + extra
        else:
            info[name] = "not installed"
    return info


def child(args: argparse.Namespace) -> None:
    if args.child == "single" and importlib.util.find_spec("torch"):
        import torch
        torch.set_num_threads(1)
    import _cpp
    from harness import measure

    results = []
    for module in benchmark_files():
        for sc in module.SCENARIOS:
            if args.only not in sc.name:
                continue
            row = {"name": sc.name, "library": sc.peer}
            missing = [n for n in sc.needs if not hasattr(_cpp, n)]
            if missing:
                row["skipped"] = f"_cpp has no {', '.join(missing)} yet"
            elif not importlib.util.find_spec(sc.peer):
                row["skipped"] = f"{sc.peer} is not installed"
            else:
                case = sc.build()
                ours, peer = measure(case, args.runs, args.min_seconds)
                row.update(ours=ours, peer=peer, per=case.per)
            print(f"  [{args.child}] {sc.name}: {row.get('skipped') or 'done'}", file=sys.stderr, flush=True)
            results.append(row)
    Path(args.out).write_text(json.dumps({"versions": versions(args.child), "rows": results}))


def run_mode(mode: str, args: argparse.Namespace) -> dict:
    env = {k: v for k, v in os.environ.items() if k not in THREAD_VARIABLES}
    if mode == "single":
        env.update({k: "1" for k in THREAD_VARIABLES})
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "results.json"
        command = [sys.executable, str(Path(__file__).resolve()), "--child", mode, "--out", str(out),
                   "--runs", str(args.runs), "--min-seconds", str(args.min_seconds), "--only", args.only]
        subprocess.run(command, env=env, check=True)
        return json.loads(out.read_text())


def time_text(seconds: float, per: int) -> str:
    if per:
        return f"{seconds / per * 1e9:.2f} ns/elt"
    if seconds >= 1.0:
        return f"{seconds:.3g} s"
    if seconds >= 1e-3:
        return f"{seconds * 1e3:.3g} ms"
    return f"{seconds * 1e6:.3g} µs"


def machine() -> str:
    cpu = platform.processor() or platform.machine()
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return f"{cpu}, {os.cpu_count()} cores; {platform.platform()}; Python {platform.python_version()}"


def main() -> None:
    args = parse_args()
    if args.child:
        child(args)
        return
    reports = {mode: run_mode(mode, args) for mode in MODES}
    print(f"Machine: {machine()}\n")
    for mode, title in MODES.items():
        report = reports[mode]
        print(f"## {title}\n")
        for name, version in report["versions"].items():
            print(f"- {name}: {version}")
        print("\n| scenario | ours | peer | peer / ours |\n|---|---:|---:|---:|")
        for row in report["rows"]:
            if "skipped" in row:
                print(f"| {row['name']} | skipped: {row['skipped']} | | |")
                continue
            ratio = row["peer"] / row["ours"] if row["ours"] > 0 else float("inf")
            print(f"| {row['name']} | {time_text(row['ours'], row['per'])} | "
                  f"{time_text(row['peer'], row['per'])} ({row['library']}) | {ratio:.2f} |")
        print()


if __name__ == "__main__":
    main()
