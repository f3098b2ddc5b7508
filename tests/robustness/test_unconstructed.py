"""Objects that hold no library value never crash the module.

`Cls.__new__(Cls)` without `__init__`, and a crafted pickle that builds one (`copyreg.__newobj__`),
give an object whose library value was never constructed. Every method, property, operator, repr,
`==` and pickling of such an object raises TypeError naming its class, and so does passing one as
an argument where the module expects an object of its class. A `__setstate__` given a bad state
raises and leaves the object as unconstructed as it was.

The entry points come from the bad-input walk (test_bad_input.py), which also runs the calls: in
child processes, each call checked by the statement itself, a crash pinned on the call.
"""

from __future__ import annotations

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_bad_input as walker  # noqa: E402

import _cpp  # noqa: E402

REFUSED = "{} object is not initialized: its __init__ was never called"

# The one class-level property: it lists the enumeration's members and reads no instance.
CLASS_LEVEL = {("FunctionType", "__members__")}


def new(cls: str) -> str:
    return f"_cpp.{cls}.__new__(_cpp.{cls})"


def named(cls: str) -> list[str]:
    """The classes a refusal may name for an object of cls: its own or the module's class that the
    method or parameter belongs to (Scalar.topo_sort is Element's method)."""
    return [c.__name__ for c in getattr(_cpp, cls).__mro__ if getattr(_cpp, c.__name__, None) is c]


def refused(statement: str, cls: str, exact: bool = True) -> str:
    """A statement that fails (AssertionError, a failure of the walk) unless the code raises
    TypeError: the refusal naming cls or one of its bases, or (exact=False) any message naming
    one of them."""
    messages = [REFUSED.format(c) for c in named(cls)]
    wanted = f"str(e) in {messages!r}" if exact else f"any(c in str(e) for c in {named(cls)!r})"
    body = "\n".join("    " + line for line in statement.splitlines())
    return (f"try:\n{body}\n"
            f"except TypeError as e:\n    assert {wanted}, repr(e)\n"
            f"except BaseException as e:\n    raise AssertionError('not TypeError: ' + repr(e))\n"
            f"else:\n    raise AssertionError('no error')\n")


def registered_classes() -> list[str]:
    return list(walker.registered()[1])


def subclasses(cls: str) -> list[str]:
    """cls and the module's classes derived from it."""
    base = getattr(_cpp, cls)
    return [name for name, c in vars(_cpp).items() if isinstance(c, type) and issubclass(c, base)]


def plausible_call(point, params, override: dict[int, str] | None = None) -> str:
    args = [walker.plausible(p.kind, p.name) for p in params]
    for i, value in (override or {}).items():
        args[i] = value
    return f"{point.callee}({', '.join(args)})"


def own_statements() -> list[str]:
    """Every entry point of an unconstructed object, called with plausible arguments."""
    out = []
    for point in walker.entry_points():
        if not point.label.endswith("(new)"):
            continue
        cls, attr = point.label.split(" ")[0].split(".")
        if (cls, attr) in CLASS_LEVEL or attr == "__setstate__" and "__getstate__" in vars(getattr(_cpp, cls)):
            continue  # a pickled state's constructor: see setstate_statements
        point = walker.EntryPoint(point.label, point.callee.replace(f"make({cls!r}, 'new')", new(cls)),
                                  point.sigs, point.mode)
        exact = attr != "__reduce__"  # or "cannot pickle 'Scalar' object", refused whoever asks
        if point.mode == "get":
            out.append(refused(point.callee, cls))
        elif point.mode == "set":
            out.append(refused(f"{point.callee} = {walker.plausible(point.sigs[0][0].kind)}", cls))
        else:
            out += [refused(plausible_call(point, params), cls, exact) for params in point.sigs]
    return out


def defines(cls: str, attr: str) -> bool:
    """True when the module, not Python's object, gives cls the attribute."""
    return any(attr in vars(getattr(_cpp, c)) for c in named(cls))


