"""Shared helpers of the network tests: a network with chosen weights, and a plain-Python reference
of one full-batch training step."""

import math

import pytest

import _cpp
from core.reference import matmul


def weights_text(Ws, bs):
    # repr gives the shortest text that reads back to the same double
    return "[" + ",".join(f'{{"parameters":{Ws[i]!r},"bias":{[[b] for b in bs[i]]!r}}}' for i in range(len(Ws))) + "]"


@pytest.fixture
def network_with(tmp_path):
    """network_with(Ws, bs, X, optimizer, **kw): a Network whose layers hold the weight matrices Ws
    (rows of output_size) and bias vectors bs, loaded through a weights file."""

    def make(Ws, bs, X, optimizer=None, **kw):
        net = _cpp.Network(len(Ws), [len(W) for W in Ws], X, optimizer, **kw)
        path = tmp_path / "given_weights.json"
        path.write_text(weights_text(Ws, bs))
        net.load_weights(str(path))
        return net

    return make


@pytest.fixture
def read_params(tmp_path):
    """read_params(net) -> (Ws, bs) as the network holds them, through its weights file."""
    import json

    def read(net):
        path = tmp_path / "read_back.json"
        net.save_weights(str(path))
        layers = json.loads(path.read_text())
        return [layer["parameters"] for layer in layers], [[row[0] for row in layer["bias"]] for layer in layers]

    return read


def reference_gradients(Ws, bs, X, Y, f, df):
    """Gradients of the mean cross-entropy of softmax(W_L ... f(W_1 X + b_1) ... + b_L) for the
    whole batch, written out on lists: (dWs, dbs)."""
    N = len(X[0])
    A, Zs, As = X, [], [X]
    for i, (W, b) in enumerate(zip(Ws, bs)):
        Z = [[v + b[k] for v in row] for k, row in enumerate(matmul(W, A))]
        Zs.append(Z)
        if i + 1 < len(Ws):
            A = [[f(v) for v in row] for row in Z]
            As.append(A)
    E = [[math.exp(v) for v in row] for row in Zs[-1]]
    S = [math.fsum(col) for col in zip(*E)]
    G = [[(E[k][j] / S[j] - Y[k][j]) / N for j in range(N)] for k in range(len(E))]
    dWs, dbs = [None] * len(Ws), [None] * len(Ws)
    for i in reversed(range(len(Ws))):
        dWs[i] = matmul(G, [list(c) for c in zip(*As[i])])
        dbs[i] = [math.fsum(row) for row in G]
        if i:
            back = matmul([list(c) for c in zip(*Ws[i])], G)
            G = [[back[k][j] * df(Zs[i - 1][k][j]) for j in range(N)] for k in range(len(back))]
    return dWs, dbs


def close(a, b, tol=1e-12):
    flat_a = [x for row in a for x in (row if isinstance(row, list) else [row])]
    flat_b = [x for row in b for x in (row if isinstance(row, list) else [row])]
    return len(flat_a) == len(flat_b) and all(abs(x - y) <= tol * max(1.0, abs(y)) for x, y in zip(flat_a, flat_b))


@pytest.fixture
def ref():
    """The reference helpers, for tests that compare against them."""
    from types import SimpleNamespace

    return SimpleNamespace(matmul=matmul, gradients=reference_gradients, close=close, weights_text=weights_text)
