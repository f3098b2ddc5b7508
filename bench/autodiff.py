"""Autodiff on scalars: one long expression built node by node, ordered and back-propagated,
against the same expression on PyTorch float64 scalars with autograd."""

import random

import _cpp
from harness import Case, scenario

ORDER = 20
SCENARIOS: list = []

OPS = 100_000
# Each block is five operations, (tanh(acc * w + b) - c) / d, which keeps every value in a
# bounded range however long the chain; the parameters come from a pool of leaves shared by the blocks.
BLOCK = 5
POOL = 100


def _parameters():
    rng = random.Random(3)
    return [(rng.uniform(-1.5, 1.5), rng.uniform(-0.5, 0.5), rng.uniform(-0.5, 0.5), rng.uniform(1.0, 2.0))
            for _ in range(POOL)]


@scenario(SCENARIOS, f"Scalar expression of {OPS:,} operations: forward, topo_sort, backprop", peer="torch",
          needs=("Scalar",))
def scalar_chain() -> Case:
    import torch

    values = _parameters()
    ours_leaves = [tuple(_cpp.Scalar(v) for v in p) for p in values]
    torch_leaves = [tuple(torch.tensor(v, dtype=torch.float64, requires_grad=True) for v in p) for p in values]
    blocks = OPS // BLOCK

    def ours():
        x = _cpp.Scalar(0.25)
        acc = x
        for i in range(blocks):
            w, b, c, d = ours_leaves[i % POOL]
            acc = ((acc * w + b).tanh_op() - c) / d
        acc.gradient = 1.0
        order = acc.topo_sort()
        acc.backprop(order)
        return acc, order, x.gradient

    def peer():
        x = torch.tensor(0.25, dtype=torch.float64, requires_grad=True)
        acc = x
        for i in range(blocks):
            w, b, c, d = torch_leaves[i % POOL]
            acc = ((acc * w + b).tanh() - c) / d
        acc.backward()
        return acc, x.grad

    return Case(ours, peer)
