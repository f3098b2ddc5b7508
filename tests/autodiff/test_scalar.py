"""Scalar nodes: every operation's label, value and backward rule, bit for bit, and gradients of
random expressions against central differences."""

import math
import random

import pytest

import _cpp
from autodiff.reference import relu, relu_slope, sigmoid

S = _cpp.Scalar
NAN = float("nan")


# name: (label, forward, backward) with backward(a, b, out, g) -> (da, db) added in that order.
# The groupings are the ones the engine promises; the reference runs them in Python doubles.
BINARY = {
    "__add__": ("add", lambda a, b: a + b, lambda a, b, o, g: (g, g)),
    "__mul__": ("mul", lambda a, b: a * b, lambda a, b, o, g: (b * g, a * g)),
    "__sub__": ("sub", lambda a, b: a - b, lambda a, b, o, g: (g, -g)),
    "__truediv__": ("div", lambda a, b: a / b, lambda a, b, o, g: ((1.0 / b) * g, -((math.pow(b, -2.0) * a) * g))),
    "pow_op": ("pow", math.pow, lambda a, b, o, g: ((math.pow(a, -1.0 + b) * b) * g, (math.log(a) * o) * g)),
}
UNARY = {
    "__neg__": ("neg", lambda a: -a, lambda a, o, g: -g),
    "relu": ("relu", relu, lambda a, o, g: relu_slope(a) * g),
    "sigmoid": ("sigmoid", sigmoid, lambda a, o, g: ((1.0 - o) * o) * g),
    "tanh_op": ("tanh", math.tanh, lambda a, o, g: (1.0 - math.tanh(a) * math.tanh(a)) * g),
    "exp_op": ("exp", math.exp, lambda a, o, g: math.exp(a) * g),
    "log_op": ("log", math.log, lambda a, o, g: (1.0 / a) * g),
}


def add_into(node, delta):
    # b.gradient -= x is b.gradient + (-x) exactly, so every update is an addition here.
    node.gradient = node.gradient + delta


@pytest.mark.parametrize("name", BINARY)
@pytest.mark.parametrize("a, b, g", [(1.7, 0.3, 1.0), (0.45, -2.5, -0.7), (3.0, 3.0, 0.1)])
def test_binary_operation(name, a, b, g):
    label, forward, backward = BINARY[name]
    x, y = S(a), S(b)
    x.gradient, y.gradient = 0.25, -0.5
    out = getattr(S, name)(x, y)
    assert (out.operation, out.digit, out.gradient) == (label, forward(a, b), 0.0)
    order = out.topo_sort()
    assert order[0] is out and {id(n) for n in order[1:]} == {id(x), id(y)}
    out.gradient = g
    out.backprop(order)
    da, db = backward(a, b, out.digit, g)
    assert (x.gradient, y.gradient) == (0.25 + da, -0.5 + db)


@pytest.mark.parametrize("name", UNARY)
@pytest.mark.parametrize("a, g", [(0.8, 1.0), (-1.3, 2.5), (2.0, -0.3)])
def test_unary_operation(name, a, g):
    label, forward, backward = UNARY[name]
    if name == "log_op" and a < 0:
        a = -a
    x = S(a)
    x.gradient = 0.125
    out = getattr(S, name)(x)
    assert (out.operation, out.digit) == (label, forward(a))
    out.gradient = g
    out.backprop(out.topo_sort())
    assert x.gradient == 0.125 + backward(a, out.digit, g)


@pytest.mark.parametrize("name", BINARY)
def test_same_operand_twice_is_one_child_getting_both_terms(name):
    _, forward, backward = BINARY[name]
    x = S(1.5)
    out = getattr(S, name)(x, x)
    order = out.topo_sort()
    assert len(order) == 2 and order[1] is x
    out.gradient = 1.0
    out.backprop(order)
    da, db = backward(1.5, 1.5, out.digit, 1.0)
    assert x.gradient == (0.0 + da) + db


@pytest.mark.parametrize(
    "name, op, label, value",
    [("__radd__", lambda x: 2.0 + x, "add", 5.0), ("__rmul__", lambda x: 2.0 * x, "mul", 6.0),
     ("__rsub__", lambda x: 2.0 - x, "sub", -1.0), ("__rtruediv__", lambda x: 2.0 / x, "div", 2.0 / 3.0)],
)
def test_reflected_operations_put_a_new_constant_leaf_on_the_left(name, op, label, value):
    x = S(3.0)
    out = op(x)
    assert (out.operation, out.digit) == (label, value)
    order = out.topo_sort()
    (constant,) = [n for n in order[1:] if n is not x]
    assert (constant.digit, constant.operation, len(order)) == (2.0, "", 3)
    out.gradient = 1.0
    out.backprop(order)
    _, _, backward = BINARY[{"add": "__add__", "mul": "__mul__", "sub": "__sub__", "div": "__truediv__"}[label]]
    assert (constant.gradient, x.gradient) == backward(2.0, 3.0, out.digit, 1.0)
    assert getattr(x, name)(2) .digit == value  # an int constant is converted


def test_sub_of_itself_backpropagates_zero():
    x = S(4.0)
    y = x - x
    y.gradient = 1.0
    y.backprop(y.topo_sort())
    assert (y.digit, x.gradient) == (0.0, 0.0)


@pytest.mark.parametrize("a", [0.0, -0.0, NAN])
def test_relu_at_zero_and_nan(a):
    x = S(a)
    y = x.relu()
    assert y.digit == 0.0 and math.copysign(1.0, y.digit) == 1.0
    y.gradient = 1.0
    y.backprop(y.topo_sort())
    assert x.gradient == 0.0


