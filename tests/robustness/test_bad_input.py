"""Bad input at every entry point of the module never crashes it.

Every registered function, constructor, method, operator and property is called with wrong types,
wrong shapes, empty inputs, NaN and huge values and negative sizes, and must return or raise an
ordinary exception with a message. The walk is built from what the module registers when the test
runs (`vars(_cpp)`, each class's `__dict__`), reading argument types from the signatures that the
binding layer writes into the docstrings, so new functions and classes are walked as they land.

The calls run in child processes, many to a child; each child notes every call before making it,
so a crash is pinned on the call that caused it and the rest of the batch goes on in a new child.
Each call is one Python statement, which is also how a failure is reported.

    python tests/robustness/test_bad_input.py --summary   # print what is tried, without pytest
"""

from __future__ import annotations

import collections
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
from dataclasses import dataclass

import _cpp

BATCH = 300            # calls per child process
CALL_SECONDS = 60      # a call that takes longer counts as hung (generous for the sanitizer build)
CHILD_MEMORY = 8 << 30  # address-space limit of a child outside the sanitizer build

SANITIZED = os.environ.get("TARNWICK_SANITIZED") == "1"

# Names in a class's __dict__ that are not entry points of the library.
NOT_ENTRY_POINTS = {"__init__", "__new__", "__doc__", "__module__", "__dict__", "__weakref__",
                    "__init_subclass__", "__subclasshook__", "__firstlineno__", "__static_attributes__"}


# ---------------------------------------------------------------------------------------------
# Signatures, as the binding layer renders them in docstrings.

@dataclass(frozen=True)
class Param:
    name: str
    kind: tuple      # ("float",), ("list", inner), ("obj", "KNN"), ("optional", inner), ...
    has_default: bool


def _split_top(text: str, sep: str = ",") -> list[str]:
    """Splits at sep outside brackets and quotes."""
    parts, depth, quote, cur = [], 0, None, []
    for ch in text:
        if quote:
            quote = None if ch == quote else quote
        elif ch in "'\"":
            quote = ch
        elif ch in "[(":
            depth += 1
        elif ch in "])":
            depth -= 1
        elif ch == sep and depth == 0:
            parts.append("".join(cur).strip())
            cur = []
            continue
        cur.append(ch)
    if "".join(cur).strip():
        parts.append("".join(cur).strip())
    return parts


_SCALARS = {"float": "float", "SupportsFloat": "float", "int": "int", "SupportsInt": "int",
            "SupportsIndex": "int", "bool": "bool", "str": "str", "bytes": "str", "None": "none",
            "PathLike": "str", "object": "any", "Any": "any"}
_LISTS = {"Sequence": "list", "list": "list", "Iterable": "list", "Set": "set", "set": "set",
          "Mapping": "dict", "dict": "dict", "tuple": "tuple", "Callable": "callable"}


def parse_type(text: str) -> tuple:
    """The kind of a rendered type: "collections.abc.Sequence[typing.SupportsFloat | ...]" is
    ("list", ("float",))."""
    parts = _split_top(text, "|")
    if len(parts) > 1:
        alternatives = [parse_type(a) for a in parts]
        concrete = [a for a in alternatives if a != ("none",)]
        for scalar in ("float", "int"):           # SupportsFloat | SupportsIndex is a double
            if (scalar,) in concrete:
                base = (scalar,)
                break
        else:
            base = concrete[0] if concrete else ("none",)
        return ("optional", base) if len(concrete) < len(alternatives) else base
    text = text.strip()
    head, _, rest = text.partition("[")
    name = head.split(".")[-1]
    args = [parse_type(a) for a in _split_top(rest[:-1])] if rest else []
    if head.startswith("_cpp.") or (head in vars(_cpp) and isinstance(vars(_cpp)[head], type)):
        return ("obj", name)
    if name in _SCALARS and not args:
        return (_SCALARS[name],)
    if name in _LISTS:
        kind = _LISTS[name]
        if kind == "callable":
            return ("callable",)
        if kind == "tuple":
            return ("tuple", tuple(args))
        if kind == "dict":
            return ("dict", args[0] if args else ("str",), args[1] if len(args) > 1 else ("any",))
        return (kind, args[0] if args else ("any",))
    if name == "Optional" and args:
        return ("optional", args[0])
    return ("unknown", text)


