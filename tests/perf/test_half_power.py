"""Roots of degree 2 are pow(x, 0.5) as the C library computes it, taken through a square root
where the two provably agree: element_wise_roots(M, 2) and Adam's step must equal math.pow (which
calls the same pow) bit for bit, on inputs built to sit on both sides of that proof."""

import json
import math
import random
import struct
from fractions import Fraction

import pytest

import _cpp


def bits(x):
    return struct.pack("<d", x)


def same(a, b):
    return (math.isnan(a) and math.isnan(b)) or bits(a) == bits(b)


def reference_root(x):
    # math.pow refuses a finite negative base, where C's pow returns nan.
    return math.nan if -math.inf < x < 0 else math.pow(x, 0.5)


def near_midpoints(rng, count):
    """x = m * m rounded, m halfway between two doubles: the root lies almost on a rounding
    boundary, where a square root and pow may part, so these must all take the exact route."""
    out = []
    for _ in range(count):
        mantissa = rng.getrandbits(52) | (1 << 52)
        m = Fraction(2 * mantissa + 1, 1 << 53)
        x = float(m * m)
        scale = 4.0 ** rng.randint(-200, 200)
        out += [x * scale, math.nextafter(x, 0.0) * scale, math.nextafter(x, 8.0) * scale]
    return out


def wide_range(rng, count):
    """Positive doubles of every exponent (subnormals and the largest included) and exact squares."""
    out = [struct.unpack("<d", struct.pack("<Q", rng.getrandbits(63)))[0] for _ in range(count)]
    out += [r * r for r in (rng.uniform(1.0, 2.0) * 2.0 ** rng.randint(-500, 500) for _ in range(count))]
    return out


SPECIAL = [0.0, -0.0, 1.0, 2.0, 4.0, 0.25, 2.0 ** -1074, 2.0 ** -1022, 2.0 ** -961, 2.0 ** -960, 2.0 ** 1020,
           2.0 ** 1021, math.nextafter(2.0 ** 1020, math.inf), 1.7976931348623157e308, math.inf, -math.inf,
           math.nan, -1.0, -2.0 ** -1074, 1e-300, 3.0, 0.1]


@pytest.mark.parametrize("make", [near_midpoints, wide_range, lambda rng, count: SPECIAL],
                         ids=["near rounding midpoints", "every exponent", "special values"])
def test_roots_of_degree_two_are_pow_bit_for_bit(make):
    rng = random.Random(11)
    xs = make(rng, 3000)
    # One long row and many short ones: the vector loop and its remainders both run.
    for M in ([xs], [[x] for x in xs[:500]], [xs[i:i + 3] for i in range(0, len(xs) - 2, 3)]):
        got = _cpp.element_wise_roots(M, 2)
        bad = [(x, y) for row, out in zip(M, got) for x, y in zip(row, out) if not same(y, reference_root(x))]
        assert not bad, bad[:5]


def test_other_degrees_keep_their_power():
    xs = [0.5, 2.0, 8.0, 1e-300, 3.0]
    assert _cpp.element_wise_roots([xs], 3) == [[math.pow(x, 1.0 / 3) for x in xs]]
    assert _cpp.element_wise_roots([xs], 0.5) == [[math.pow(x, 2.0) for x in xs]]


def test_adam_steps_take_pow_roots(tmp_path):
    # One layer, one-hot sample [[1], [0], [0]]: every gradient is known exactly in plain Python (the
    # columns of the zero features get exact zeros), so three Adam steps of a reference written
    # with math.pow must match the network bit for bit.
    rng = random.Random(5)
    classes, features, rate = 10, 3, 0.01
    W = [[rng.uniform(-1, 1) for _ in range(features)] for _ in range(classes)]
    b = [rng.uniform(-1, 1) for _ in range(classes)]
    X = [[1.0], [0.0], [0.0]]
    Y = [[1.0 if k == 3 else 0.0] for k in range(classes)]
    net = _cpp.Network(1, [classes], X, _cpp.Adam(rate))
    weights = tmp_path / "w.json"
    weights.write_text(json.dumps([{"parameters": W, "bias": [[v] for v in b]}]))
    net.load_weights(str(weights))
    net.train_loop(3, Y, 1)

    params = [row[:] for row in W] + [[v] for v in b]
    m = [[0.0] * len(row) for row in params]
    v = [[0.0] * len(row) for row in params]
    for t in (1, 2, 3):
        z = [W[k][0] * 1.0 + b[k] for k in range(classes)]
        e = [math.exp(x) for x in z]
        S = 0.0
        for x in e:
            S += x
        G = [(e[k] / S - Y[k][0]) / 1.0 for k in range(classes)]
        grads = [[G[k], G[k] * 0.0, G[k] * 0.0] for k in range(classes)] + [[0.0 + G[k]] for k in range(classes)]
        c1, c2 = 1.0 / (1.0 - math.pow(0.9, t)), 1.0 / (1.0 - math.pow(0.999, t))
        for p, mr, vr, gr in zip(params, m, v, grads):
            for j, g in enumerate(gr):
                mr[j] = mr[j] * 0.9 + g * (1.0 - 0.9)
                vr[j] = vr[j] * 0.999 + (g * g) * (1.0 - 0.999)
                p[j] = p[j] - ((mr[j] * c1) / (math.pow(vr[j] * c2, 0.5) + 1e-08)) * rate
        W, b = params[:classes], [row[0] for row in params[classes:]]

    net.save_weights(str(weights))
    saved = json.loads(weights.read_text())[0]
    assert saved["parameters"] == W and [row[0] for row in saved["bias"]] == b
