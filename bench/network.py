"""Network training: a 64-128-10 ReLU network on data the size of the 8x8 digits (1,797 samples of
64 features, 10 classes), batch 32, Adam, 10 epochs, against a float64 PyTorch model of the same
shape and optimizer. Both write one progress line per batch, into /dev/null."""

import os

import numpy as np

import _cpp
from harness import Case, scenario, stdout_to_devnull

ORDER = 30
SCENARIOS: list = []

SAMPLES, FEATURES, HIDDEN, CLASSES = 1797, 64, 128, 10
EPOCHS, BATCH = 10, 32


def digits_like(rng):
    """Ten blurred prototypes on an 8x8 grid of intensities 0..16, one noisy copy per sample, scaled to [0, 1]."""
    prototypes = rng.integers(0, 17, size=(CLASSES, FEATURES)).astype(np.float64)
    labels = rng.integers(0, CLASSES, size=SAMPLES)
    x = np.clip(prototypes[labels] + rng.normal(0.0, 3.0, size=(SAMPLES, FEATURES)), 0.0, 16.0) / 16.0
    return x, labels


@scenario(SCENARIOS, f"Network {FEATURES}-{HIDDEN}-{CLASSES} ReLU, Adam, batch {BATCH}, {EPOCHS} epochs "
          f"of {SAMPLES} samples", peer="torch", needs=("Network", "Adam"))
def train() -> Case:
    import torch

    x, labels = digits_like(np.random.default_rng(4))
    columns = np.ascontiguousarray(x.T)                     # one row per feature, one column per sample
    one_hot = np.ascontiguousarray(np.eye(CLASSES)[labels].T)
    x_torch = torch.from_numpy(x)
    y_torch = torch.from_numpy(labels)
    devnull = open(os.devnull, "w")

    def ours():
        net = _cpp.Network(2, [HIDDEN, CLASSES], columns, _cpp.Adam())
        with stdout_to_devnull():
            net.train_loop(EPOCHS, one_hot, BATCH)
        return net

    def peer():
        model = torch.nn.Sequential(torch.nn.Linear(FEATURES, HIDDEN), torch.nn.ReLU(),
                                    torch.nn.Linear(HIDDEN, CLASSES)).double()
        optimizer = torch.optim.Adam(model.parameters(), lr=0.001)
        for e in range(EPOCHS):
            order = torch.randperm(SAMPLES)
            for b in range(SAMPLES // BATCH):
                batch = order[b * BATCH:(b + 1) * BATCH]
                loss = torch.nn.functional.cross_entropy(model(x_torch[batch]), y_torch[batch])
                print(f"Epoch {e}, Batch {b}, Loss: {loss.item():g}", file=devnull)
                optimizer.zero_grad()
                loss.backward()
                optimizer.step()
        return model

    return Case(ours, peer)