def python_level_statements() -> list[str]:
    """repr, str, == and != where the module defines them (elsewhere they are Python's own, which
    read no library value), copying and pickling at every protocol."""
    out = []
    for cls in registered_classes():
        o = new(cls)
        statements = [f"import copy\ncopy.copy({o})", f"import copy\ncopy.deepcopy({o})",
                      *(f"import pickle\npickle.dumps({o}, {p})" for p in range(6))]
        if defines(cls, "__repr__"):
            statements += [f"repr({o})", f"str({o})"]
        if defines(cls, "__eq__"):
            statements += [f"o = {o}\no == o", f"o = {o}\no != o", f"{o} == 1", f"1 == {o}"]
        out += [refused(statement, cls, exact=False) for statement in statements]
    return out


def argument_statements() -> list[str]:
    """An unconstructed object where a method or constructor of a constructed one wants an object
    of its class (or a list of them): the argument's class is named."""
    out = []
    for point in walker.entry_points():
        if point.mode != "call" or point.label.endswith("(fitted)"):
            continue
        for params in point.sigs:
            for i, p in enumerate(params):
                kind = p.kind[1] if p.kind[0] == "optional" else p.kind
                listed = kind[0] == "list" and kind[1][0] == "obj"
                if listed:
                    kind = kind[1]
                if kind[0] != "obj":
                    continue
                for cls in subclasses(kind[1]):
                    value = f"[{new(cls)}]" if listed else new(cls)
                    out.append(refused(plausible_call(point, params, {i: value}), cls))
    # A Python activation whose class's __init__ forgot the base's, built without __init__ at all.
    python_activation = ("class Mine(_cpp.ActivationFunction):\n"
                         "    def forward(self, x): return x\n"
                         "    def derivative(self, x): return 1.0\n"
                         "_cpp.Network(1, [2], [[1.0, 2.0]], None, activation=Mine.__new__(Mine))")
    out.append(refused(python_activation, "ActivationFunction"))
    # The other operand of ==, which the module reads to compare.
    for cls in registered_classes():
        if "__eq__" in vars(getattr(_cpp, cls)) and cls != "FunctionType":
            out.append(refused(f"make({cls!r}) == {new(cls)}", cls))
    return out


# States a __setstate__ might be handed that its class cannot take, then states of other classes.
BAD_STATES = ["None", "'text'", "b'bytes'", "()", "(None,)", "([],)", "('a', 'b')", "('', '', '')", "({'k': 1},)"]
BAD_STATES_OF = {
    "FunctionType": ["(1,)", "'1'", "1.5"],          # its state is the member's int
    "Adam": ["'0.1'", "('0.1',)", "(1, 2)"],          # an optimizer's is (learning_rate,)
    "SGD": ["'0.1'", "('0.1',)", "(1, 2)"],
}
BAD_TEXT_STATES = ["1", "(1,)", "(0.5,)", "('garbage',)", "(b'\\xff',)", "('{}',)", "('{\"k\":-1}',)"]


def setstate_statements() -> list[str]:
    """A bad state leaves an unconstructed object unconstructed; a good one constructs it."""
    out = []
    pickled = [c for c in registered_classes() if "__getstate__" in vars(getattr(_cpp, c))]
    for cls in pickled + ["Network"]:
        own = BAD_STATES_OF.get(cls, BAD_TEXT_STATES)
        others = [f"make({o!r}).__getstate__()" for o in pickled
                  if o not in (cls, "FunctionType") and not {o, cls} <= {"Adam", "SGD"}][:4]
        if cls != "Network":
            others.append("make('Network').__reduce__()[2]")
        for state in BAD_STATES + own + others:
            out.append(f"o = {new(cls)}\n"
                       f"try:\n    o.__setstate__({state})\n"
                       f"except (TypeError, ValueError, IndexError):\n    pass\n"
                       f"else:\n    raise AssertionError('accepted')\n"
                       + refused("repr(o)", cls))
        if cls != "Network":
            out.append(f"o = {new(cls)}\no.__setstate__(make({cls!r}).__getstate__())\n"
                       f"assert o == make({cls!r}) and repr(o) == repr(make({cls!r}))")
    return out