_SIGNATURE = re.compile(r"^(?:\d+\.\s+)?(?:\w+)?\((.*)\)\s*->\s*(.+)$")


def signatures(doc: str | None, drop_self: bool) -> list[list[Param]]:
    """Every signature in a docstring (one per overload), without self for methods."""
    found = []
    for line in (doc or "").splitlines():
        m = _SIGNATURE.match(line.strip())
        if not m or "*args" in m.group(1):
            continue
        params = []
        for part in _split_top(m.group(1)):
            if part in ("/", "*"):               # markers of positional-only and keyword-only
                continue
            name, _, rest = part.partition(":")
            type_text, eq, _ = rest.partition("=")
            params.append(Param(name.strip(), parse_type(type_text) if rest else ("any",), bool(eq)))
        if drop_self and params:
            params = params[1:]
        found.append(params)
    return found


# ---------------------------------------------------------------------------------------------
# Values, as Python expressions evaluated in the child (whose namespace has nan, inf, make, ...).
# Plausible values agree in size (two rows, two features, size 2) so that a call with every
# argument plausible usually gets past the shape checks.

def plausible(p_kind: tuple, name: str = "") -> str:
    kind = p_kind[0]
    if kind == "float":
        return "0.5"
    if kind in ("int", "any"):
        return "2"
    if kind == "bool":
        return "True"
    if kind == "str":
        lowered = name.lower()
        if any(w in lowered for w in ("path", "dir", "file")):
            return "'model.json'"
        return {"metric": "'euclidean'", "operation": "'add'"}.get(lowered, "'a'")
    if kind == "list":
        inner = p_kind[1]
        if inner[0] == "list":
            return "[[1.0, 2.0], [3.0, 5.0]]"
        if inner[0] == "str":
            return "['a', 'b']"
        if inner[0] == "float":
            return "[0.5, -1.0]"
        return f"[{plausible(inner)}, {plausible(inner)}]"
    if kind == "set":
        return "{" + plausible(p_kind[1]) + "}"
    if kind == "dict":
        return "{" + plausible(p_kind[1]) + ": " + plausible(p_kind[2]) + "}"
    if kind == "tuple":
        return "(" + "".join(plausible(k) + ", " for k in p_kind[1]) + ")"
    if kind == "obj":
        return f"make({p_kind[1]!r}, 'argument')"
    if kind == "optional":
        return plausible(p_kind[1], name)
    if kind == "callable":
        return "lambda *a, **k: None"
    return "None"


