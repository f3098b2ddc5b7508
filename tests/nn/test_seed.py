"""manual_seed makes the network's three random sources repeat, each on a stream of its own, in one
process and across processes; train_epochs_quiet trains exactly as train_loop, printing nothing."""

import os
import subprocess
import sys

import pytest

import _cpp

X = [[0.1 * ((7 * j + 3 * i) % 11) - 0.5 for j in range(10)] for i in range(3)]   # 3 features, 10 samples
Y = [[1.0 if j % 3 == c else 0.0 for j in range(10)] for c in range(3)]            # 3 classes


def trained(seed, quiet, epochs=3, batch=3, dropout=0.3, optimizer=_cpp.Adam):
    """(network, losses) after seeding, building a 3-8-3 network and training it; losses is None
    for train_loop."""
    _cpp.manual_seed(seed)
    net = _cpp.Network(2, [8, 3], X, optimizer(0.05), dropout)
    losses = net.train_epochs_quiet(epochs, Y, batch) if quiet else net.train_loop(epochs, Y, batch)
    return net, losses


class TestManualSeed:
    def test_same_seed_same_weights_masks_and_orders(self):
        a, losses_a = trained(11, quiet=True)
        b, losses_b = trained(11, quiet=True)
        assert a == b and losses_a == losses_b and a.predict(X) == b.predict(X)
        c, losses_c = trained(12, quiet=True)
        assert a != c and losses_a != losses_c

    def test_each_source_has_its_own_stream(self):
        """Draws of one source do not move another: training in between leaves the weight stream
        where the seed put it, and building a network leaves the shuffle and dropout streams."""
        _cpp.manual_seed(5)
        first = _cpp.Network(1, [4], X, None)
        _cpp.manual_seed(5)
        trained_between = _cpp.Network(2, [8, 3], X, _cpp.Adam(), 0.5)   # draws weights, then ...
        _cpp.manual_seed(5)
        trained_between.train_epochs_quiet(2, Y, 2)                      # ... masks and orders only
        assert _cpp.Network(1, [4], X, None) == first

        plain, losses = trained(5, quiet=True)
        _cpp.manual_seed(5)
        net = _cpp.Network(2, [8, 3], X, _cpp.Adam(0.05), 0.3)
        _cpp.Network(3, [50, 50, 50], X, None)        # another network's weights in between
        assert net.train_epochs_quiet(3, Y, 3) == losses and net == plain

    def test_same_results_in_another_process(self):
        code = ("import _cpp, sys; sys.path.insert(0, sys.argv[1]); from test_seed import trained; "
                "print(repr(trained(2**64 - 1, quiet=True)[1]))")
        env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
        out = subprocess.run([sys.executable, "-c", code, os.path.dirname(__file__)], capture_output=True,
                             text=True, env=env, check=True).stdout
        assert out.strip() == repr(trained(2**64 - 1, quiet=True)[1])

    @pytest.mark.parametrize("seed", [0, 1, 2**32, 2**64 - 1, True])
    def test_every_64_bit_seed_is_accepted(self, seed):
        _cpp.manual_seed(seed)

    def test_integers_of_other_types(self):
        np = pytest.importorskip("numpy")
        assert trained(np.uint64(2**63), quiet=True)[1] == trained(2**63, quiet=True)[1]

    @pytest.mark.parametrize("seed", [-1, 2**64, -(2**70)])
    def test_seed_out_of_range_is_value_error(self, seed):
        with pytest.raises(ValueError, match=r"manual_seed: seed must lie in 0 \.\. 2\*\*64 - 1, got " + str(seed)):
            _cpp.manual_seed(seed)

    @pytest.mark.parametrize("seed", [1.0, "1", None])
    def test_seed_of_another_type_is_type_error(self, seed):
        with pytest.raises(TypeError):
            _cpp.manual_seed(seed)


class TestQuietTraining:
    @pytest.mark.parametrize("optimizer", [_cpp.Adam, _cpp.SGD])
    @pytest.mark.parametrize("dropout", [0.0, 0.4])
    def test_trains_exactly_as_train_loop(self, capfd, optimizer, dropout):
        loud, _ = trained(3, quiet=False, dropout=dropout, optimizer=optimizer)
        printed = capfd.readouterr().out.splitlines()
        quiet, losses = trained(3, quiet=True, dropout=dropout, optimizer=optimizer)
        assert capfd.readouterr() == ("", "")
        assert quiet == loud
        # Three batches of three out of ten samples, for three epochs; the loss is what train_loop prints.
        assert len(losses) == 9
        assert printed == [f"Epoch {i // 3}, Batch {i % 3}, Loss: {loss:g}" for i, loss in enumerate(losses)]

    def test_one_epoch_per_call_is_one_call_of_all_epochs(self):
        whole, losses = trained(4, quiet=True, epochs=4)
        _cpp.manual_seed(4)
        net = _cpp.Network(2, [8, 3], X, _cpp.Adam(0.05), 0.3)
        assert [loss for _ in range(4) for loss in net.train_epochs_quiet(1, Y, 3)] == losses
        assert net == whole

    def test_batch_larger_than_the_samples_trains_nothing(self):
        net = _cpp.Network(2, [8, 3], X, _cpp.Adam())
        before = _cpp.Network.__reduce__(net)[2]
        assert net.train_epochs_quiet(5, Y, 11) == [] and net.train_epochs_quiet(0, Y, 2) == []
        assert _cpp.Network.__reduce__(net)[2] == before

    @pytest.mark.parametrize("optimizer, labels, batch, message", [
        (None, Y, 2, "the network has no optimizer"),
        (_cpp.Adam(), Y, 0, "batch_size must be at least 1, got 0"),
        (_cpp.Adam(), Y[:2], 2, "train_labels is 2x10, the network needs 3 rows"),
    ])
    def test_refusals_name_the_method(self, optimizer, labels, batch, message):
        net = _cpp.Network(2, [8, 3], X, optimizer)
        with pytest.raises(ValueError, match=f"Network.train_epochs_quiet: {message}"):
            net.train_epochs_quiet(1, labels, batch)
