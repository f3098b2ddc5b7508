"""Matrix nodes: every operation's label, value and backward rule against a Python reference (bit for
bit), the shape errors, and gradients of random expressions against central differences."""

import math
import random

import pytest

import _cpp
from autodiff.reference import emap, ezip, matmul, relu, relu_slope, sigmoid
from autodiff.reference import transpose as T

M = _cpp.Matrix
NAN = float("nan")


# Reference arithmetic on lists of lists, one double operation per entry as the engine does it.
def ones(A):
    return emap(lambda x: 1.0, A)


def add(A, B):
    return ezip(lambda x, y: x + y, A, B)


def mul(A, B):
    return ezip(lambda x, y: x * y, A, B)


def neg(A):
    return emap(lambda x: -x, A)


def sub(A, B):
    return ezip(lambda x, y: x - y, A, B)


def div(A, B):
    return ezip(lambda x, y: x / y, A, B)


# name: (label, forward(A, B), backward(A, B, O, G) -> (dA, dB)); shapes: the operands' shapes.
BINARY = {
    "__add__": ("add", add, lambda A, B, O, G: (G, G), ((2, 3), (2, 3))),
    "__sub__": ("sub", sub, lambda A, B, O, G: (G, neg(G)), ((2, 3), (2, 3))),
    "__mul__": ("mul", matmul, lambda A, B, O, G: (matmul(G, T(B)), matmul(T(A), G)), ((2, 3), (3, 4))),
    "__truediv__": ("elt_div", div, lambda A, B, O, G: (mul(div(ones(B), B), G), mul(neg(div(A, mul(B, B))), G)),
                    ((2, 3), (2, 3))),
    "element_wise_mult": ("elt_mul", mul, lambda A, B, O, G: (mul(B, G), mul(A, G)), ((2, 3), (2, 3))),
}
UNARY = {
    "__neg__": ("neg", neg, lambda A, O, G: neg(G)),
    "relu": ("relu", lambda A: emap(relu, A), lambda A, O, G: mul(emap(relu_slope, A), G)),
    "sigmoid": ("sigmoid", lambda A: emap(sigmoid, A),
                lambda A, O, G: mul(mul(O, sub(ones(O), O)), G)),
    "tanh_op": ("tanh", lambda A: emap(math.tanh, A), lambda A, O, G: mul(sub(ones(O), mul(O, O)), G)),
    "exp_op": ("exp", lambda A: emap(math.exp, A), lambda A, O, G: mul(O, G)),
    "log_op": ("log", lambda A: emap(math.log, A), lambda A, O, G: mul(div(ones(A), A), G)),
    "transpose_op": ("transpose", T, lambda A, O, G: T(G)),
    "sum_cols": ("sum_cols", lambda A: [[math.fsum(row)] for row in A], lambda A, O, G: [[g[0]] * len(A[0]) for g in G]),
}


def quarters(rng, shape, positive=False):
    lo = 1 if positive else -8
    return [[rng.choice([k for k in range(lo, 9) if k]) / 4 for _ in range(shape[1])] for _ in range(shape[0])]


@pytest.mark.parametrize("name", BINARY)
def test_binary_operation(name):
    rng = random.Random(name)
    label, forward, backward, (sa, sb) = BINARY[name]
    A, B = quarters(rng, sa), quarters(rng, sb)
    a, b = M(A), M(B)
    a.gradient, b.gradient = quarters(rng, sa), quarters(rng, sb)
    start_a, start_b = a.gradient, b.gradient
    out = getattr(M, name)(a, b)
    O = forward(A, B)
    assert (out.operation, out.matrix, out.gradient) == (label, O, emap(lambda x: 0.0, O))
    G = quarters(rng, (len(O), len(O[0])))
    out.gradient = G
    out.backprop(out.topo_sort())
    dA, dB = backward(A, B, O, G)
    assert a.gradient == add(start_a, dA) and b.gradient == add(start_b, dB)
    assert (a.matrix, b.matrix) == (A, B)  # operands are never changed


@pytest.mark.parametrize("name", UNARY)
def test_unary_operation(name):
    rng = random.Random(name)
    label, forward, backward = UNARY[name]
    A = quarters(rng, (2, 3), positive=name == "log_op")
    a = M(A)
    out = getattr(M, name)(a)
    O = forward(A)
    assert (out.operation, out.matrix) == (label, O)
    G = quarters(rng, (len(O), len(O[0])))
    out.gradient = G
    out.backprop(out.topo_sort())
    assert a.gradient == add(emap(lambda x: 0.0, A), backward(A, O, G))


def test_scalar_multiply():
    a = M([[1.0, -3.0], [0.5, 8.0]])
    out = a.scalar_multiply(0.5)
    assert (out.operation, out.matrix) == ("scalar_mul", [[0.5, -1.5], [0.25, 4.0]])
    out.gradient = [[2.0, 4.0], [-6.0, 1.0]]
    out.backprop(out.topo_sort())
    assert a.gradient == [[1.0, 2.0], [-3.0, 0.5]]
    assert len(out.topo_sort()) == 2  # the constant is not a node