_NOT_A_VALUE = ["None", "object()"]
_BAD = {
    "float": ["nan", "inf", "-inf", "1e308", "-1e308", "5e-324", "-0.0", "0", "-1", "10**400",
              "'1.0'", "[0.5]"],
    "int": ["-1", "0", "-2**31", "2**31 - 1", "2**31", "-2**31 - 1", "2**64", "1.5", "nan", "'1'",
            "[2]"],
    "bool": ["0", "2", "'yes'"],
    "str": ["''", "'\\x00'", "'é€|{,} '", "'\"'", "'garbage.json'", "'empty.json'",
            "'truncated.json'", "'.'", "'/nonexistent-dir/model.json'", "'\\udcff'", "b'a'",
            "'x' * 100000", "1", "['a']"],
    "list_float": ["[]", "[nan]", "[nan, nan]", "[inf, -inf]", "[1e308, 1e308]", "[5e-324, -0.0]",
                   "[0.5]", "[0.5, -1.0, 2.0]", "[0.0] * 1000", "['x', 1.0]", "[None, None]",
                   "'ab'", "[[0.5, 1.0]]", "0.5", "{0.5: 1}"],
    "list_int": ["[]", "[-1, 2]", "[0, 0]", "[2**31 - 1, 2]", "[2**31, 2]", "[-2**31, 2]", "[1.5, 2]",
                 "[2]", "[2, 2, 2]", "['a', 2]", "'ab'"],
    "list_str": ["[]", "['']", "['a']", "['a', 'b', 'c']", "['\"', 'b']", "['é€', '|{,} ']",
                 "['\\x00', 'b']", "['a', 1]", "'ab'", "[['a']]"],
    "matrix": ["[]", "[[]]", "[[], []]", "[[1.0], [1.0, 2.0]]", "[[1.0, 2.0], [3.0]]",
               "[[1.0, 2.0, 3.0], [4.0, 5.0, 6.0]]", "[[1.0], [2.0], [3.0]]", "[[1.0]]",
               "[[nan, nan], [nan, nan]]", "[[inf, -inf], [-inf, inf]]",
               "[[1e308, 1e308], [1e308, 1e308]]", "[[0.0, 0.0], [0.0, 0.0]]",
               "[[5e-324, -0.0], [-0.0, 5e-324]]", "[[float(i == j) for j in range(40)] for i in range(40)]",
               "[0.5, 1.0]", "[['x', 1.0], [1.0, 2.0]]", "[[None, 1.0], [1.0, 2.0]]", "'ab'"],
    "list_other": ["[]", "[None]", "'ab'", "[object()]"],
    "set": ["set()", "{1}", "[1]"],
    "dict": ["{}", "{'a': 'x'}", "{1: 1}", "[('a', 1)]"],
    "tuple": ["()", "(1,)", "[1, 2]"],
    "callable": ["1", "lambda *a, **k: 1 / 0", "lambda *a, **k: 'x'", "lambda: None"],
    "any": [],
    "unknown": [],
}


# Counts of work (epochs, iterations) are not tried at their largest: two billion passes of gradient
# descent are a long computation that the caller asked for, not bad input. Sizes are.
WORK_COUNT = re.compile(r"epoch|iter|step|round", re.IGNORECASE)


def bad(p_kind: tuple, classes: list[str], name: str = "") -> list[str]:
    kind = p_kind[0]
    if kind == "optional":
        return [v for v in bad(p_kind[1], classes, name) if v != "None"]
    if kind == "int" and WORK_COUNT.search(name):
        return [v for v in _BAD["int"] if v != "2**31 - 1"] + _NOT_A_VALUE
    if kind == "list":
        inner = p_kind[1][0]
        key = {"float": "list_float", "int": "list_int", "str": "list_str"}.get(inner, "list_other")
        if inner == "list":
            key = "matrix"
        values = list(_BAD[key])
    elif kind == "obj":
        # An object of another registered class, and a Python subclass that misbehaves.
        values = [f"make({other!r})" for other in classes if other != p_kind[1]][:3]
        values += [f"misbehaving({p_kind[1]!r}, 'raise')", f"misbehaving({p_kind[1]!r}, 'wrong')"]
    else:
        values = list(_BAD.get(kind, []))
    return values + _NOT_A_VALUE


# ---------------------------------------------------------------------------------------------
# Entry points and the statements that call them.

def registered() -> tuple[dict, dict]:
    """The module's free functions and classes, in registration order."""
    functions, classes = {}, {}
    for name, value in vars(_cpp).items():
        if name.startswith("__"):
            continue
        if isinstance(value, type):
            classes[name] = value
        elif callable(value):
            functions[name] = value
    return functions, classes


@dataclass(frozen=True)
class EntryPoint:
    label: str                   # "KNN.predict (fitted)"
    callee: str                  # the expression called, read or assigned
    sigs: list                   # list[list[Param]], one per overload
    mode: str = "call"           # "call", "get" (a property read) or "set" (a property write)


