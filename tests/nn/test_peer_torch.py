"""The network against a float64 PyTorch MLP with the same weights: one full-batch step of SGD and of
Adam must give the same updated weights (a full batch makes the shuffle irrelevant to the mean)."""

import os
import random

import pytest

if os.environ.get("TARNWICK_SANITIZED"):
    pytest.skip("the peer is not loaded into the sanitizer build", allow_module_level=True)
torch = pytest.importorskip("torch")

import _cpp  # noqa: E402

ACTIVATIONS = [(_cpp.ReLU, torch.relu), (_cpp.Sigmoid, torch.sigmoid), (_cpp.Tanh, torch.tanh)]
SIZES = [4, 7, 5, 3]
SAMPLES = 12


def problem(seed):
    rng = random.Random(seed)
    X = [[rng.gauss(0, 1) for _ in range(SAMPLES)] for _ in range(SIZES[0])]
    labels = [rng.randrange(SIZES[-1]) for _ in range(SAMPLES)]
    Y = [[1.0 if labels[j] == k else 0.0 for j in range(SAMPLES)] for k in range(SIZES[-1])]
    Ws = [[[rng.uniform(-0.8, 0.8) for _ in range(SIZES[i])] for _ in range(SIZES[i + 1])] for i in range(len(SIZES) - 1)]
    bs = [[rng.uniform(-0.2, 0.2) for _ in range(SIZES[i + 1])] for i in range(len(SIZES) - 1)]
    return X, Y, Ws, bs


def torch_step(X, Y, Ws, bs, act, make_optimizer, steps=1):
    params = []
    for W, b in zip(Ws, bs):
        params += [torch.tensor(W, dtype=torch.float64, requires_grad=True),
                   torch.tensor(b, dtype=torch.float64, requires_grad=True)]
    opt = make_optimizer(params)
    x, y = torch.tensor(X, dtype=torch.float64), torch.tensor(Y, dtype=torch.float64)
    for _ in range(steps):
        opt.zero_grad()
        a = x
        for i in range(0, len(params), 2):
            z = params[i] @ a + params[i + 1][:, None]
            a = act(z) if i + 2 < len(params) else z
        loss = -(y * torch.log_softmax(a, dim=0)).sum(dim=0).mean()
        loss.backward()
        opt.step()
    return [p.detach().tolist() for p in params[0::2]], [p.detach().tolist() for p in params[1::2]], loss.item()


@pytest.mark.parametrize("ours, theirs", ACTIVATIONS)
@pytest.mark.parametrize(
    "make_ours, make_theirs, steps",
    [
        (lambda: _cpp.SGD(0.3), lambda p: torch.optim.SGD(p, lr=0.3), 1),
        (lambda: _cpp.Adam(0.01), lambda p: torch.optim.Adam(p, lr=0.01, betas=(0.9, 0.999), eps=1e-08), 1),
        (lambda: _cpp.Adam(0.01), lambda p: torch.optim.Adam(p, lr=0.01, betas=(0.9, 0.999), eps=1e-08), 3),
    ],
    ids=["sgd", "adam", "adam-3-steps"],
)
def test_same_update_as_pytorch(ours, theirs, make_ours, make_theirs, steps, network_with, read_params, capfd):
    X, Y, Ws, bs = problem(10 * len(ours.__name__) + steps)
    net = network_with(Ws, bs, X, make_ours(), activation=ours())
    net.train_loop(steps, Y, SAMPLES)
    got_Ws, got_bs = read_params(net)
    want_Ws, want_bs, first_loss = torch_step(X, Y, Ws, bs, theirs, make_theirs, steps=1)
    if steps > 1:
        want_Ws, want_bs, _ = torch_step(X, Y, Ws, bs, theirs, make_theirs, steps)
    for got, want in zip(got_Ws + got_bs, want_Ws + want_bs):
        flat_got = [v for row in got for v in (row if isinstance(row, list) else [row])]
        flat_want = [v for row in want for v in (row if isinstance(row, list) else [row])]
        assert flat_got == pytest.approx(flat_want, abs=1e-12, rel=0)
    assert capfd.readouterr().out.splitlines()[0] == f"Epoch 0, Batch 0, Loss: {first_loss:g}"