def test_new_node_has_zero_gradient_and_empty_label():
    a = M(matrix=[[1.0, 2.0], [3.0, 4.0]])
    assert (a.gradient, a.operation) == ([[0.0, 0.0], [0.0, 0.0]], "")
    assert M([]).gradient == []


def test_product_shapes():
    rng = random.Random(5)
    A, B = quarters(rng, (2, 3)), quarters(rng, (3, 4))
    a, b = M(A), M(B)
    out = a * b
    assert (len(out.matrix), len(out.matrix[0]), out.operation) == (2, 4, "mul")
    out.gradient = [[1.0] * 4 for _ in range(2)]
    out.backprop(out.topo_sort())
    assert a.gradient == matmul(out.gradient, T(B)) and b.gradient == matmul(T(A), out.gradient)


def test_element_wise_square_holds_its_operand_once():
    a = M([[1.5, -2.0]])
    out = a.element_wise_mult(a)
    order = out.topo_sort()
    assert len(order) == 2 and order[1] is a
    out.gradient = [[1.0, 3.0]]
    out.backprop(order)
    assert a.gradient == [[3.0, -12.0]]


def test_relu_at_zero_and_nan():
    a = M([[0.0, -0.0, NAN, 2.0]])
    out = a.relu()
    assert out.matrix == [[0.0, 0.0, 0.0, 2.0]]
    assert all(math.copysign(1.0, x) == 1.0 for x in out.matrix[0])
    out.gradient = [[1.0, 1.0, 1.0, 1.0]]
    out.backprop(out.topo_sort())
    assert a.gradient == [[0.0, 0.0, 0.0, 1.0]]


def test_sum_cols_spreads_each_row_gradient():
    a = M([[1.0, 2.0, 3.0], [4.0, 5.0, 6.0]])
    out = a.sum_cols()
    assert out.matrix == [[6.0], [15.0]]
    out.gradient = [[1.0], [2.0]]
    out.backprop(out.topo_sort())
    assert a.gradient == [[1.0, 1.0, 1.0], [2.0, 2.0, 2.0]]


def test_second_backprop_accumulates():
    a, b = M([[1.0, 2.0]]), M([[3.0, 4.0]])
    out = a.element_wise_mult(b)
    out.gradient = [[1.0, 1.0]]
    order = out.topo_sort()
    out.backprop(order)
    out.backprop(order)
    assert (a.gradient, b.gradient) == ([[6.0, 8.0]], [[2.0, 4.0]])


def test_rules_read_values_when_they_run():
    a = M([[0.0, 1.0]])
    out = a.exp_op()
    out.matrix = [[2.0, 3.0]]
    out.gradient = [[1.0, 1.0]]
    out.backprop(out.topo_sort())
    assert a.gradient == [[2.0, 3.0]]


def test_properties_are_copies():
    a = M([[1.0, 2.0]])
    a.matrix[0][0] = 9.0
    a.gradient.append([1.0])
    assert (a.matrix, a.gradient) == ([[1.0, 2.0]], [[0.0, 0.0]])


@pytest.mark.parametrize(
    "call",
    [lambda a: a + 1.0, lambda a: 1.0 + a, lambda a: a * 2, lambda a: a - _cpp.Scalar(1.0), lambda a: a / None,
     lambda a: a.element_wise_mult([[1.0]]), lambda a: a.scalar_multiply(a), lambda a: a.scalar_multiply(c=2.0)],
)
def test_operands_of_other_kinds_are_refused(call):
    with pytest.raises(TypeError):
        call(M([[1.0]]))


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: M([[1.0, 2.0]]) + M([[1.0]]), "matrix_addition_and_sub: A is 1x2, B is 1x1"),
        (lambda: M([[1.0, 2.0]]) - M([[1.0], [2.0]]), "matrix_addition_and_sub: A is 1x2, B is 2x1"),
        (lambda: M([[1.0, 2.0]]) * M([[1.0, 2.0]]), "matrix_with_matrix_multiplication: A is 1x2, B is 1x2"),
        (lambda: M([[1.0]]).element_wise_mult(M([])), "element_wise_multiplication: A is 1x1, B is 0x0"),
        (lambda: M([[1.0]]) / M([[1.0, 2.0]]), "element_wise_division_two_matrices"),
        (lambda: M([]).transpose_op(), "transpose_matrix: M is empty"),
        (lambda: M([]).sum_cols(), "Matrix.sum_cols: the matrix is empty"),
        (lambda: -M([]), "Matrix.neg: the matrix is empty"),
        (lambda: M([[1.0, 2.0], [3.0]]).relu(), r"Matrix.relu: the matrix is ragged"),
        (lambda: M([[1.0, 2.0], [3.0]]).scalar_multiply(2.0), "Matrix.scalar_multiply: the matrix is ragged"),
        (lambda: M([[1.0], [3.0, 4.0]]).exp_op(), "Matrix.exp_op: the matrix is ragged"),
    ],
)
def test_shapes_outside_the_contract_raise(call, message):
    with pytest.raises(ValueError, match="^" + message.replace("(", r"\(")):
        call()