def entry_points() -> list[EntryPoint]:
    """Every free function, constructor, method, operator and property, on a new object and on an
    object fitted with plausible arguments."""
    functions, classes = registered()
    points = [EntryPoint(name, f"_cpp.{name}", signatures(f.__doc__, False)) for name, f in functions.items()]
    for cname, cls in classes.items():
        init = cls.__dict__.get("__init__")
        if init is not None:
            # A class without a constructor (an abstract base) is still called: it must refuse.
            sigs = signatures(init.__doc__, True) or [[]]
            points.append(EntryPoint(f"{cname}()", f"_cpp.{cname}", sigs))
        for attr, value in cls.__dict__.items():
            if attr in NOT_ENTRY_POINTS or attr.startswith("_pybind11") or not (
                    isinstance(value, property) or callable(value)):
                continue
            for state in ("new", "fitted"):
                obj, label = f"make({cname!r}, {state!r})", f"{cname}.{attr} ({state})"
                if isinstance(value, property):
                    points.append(EntryPoint(label, f"{obj}.{attr}", [[]], "get"))
                    if value.fset is not None:
                        sigs = signatures(value.fset.__doc__, True)
                        points.append(EntryPoint(label.replace(" (", " = ("), f"{obj}.{attr}", sigs, "set"))
                else:
                    points.append(EntryPoint(label, f"{obj}.{attr}", signatures(value.__doc__, True)))
    return points


def statements_for(point: EntryPoint, classes: list[str]) -> list[str]:
    if point.mode == "get":
        return [point.callee]
    if point.mode == "set":
        kind = point.sigs[0][0].kind if point.sigs and point.sigs[0] else ("any",)
        name = point.callee.rsplit(".", 1)[1]
        return [f"{point.callee} = {v}" for v in [plausible(kind, name)] + bad(kind, classes, name)]
    callee = point.callee
    out = [f"{callee}()", f"{callee}(*[0.5] * 9)"]         # too few and too many arguments
    for params in point.sigs:
        good = [plausible(p.kind, p.name) for p in params]
        out.append(f"{callee}({', '.join(good)})")
        out.append(f"{callee}({', '.join(g for g, p in zip(good, params) if not p.has_default)})")
        if params and not all(re.fullmatch(r"arg\d+", p.name) for p in params):
            out.append(f"{callee}({', '.join(f'{p.name}={g}' for p, g in zip(params, good))})")
        out.append(f"{callee}({', '.join('[]' if p.kind[0] == 'list' else g for p, g in zip(params, good))})")
        for i, p in enumerate(params):
            for value in bad(p.kind, classes, p.name):
                out.append(f"{callee}({', '.join(good[:i] + [value] + good[i + 1:])})")
    return list(dict.fromkeys(out))


def all_statements() -> list[tuple[str, str]]:
    """(entry-point label, statement) for every call of the walk."""
    classes = list(registered()[1])
    return [(point.label, s) for point in entry_points() for s in statements_for(point, classes)]


# ---------------------------------------------------------------------------------------------
# The child: runs statements, noting each before and after it in the progress file.

class SetupError(Exception):
    """An object the walk needs could not be built from plausible arguments."""


def _make(name: str, state: str = "new"):
    """An object of the class name: new, fitted, or (as an argument) of a registered subclass where
    there is one, so that a network's activation is a built-in one rather than the abstract base."""
    cls = getattr(_cpp, name)
    subclasses = [c for c in cls.__subclasses__() if getattr(_cpp, c.__name__, None) is c]
    candidates = subclasses + [cls] if state == "argument" else [cls] + subclasses
    for candidate in candidates:
        init = candidate.__dict__.get("__init__")
        for params in signatures(init.__doc__ if init else None, True) or [[]]:
            try:
                obj = candidate(*[eval(plausible(p.kind, p.name), _namespace()) for p in params])
                break
            except Exception:
                continue
        else:
            continue
        break
    else:
        raise SetupError(f"no plausible constructor of {name}")
    if state == "fitted":
        for method in ("fit", "train_loop"):
            fit = getattr(obj, method, None)
            if fit is None:
                continue
            params = (signatures(fit.__doc__, True) or [[]])[0]
            try:
                fit(*[eval(plausible(p.kind, p.name), _namespace()) for p in params])
            except Exception as exc:
                raise SetupError(f"{name}.{method} with plausible arguments: {exc!r}") from exc
            break
    return obj


