"""Reverse-mode autodiff: derivatives of a Scalar expression and of a Matrix expression, each checked
against central differences."""

import math

import _cpp


def f(x, w, b):
    """tanh(w * x + b) * log(x), written out on plain floats."""
    return math.tanh(w * x + b) * math.log(x)


def main() -> None:
    x, w, b = _cpp.Scalar(1.5), _cpp.Scalar(-0.8), _cpp.Scalar(0.3)
    y = (w * x + b).tanh_op() * x.log_op()
    y.gradient = 1.0  # backprop seeds nothing: the root's gradient is set by the caller
    y.backprop(y.topo_sort())
    print(f"y = {y.digit:.12f} ({len(y.topo_sort())} nodes, root labelled {y.operation!r})")
    h = 1e-6
    for name, node, shift in [("x", x, (h, 0, 0)), ("w", w, (0, h, 0)), ("b", b, (0, 0, h))]:
        args = (1.5, -0.8, 0.3)
        up = f(*(a + s for a, s in zip(args, shift)))
        down = f(*(a - s for a, s in zip(args, shift)))
        print(f"  dy/d{name} = {node.gradient:+.10f}   central difference {(up - down) / (2 * h):+.10f}")

    # Matrix nodes: loss = sum of sigmoid(W X) over every entry, through the matrix product.
    W = _cpp.Matrix([[0.5, -1.0], [2.0, 0.25]])
    X = _cpp.Matrix([[1.0, 2.0, -1.0], [0.5, 0.0, 3.0]])
    out = (W * X).sigmoid()
    out.gradient = [[1.0] * 3 for _ in range(2)]
    out.backprop(out.topo_sort())

    def loss(Wv):
        P = _cpp.matrix_with_matrix_multiplication(Wv, X.matrix)
        return sum(1.0 / (math.exp(-v) + 1.0) for row in P for v in row)

    bumped = [[W.matrix[0][0] + h, W.matrix[0][1]], W.matrix[1]]
    lowered = [[W.matrix[0][0] - h, W.matrix[0][1]], W.matrix[1]]
    print(f"d loss / d W[0][0] = {W.gradient[0][0]:+.10f}   central difference {(loss(bumped) - loss(lowered)) / (2 * h):+.10f}")


if __name__ == "__main__":
    main()
