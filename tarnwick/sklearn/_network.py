"""A feed-forward classifier over _cpp.Network: softmax output, cross-entropy loss, shuffled
mini-batches with Adam or SGD, reproducible through random_state."""

from __future__ import annotations

import numbers
import sys
from collections.abc import Iterable, Iterator
from typing import Any

import numpy as np
from sklearn.utils import check_random_state

import _cpp
from tarnwick import _random
from tarnwick.sklearn._base import (Classifier, check_choice, check_int, check_real, fit_data,
                                    predict_data)

ACTIVATIONS = {"relu": _cpp.FunctionType.RELU, "sigmoid": _cpp.FunctionType.SIGMOID, "tanh": _cpp.FunctionType.TANH}
SOLVERS = ("adam", "sgd")


def per_column(X: np.ndarray) -> Any:
    """X (n_samples, n_features) as the network takes it, one column per sample (typed Any: numpy's
    stubs give arrays the buffer protocol only from Python 3.12 on)."""
    return np.ascontiguousarray(X.T)


class MLPClassifier(Classifier):
    """Multi-layer perceptron classifier: hidden layers of one activation, then a softmax layer with
    one neuron per class, trained on shuffled mini-batches.

    Parameters:
        hidden_layer_sizes: sequence of int >= 1 (or one int), the neurons of each hidden layer.
        activation: "relu" (default), "sigmoid" or "tanh".
        solver: "adam" (default) or "sgd".
        learning_rate: float > 0 (default 0.001).
        epochs: int >= 1, passes over the shuffled samples (default 200).
        batch_size: int >= 1 (default 32); a batch larger than the sample count takes all samples.
            The last n_samples % batch_size shuffled samples of each epoch are left out.
        dropout_rate: float in [0, 1), the fraction of hidden units dropped while training.
        random_state: None (draw from the process's sources as they stand), an int in
            0 .. 2**64 - 1 (reseed them through tarnwick.manual_seed before building the network:
            two fits with the same state give the same weights and predictions bit for bit), or a
            numpy RandomState, which draws that int.
        verbose: bool; True shows one progress step per epoch (a tqdm bar when tqdm is installed,
            else one line per epoch on sys.stdout).

    Attributes:
        classes_: the labels, sorted.  loss_curve_: list of the mean batch loss of each epoch.
        loss_: the last of them.  network_: the trained _cpp.Network (its initial_input holds the
        training inputs, one column per sample).
    """

    def __init__(self, hidden_layer_sizes: Iterable[int] | int = (100,), activation: str = "relu",
                 solver: str = "adam", learning_rate: float = 0.001, epochs: int = 200, batch_size: int = 32,
                 dropout_rate: float = 0.0, random_state: Any = None, verbose: bool = False) -> None:
        self.hidden_layer_sizes = hidden_layer_sizes
        self.activation = activation
        self.solver = solver
        self.learning_rate = learning_rate
        self.epochs = epochs
        self.batch_size = batch_size
        self.dropout_rate = dropout_rate
        self.random_state = random_state
        self.verbose = verbose

    def _hidden(self) -> list[int]:
        sizes: Any = self.hidden_layer_sizes
        listed: list[Any] = [sizes] if isinstance(sizes, numbers.Integral) else list(sizes)
        if not all(isinstance(s, numbers.Integral) and not isinstance(s, (bool, np.bool_)) and int(s) >= 1
                   for s in listed):
            raise ValueError(f"MLPClassifier: hidden_layer_sizes must be ints of at least 1, got {sizes!r}")
        return [int(s) for s in listed]

    def _seed(self) -> int | None:
        state: Any = self.random_state
        if state is None:
            return None
        if isinstance(state, np.random.RandomState):
            return int(check_random_state(state).randint(0, 2**32, dtype=np.uint64))
        if isinstance(state, (bool, np.bool_)) or not isinstance(state, numbers.Integral) \
                or not 0 <= int(state) < 2**64:
            raise ValueError(f"MLPClassifier: random_state must be None, an int in 0 .. 2**64 - 1 or a "
                             f"numpy RandomState, got {state!r}")
        return int(state)

    def fit(self, X: Any, y: Any) -> MLPClassifier:
        hidden = self._hidden()
        function_type = ACTIVATIONS[check_choice(self, "activation", tuple(ACTIVATIONS))]
        solver = check_choice(self, "solver", SOLVERS)
        learning_rate = check_real(self, "learning_rate", 0.0, low_open=True)
        epochs = check_int(self, "epochs", 1)
        batch_size = check_int(self, "batch_size", 1)
        dropout_rate = check_real(self, "dropout_rate", 0.0, 1.0, high_open=True)
        seed = self._seed()
        X, y = fit_data(self, X, y)
        index = self._learn_classes(y)
        n_samples = X.shape[0]
        classes = len(self.classes_)
        # The network takes one one-hot column per sample, a row per class of classes_.
        onehot: Any = np.zeros((classes, n_samples))
        onehot[index, np.arange(n_samples)] = 1.0
        inputs = per_column(X)
        # train_loop would run no batch at all with fewer samples than batch_size.
        batch = min(batch_size, n_samples)

        curve: list[float] = []
        with _random.training:
            if seed is not None:
                _cpp.manual_seed(seed)
            layers, neurons = len(hidden) + 1, hidden + [classes]
            network = (_cpp.Network(layers, neurons, inputs, _cpp.Adam(learning_rate), dropout_rate, function_type)
                       if solver == "adam" else
                       _cpp.Network(layers, neurons, inputs, _cpp.SGD(learning_rate), dropout_rate, function_type))
            # One epoch per call trains exactly as one call of all epochs (the shuffle source, the
            # optimizer state and the graph carry over), and lets progress show between epochs.
            for _ in self._progress(epochs, curve):
                losses = network.train_epochs_quiet(1, onehot, batch)
                curve.append(sum(losses) / len(losses))
        self.network_ = network
        self.loss_curve_ = curve
        self.loss_ = curve[-1]
        return self

    def _progress(self, epochs: int, curve: list[float]) -> Iterator[int]:
        if not self.verbose:
            yield from range(epochs)
            return
        try:
            from tqdm.auto import tqdm
        except ImportError:
            for epoch in range(epochs):
                yield epoch
                print(f"MLPClassifier: epoch {epoch + 1}/{epochs}, loss {curve[-1]:.6g}", file=sys.stdout,
                      flush=True)
            return
        with tqdm(total=epochs, desc="MLPClassifier", unit="epoch") as bar:
            for epoch in range(epochs):
                yield epoch
                bar.set_postfix(loss=f"{curve[-1]:.6g}", refresh=False)
                bar.update(1)

    def predict(self, X: Any) -> np.ndarray:
        X = predict_data(self, X)
        index = np.asarray(self.network_.predict(per_column(X)), dtype=np.intp)
        result: np.ndarray = self.classes_[index]
        return result