def _misbehaving(name: str, how: str):
    """An instance of a Python subclass whose every overridable method raises or returns a str."""
    base = getattr(_cpp, name)

    def method(self, *args, **kwargs):
        if how == "raise":
            raise ArithmeticError("raised by a Python override")
        return "not what was asked for"

    overrides = {attr: method for attr, value in base.__dict__.items()
                 if callable(value) and not attr.startswith("__")}
    try:
        sub = type(f"Misbehaving{name}", (base,), overrides)
        return sub()
    except Exception as exc:
        raise SetupError(f"{name} cannot be subclassed or built from Python: {exc!r}") from exc


_NS: dict = {}


def _namespace() -> dict:
    if not _NS:
        _NS.update(_cpp=_cpp, nan=float("nan"), inf=float("inf"), make=_make, misbehaving=_misbehaving)
    return _NS


def _write_files() -> None:
    """Files that bad paths name, in the child's working directory."""
    with open("garbage.json", "wb") as f:
        f.write(bytes(range(256)) * 4)
    open("empty.json", "wb").close()
    with open("truncated.json", "w") as f:
        f.write('{"k":3,"metric":"euclidean","x_train":[[1,0.5],[-2,0.1')


def child(progress_path: str) -> None:
    if not SANITIZED:
        import resource
        resource.setrlimit(resource.RLIMIT_AS, (CHILD_MEMORY, CHILD_MEMORY))
    _write_files()
    statements = json.load(sys.stdin)
    fd = os.open(progress_path, os.O_WRONLY | os.O_APPEND)
    for i, statement in enumerate(statements):
        os.write(fd, f"start {i}\n".encode())
        signal.alarm(CALL_SECONDS)     # the default action ends the child: a hang is reported
        try:
            exec(compile(statement, "<walk>", "exec"), dict(_namespace()))
            outcome = "returned"
        except SetupError:
            outcome = "setup"
        except (SystemError, AssertionError) as exc:
            outcome = f"bad {type(exc).__name__}: {exc}"
        except Exception as exc:
            outcome = f"raised {type(exc).__name__}" if str(exc) else f"bad {type(exc).__name__} without a message"
        except BaseException as exc:       # noqa: B036 - anything else escaping a call is a fault
            outcome = f"bad {type(exc).__name__}: {exc}"
        signal.alarm(0)
        os.write(fd, (f"end {i} " + json.dumps(outcome) + "\n").encode())
    os.close(fd)


# ---------------------------------------------------------------------------------------------
# The parent: runs batches and pins every crash on its statement.

@dataclass
class Walk:
    outcomes: collections.Counter
    failures: list[str]


def _signal_name(rc: int) -> str:
    try:
        return f"signal {signal.Signals(-rc).name}"
    except ValueError:
        return f"exit code {rc}"


def _allocation_refused(stderr: str) -> bool:
    """The sanitizer's allocator ends the process where the plain build raises MemoryError."""
    return SANITIZED and ("allocation-size-too-big" in stderr or "out-of-memory" in stderr)