@pytest.mark.parametrize(
    "make, change",
    [
        (lambda a, b: a * b.transpose_op(), lambda a, b, out: setattr(a, "matrix", [[1.0]])),
        (lambda a, b: a.element_wise_mult(b), lambda a, b, out: setattr(a, "matrix", [[1.0]])),
        (lambda a, b: a / b, lambda a, b, out: setattr(b, "matrix", [])),
        (lambda a, b: a.log_op(), lambda a, b, out: setattr(a, "matrix", [[1.0, 2.0], [3.0]])),
        (lambda a, b: a.relu(), lambda a, b, out: setattr(a, "matrix", [[1.0], [2.0]])),
        (lambda a, b: a.sigmoid(), lambda a, b, out: setattr(out, "matrix", [[1.0, 2.0, 3.0]])),
        (lambda a, b: a + b, lambda a, b, out: setattr(a, "gradient", [[0.0]])),
        (lambda a, b: a.sum_cols(), lambda a, b, out: setattr(out, "gradient", [[]])),
        (lambda a, b: a.transpose_op(), lambda a, b, out: setattr(out, "gradient", [])),
    ],
)
def test_values_reassigned_to_another_shape_raise_in_backprop(make, change):
    a, b = M([[1.0, 2.0]]), M([[3.0, 4.0]])
    out = make(a, b)
    out.gradient = [[1.0] * len(out.matrix[0]) for _ in out.matrix]
    change(a, b, out)
    with pytest.raises(ValueError):
        out.backprop(out.topo_sort())


def test_ieee_results_are_not_errors():
    out = M([[1.0, 0.0]]) / M([[0.0, 0.0]])
    assert out.matrix[0][0] == math.inf and math.isnan(out.matrix[0][1])
    assert M([[0.0]]).log_op().matrix == [[-math.inf]]


# Random expressions over 2x3 values: the gradient of sum(W * f(X)) against central differences.
# Plain lists keep this test free of peers, so it also runs in the sanitizer build.
FD_UNARY = {
    "__neg__": lambda x: -x, "sigmoid": sigmoid, "tanh_op": math.tanh, "exp_op": math.exp, "log_op": math.log,
    "relu": relu,
}
FD_BINARY = {"__add__": lambda x, y: x + y, "__sub__": lambda x, y: x - y, "__truediv__": lambda x, y: x / y,
             "element_wise_mult": lambda x, y: x * y}


def entries(A):
    return [x for row in A for x in row]


def random_plan(rng, n_leaves, n_ops):
    values = [[[rng.uniform(0.5, 1.5) for _ in range(3)] for _ in range(2)] for _ in range(n_leaves)]
    plan = []
    while len(plan) < n_ops:
        if rng.random() < 0.4:
            name, args = rng.choice(sorted(FD_UNARY)), (rng.randrange(len(values)),)
            a = entries(values[args[0]])
            if (name == "log_op" and min(a) < 0.2) or (name == "exp_op" and max(map(abs, a)) > 3) or (
                    name == "relu" and min(map(abs, a)) < 0.1):
                continue
            v = emap(FD_UNARY[name], values[args[0]])
        else:
            name, args = rng.choice(sorted(FD_BINARY)), (rng.randrange(len(values)), rng.randrange(len(values)))
            if name == "__truediv__" and min(map(abs, entries(values[args[1]]))) < 0.3:
                continue
            v = ezip(FD_BINARY[name], values[args[0]], values[args[1]])
        if max(map(abs, entries(v))) > 20:
            continue
        plan.append((name, args))
        values.append(v)
    return values[:n_leaves], plan


def fd_forward(leaves, plan):
    values = list(leaves)
    for name, args in plan:
        if name in FD_UNARY:
            values.append(emap(FD_UNARY[name], values[args[0]]))
        else:
            values.append(ezip(FD_BINARY[name], values[args[0]], values[args[1]]))
    return values[-1]


@pytest.mark.parametrize("seed", range(10))
def test_random_expressions_against_central_differences(seed):
    rng = random.Random(seed)
    leaves, plan = random_plan(rng, rng.randint(1, 3), rng.randint(1, 11))
    nodes = [M(v) for v in leaves]
    for name, args in plan:
        nodes.append(getattr(M, name)(*(nodes[i] for i in args)))
    root = nodes[-1]
    assert root.matrix == fd_forward(leaves, plan)
    W = [[rng.uniform(-1, 1) for _ in range(3)] for _ in range(2)]
    root.gradient = W
    root.backprop(root.topo_sort())
    h = 1e-6

    def loss(values):
        return math.fsum(entries(mul(fd_forward(values, plan), W)))

    for k in range(len(leaves)):
        for i in range(2):
            for j in range(3):
                up = [[row[:] for row in v] for v in leaves]
                down = [[row[:] for row in v] for v in leaves]
                up[k][i][j] += h
                down[k][i][j] -= h
                numeric = (loss(up) - loss(down)) / (2 * h)
                assert nodes[k].gradient[i][j] == pytest.approx(numeric, rel=1e-5, abs=1e-6)
