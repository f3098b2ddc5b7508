"""Backward rules that skip building intermediate matrices (the transposes and the product of a
matrix product's rule, the slope and product of an activation's rule) must leave exactly the
gradients the general composition of matrix helpers leaves, bit for bit."""

import json
import random

import pytest

import _cpp

h = _cpp


def rand(rng, rows, cols):
    return [[rng.uniform(-2.0, 2.0) for _ in range(cols)] for _ in range(rows)]


@pytest.mark.parametrize("m,k,p", [(1, 1, 1), (3, 5, 2), (17, 33, 9), (64, 1, 64), (2, 128, 40)])
def test_product_rule_matches_the_helpers(m, k, p):
    rng = random.Random(m * 1000 + k * 10 + p)
    A, B, G = rand(rng, m, k), rand(rng, k, p), rand(rng, m, p)
    ga, gb = rand(rng, m, k), rand(rng, k, p)      # gradients already holding something
    a, b = _cpp.Matrix(A), _cpp.Matrix(B)
    a.gradient, b.gradient = ga, gb
    out = a * b
    out.gradient = G
    out.backprop(out.topo_sort())
    assert a.gradient == h.matrix_addition_and_sub(
        ga, h.matrix_with_matrix_multiplication(G, h.transpose_matrix(B)), "add")
    assert b.gradient == h.matrix_addition_and_sub(
        gb, h.matrix_with_matrix_multiplication(h.transpose_matrix(A), G), "add")


def test_product_of_a_node_with_itself_adds_both_terms():
    rng = random.Random(2)
    A, G = rand(rng, 6, 6), rand(rng, 6, 6)
    a = _cpp.Matrix(A)
    out = a * a
    out.gradient = G
    out.backprop(out.topo_sort())
    first = h.matrix_addition_and_sub([[0.0] * 6] * 6, h.matrix_with_matrix_multiplication(G, h.transpose_matrix(A)),
                                      "add")
    assert a.gradient == h.matrix_addition_and_sub(
        first, h.matrix_with_matrix_multiplication(h.transpose_matrix(A), G), "add")


def test_product_rule_with_a_gradient_of_another_shape_still_raises():
    a, b = _cpp.Matrix([[1.0, 2.0]]), _cpp.Matrix([[3.0], [4.0]])
    out = a * b
    out.gradient = [[1.0, 1.0]]
    with pytest.raises(ValueError, match="matrix_with_matrix_multiplication"):
        out.backprop(out.topo_sort())
    assert a.gradient == [[0.0, 0.0]]


class Delegate(_cpp.ActivationFunction):
    """A Python activation computing what a built-in one does: its rules take the general path."""

    def __init__(self, inner):
        super().__init__()
        self.inner = inner

    def forward(self, x):
        return self.inner.forward(x)

    def derivative(self, x):
        return self.inner.derivative(x)


@pytest.mark.parametrize("kind", ["RELU", "SIGMOID", "TANH"])
def test_built_in_activations_train_as_their_python_twins(kind, tmp_path):
    # Identical sample columns: the batch's shuffled order cannot change a sum.
    rng = random.Random(7)
    features, hidden, classes, samples = 5, 7, 3, 4
    column = [rng.uniform(-1, 1) for _ in range(features)]
    X = [[v] * samples for v in column]
    Y = [[1.0 if k == 1 else 0.0] * samples for k in range(classes)]
    layers = [{"parameters": rand(rng, hidden, features), "bias": rand(rng, hidden, 1)},
              {"parameters": rand(rng, classes, hidden), "bias": rand(rng, classes, 1)}]
    path = tmp_path / "w.json"
    results = []
    for activation in (None, Delegate(getattr(_cpp, {"RELU": "ReLU", "SIGMOID": "Sigmoid", "TANH": "Tanh"}[kind])())):
        path.write_text(json.dumps(layers))
        net = _cpp.Network(2, [hidden, classes], X, _cpp.SGD(0.5), function_type=getattr(_cpp, kind),
                           activation=activation)
        net.load_weights(str(path))
        net.train_loop(3, Y, samples)
        net.save_weights(str(path))
        results.append(path.read_text())
    assert results[0] == results[1]