def walk(statements: list[str], workdir: str) -> Walk:
    outcomes, failures = collections.Counter(), []
    env = dict(os.environ, OPENBLAS_NUM_THREADS="1")   # keeps the BLAS threads' buffers inside the limit
    if SANITIZED:
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":max_allocation_size_mb=4096"
        # A child's report (the thread sanitizer's allocator refusing a size, for one) goes to its
        # standard error, where the walk reads why the child ended, not to the run's report files.
        env["TSAN_OPTIONS"] = ":".join(o for o in env.get("TSAN_OPTIONS", "").split(":")
                                       if not o.startswith("log_path="))
    this_file = os.path.abspath(__file__)
    pending = [statements[i:i + BATCH] for i in range(0, len(statements), BATCH)]
    while pending:
        batch = pending.pop()
        progress = os.path.join(workdir, "progress")
        open(progress, "w").close()
        proc = subprocess.run([sys.executable, this_file, "--child", progress], input=json.dumps(batch),
                              capture_output=True, text=True, cwd=workdir, env=env, timeout=3600)
        started, ended = -1, -1
        with open(progress) as f:
            for line in f:
                word, index, *rest = line.rstrip("\n").split(" ", 2)
                if word == "start":
                    started = int(index)
                else:
                    ended = int(index)
                    outcome = json.loads(rest[0])
                    outcomes[outcome.split(":")[0] if outcome.startswith("bad") else outcome] += 1
                    if outcome.startswith("bad"):
                        failures.append(f"{batch[ended]}  ->  {outcome}")
        if started > ended:                   # the child died inside this statement
            culprit = batch[started]
            if _allocation_refused(proc.stderr):
                outcomes["raised MemoryError (sanitizer allocator)"] += 1
            else:
                how = "no answer within the time limit" if proc.returncode == -signal.SIGALRM else _signal_name(proc.returncode)
                outcomes["crashed"] += 1
                failures.append(f"{culprit}  ->  crashed ({how}); stderr ends:\n{proc.stderr[-1500:]}")
            if started + 1 < len(batch):
                pending.append(batch[started + 1:])
        elif proc.returncode != 0:
            # Every call answered but the child did not end cleanly (a leak report at exit, for one).
            failures.append(f"a batch of {len(batch)} calls starting with {batch[0]!r} ended with "
                            f"{_signal_name(proc.returncode)}; stderr ends:\n{proc.stderr[-3000:]}")
    return Walk(outcomes, failures)


# ---------------------------------------------------------------------------------------------
# Tests

def test_every_parameter_type_is_understood():
    unknown = [(point.label, p.name, p.kind[1]) for point in entry_points()
               for params in point.sigs for p in params if p.kind[0] == "unknown"]
    assert unknown == [], "extend parse_type for these rendered types"


def test_every_entry_point_has_a_signature():
    unsigned = [point.label for point in entry_points() if not point.sigs]
    assert unsigned == []


def test_every_entry_point_survives_bad_input(tmp_path):
    statements = [s for _, s in all_statements()]
    result = walk(statements, str(tmp_path))
    assert result.failures == [], "\n\n".join(result.failures)
    assert sum(result.outcomes.values()) == len(statements)
    assert result.outcomes["returned"] > 0 and sum(n for k, n in result.outcomes.items() if k.startswith("raised")) > 0


def test_a_crash_is_pinned_on_its_call(tmp_path):
    result = walk(["1", "import os; os.abort()", "_cpp.euclidean([1.0], [2.0])", "len([])"], str(tmp_path))
    assert result.outcomes == {"returned": 3, "crashed": 1}
    assert len(result.failures) == 1 and result.failures[0].startswith("import os; os.abort()  ->  crashed")


def test_a_call_without_an_ordinary_exception_is_a_failure(tmp_path):
    result = walk(["raise SystemError('bad')", "raise ValueError()", "raise ValueError('fine')"], str(tmp_path))
    assert result.outcomes == {"bad SystemError": 1, "bad ValueError without a message": 1, "raised ValueError": 1}


def _summary() -> None:
    per_point = collections.Counter(label.split(" ")[0] for label, _ in all_statements())
    statements = [s for _, s in all_statements()]
    with tempfile.TemporaryDirectory() as tmp:
        result = walk(statements, tmp)
    print(f"{len(statements)} calls at {len(per_point)} entry points")
    for label, n in per_point.items():
        print(f"  {n:5d}  {label}")
    for outcome, n in sorted(result.outcomes.items()):
        print(f"{n:6d}  {outcome}")
    print("\n\n".join(result.failures) or "no failures")


if __name__ == "__main__":
    if sys.argv[1:2] == ["--child"]:
        child(sys.argv[2])
    elif sys.argv[1:2] == ["--summary"]:
        _summary()
    else:
        sys.exit("usage: test_bad_input.py --summary")