CRAFTED = '''
import copyreg, pickle

class Crafted:
    """Pickles as whatever reduce value it is given (posing as the class __newobj__ is given)."""
    def __init__(self, *value):
        self.value = value
    def __reduce__(self):
        return self.value
    @property
    def __class__(self):
        return self.value[1][0] if self.value[0] is copyreg.__newobj__ else Crafted

def crafted(*value, protocol=2):
    return pickle.loads(pickle.dumps(Crafted(*value), protocol))
'''


def crafted_pickle_statements() -> list[str]:
    """Hand-built pickles: an object never constructed, bad states, and a network's state or
    arguments for objects that were never constructed."""
    out = []
    for cls in registered_classes():
        c = f"_cpp.{cls}"
        use = "repr(o)" if defines(cls, "__repr__") else "o.__reduce__()"
        for protocol in (0, 2, 5):
            out.append(CRAFTED + refused(f"o = crafted(copyreg.__newobj__, ({c},), protocol={protocol})\n{use}",
                                         cls, exact=False))
            out.append(CRAFTED + refused(f"pickle.dumps(crafted(copyreg.__newobj__, ({c},)), {protocol})",
                                         cls, exact=False))
        for state in ("'text'", "(1, 2, 3)", "('garbage',)", "{'a': 1}", "(b'\\xff\\xfe',)", "1.5"):
            out.append(CRAFTED + "try:\n"
                       f"    crafted(copyreg.__newobj__, ({c},), {state})\n"
                       "except (TypeError, ValueError, IndexError, pickle.UnpicklingError, AttributeError):\n    pass\n"
                       "else:\n    raise AssertionError('accepted')\n")
    net_args = "1, [2], [[1.0, 2.0]], {opt}, 0.0, _cpp.FunctionType.RELU, {act}, ''"
    state = "make('Network').__reduce__()[2]"
    out.append(CRAFTED + refused(f"crafted(copyreg.__newobj__, (_cpp.Network,), {state})", "Network"))
    unconstructed = "Crafted(copyreg.__newobj__, (_cpp.{},))"
    out.append(CRAFTED + refused(
        f"crafted(_cpp.Network, ({net_args.format(opt=unconstructed.format('Adam'), act='None')}), {state})", "Adam"))
    out.append(CRAFTED + refused(
        f"crafted(_cpp.Network, ({net_args.format(opt='None', act=unconstructed.format('ReLU'))}), {state})", "ReLU"))
    return out


def test_every_entry_point_of_an_unconstructed_object_refuses_it(tmp_path):
    statements = own_statements() + python_level_statements()
    result = walker.walk(statements, str(tmp_path))
    assert result.failures == [], "\n\n".join(result.failures)
    assert result.outcomes == {"returned": len(statements)}


def test_an_unconstructed_argument_is_refused_with_its_class(tmp_path):
    statements = argument_statements()
    # Network's optimizer and activation, Scalar and Matrix operands, backprop's lists, == .
    assert len(statements) > 40
    result = walker.walk(statements, str(tmp_path))
    assert result.failures == [], "\n\n".join(result.failures)
    assert result.outcomes == {"returned": len(statements)}


def test_a_bad_state_leaves_the_object_unconstructed(tmp_path):
    statements = setstate_statements()
    result = walker.walk(statements, str(tmp_path))
    assert result.failures == [], "\n\n".join(result.failures)
    assert result.outcomes == {"returned": len(statements)}


def test_crafted_pickles_raise(tmp_path):
    statements = crafted_pickle_statements()
    result = walker.walk(statements, str(tmp_path))
    assert result.failures == [], "\n\n".join(result.failures)
    assert result.outcomes == {"returned": len(statements)}


def test_the_check_itself_fails_on_a_returning_call_and_on_another_error(tmp_path):
    result = walker.walk([refused("1", "KNN"), refused("raise ValueError('x')", "KNN"),
                          refused("raise TypeError('GDA object')", "KNN", exact=False),
                          refused(f"{new('KNN')}.predict([[1.0]])", "KNN")], str(tmp_path))
    assert result.outcomes == {"bad AssertionError": 3, "returned": 1}