def test_sigmoid_keeps_its_own_output_for_the_rule():
    x = S(0.0)
    y = x.sigmoid()
    assert y.digit == 0.5
    y.digit = 0.9  # later rules read digit, but sigmoid's uses the value stored at creation
    y.gradient = 2.0
    y.backprop(y.topo_sort())
    assert x.gradient == 0.25 * 2.0


def test_rules_read_operand_values_when_they_run():
    x, w = S(2.0), S(5.0)
    y = x * w
    w.digit = 7.0
    y.gradient = 1.0
    y.backprop(y.topo_sort())
    assert (y.digit, x.gradient, w.gradient) == (10.0, 7.0, 2.0)


def test_ieee_results_are_not_errors():
    zero = S(0.0)
    assert (S(1.0) / zero).digit == math.inf
    assert zero.log_op().digit == -math.inf
    assert math.isnan(S(-1.0).log_op().digit)
    assert math.isnan(S(-8.0).pow_op(S(0.5)).digit)
    y = S(-2.0).pow_op(S(2.0))
    y.gradient = 1.0
    order = y.topo_sort()
    y.backprop(order)
    base = [n for n in order if n.digit == -2.0][0]
    exponent = [n for n in order if n.digit == 2.0][0]
    assert base.gradient == -4.0 and math.isnan(exponent.gradient)


def test_properties_and_constructor():
    x = S(digit=3)
    assert (x.digit, x.gradient, x.operation) == (3.0, 0.0, "")
    x.digit, x.gradient = 1, 2
    assert (x.digit, x.gradient) == (1.0, 2.0)
    with pytest.raises(AttributeError):
        x.operation = "add"


@pytest.mark.parametrize(
    "call",
    [lambda x: x + 2.0, lambda x: x * 1, lambda x: x - None, lambda x: x / _cpp.Matrix([[1.0]]),
     lambda x: x.pow_op(2.0), lambda x: x ** S(2.0), lambda x: x < S(1.0), lambda x: abs(x),
     lambda x: x.__add__(other=x), lambda x: x.__radd__(x)],
)
def test_operands_of_other_kinds_are_refused(call):
    with pytest.raises(TypeError):
        call(S(1.0))


# Random expressions: each node is mirrored by a Python value so that the engine's gradients can
# be compared with the exact reference rules and with central differences of the forward values.
def random_expression(rng, n_leaves, n_ops):
    leaves = [rng.uniform(0.5, 1.5) for _ in range(n_leaves)]
    plan = []  # (name, operand indices)
    values = list(leaves)
    for _ in range(n_ops):
        while True:
            if rng.random() < 0.4:
                name, args = rng.choice(list(UNARY)), (rng.randrange(len(values)),)
                a = values[args[0]]
                if (name == "log_op" and a < 0.2) or (name == "exp_op" and abs(a) > 3) or (name == "relu" and abs(a) < 0.1):
                    continue
                v = UNARY[name][1](a)
            else:
                name, args = rng.choice(list(BINARY)), (rng.randrange(len(values)), rng.randrange(len(values)))
                a, b = values[args[0]], values[args[1]]
                if (name == "__truediv__" and abs(b) < 0.3) or (name == "pow_op" and (a < 0.3 or abs(b) > 2)):
                    continue
                v = BINARY[name][1](a, b)
            if abs(v) < 20:
                break
        plan.append((name, args))
        values.append(v)
    return leaves, plan


def evaluate(leaves, plan):
    values = list(leaves)
    for name, args in plan:
        f = UNARY[name][1] if name in UNARY else BINARY[name][1]
        values.append(f(*(values[i] for i in args)))
    return values


def build(leaves, plan):
    nodes = [S(v) for v in leaves]
    for name, args in plan:
        nodes.append(getattr(S, name)(*(nodes[i] for i in args)))
    return nodes


@pytest.mark.parametrize("seed", range(20))
def test_random_expressions(seed):
    rng = random.Random(seed)
    leaves, plan = random_expression(rng, rng.randint(1, 4), rng.randint(1, 25))
    nodes = build(leaves, plan)
    assert [n.digit for n in nodes] == evaluate(leaves, plan)

    root = nodes[-1]
    root.gradient = 1.0
    order = root.topo_sort()
    root.backprop(order)

    # The reference rules, run in the engine's order on Python doubles, agree bit for bit.
    ref = {id(n): 0.0 for n in nodes}
    ref[id(root)] = 1.0
    made_by = {id(nodes[len(leaves) + k]): step for k, step in enumerate(plan)}
    for node in order:
        if id(node) not in made_by:
            continue
        name, args = made_by[id(node)]
        ops = [nodes[i] for i in args]
        g = ref[id(node)]
        if name in UNARY:
            deltas = (UNARY[name][2](ops[0].digit, node.digit, g),)
        else:
            deltas = BINARY[name][2](ops[0].digit, ops[1].digit, node.digit, g)
        for operand, delta in zip(ops, deltas):
            ref[id(operand)] += delta
    assert [n.gradient for n in nodes] == [ref[id(n)] for n in nodes]

    # And they are the derivatives: central differences of the forward values.
    for i in range(len(leaves)):
        h = 1e-6
        up, down = list(leaves), list(leaves)
        up[i] += h
        down[i] -= h
        numeric = (evaluate(up, plan)[-1] - evaluate(down, plan)[-1]) / (2 * h)
        assert nodes[i].gradient == pytest.approx(numeric, rel=1e-5, abs=1e-6)
