"""The network under Ctrl-C, threads and the cyclic collector: an interrupted training stays as after
its last whole batch, training lets other Python threads run (a thread draining its own progress
pipe keeps up), calls from several threads on one network or one optimizer wait for each other
instead of failing, and a network in a reference cycle with its activation or optimizer is freed.
Cases that could hang or crash run in a child process."""

import copy
import gc
import json
import pickle
import threading
import weakref

import pytest

import _cpp
from interrupts import LATENCY_BOUND, run_child

X = [[0.1, 0.2, 0.3, 0.4, -0.2, 0.9, 0.0, 0.5], [0.5, -0.1, 0.2, 0.0, 0.7, -0.4, 0.3, 0.1]]
Y = [[1.0, 0.0, 1.0, 0.0, 1.0, 0.0, 0.0, 1.0], [0.0, 1.0, 0.0, 1.0, 0.0, 1.0, 1.0, 0.0]]


class Leaky(_cpp.ActivationFunction):
    def forward(self, x):
        return x if x > 0 else 0.25 * x

    def derivative(self, x):
        return 1.0 if x > 0 else 0.25


class TestInterrupt:
    def test_training_stops_after_a_whole_batch_and_goes_on_from_there(self, capfd):
        # One sample, so every batch is the same whatever the shuffle: a network interrupted after
        # k batches (k progress lines) must equal a twin trained for exactly k, weights, biases and
        # Adam's moments and step count included (they decide the steps that follow).
        out = run_child("""
            import json, os, tempfile
            import _cpp
            from interrupts import interrupted

            X, Y = [[0.3], [-0.7], [0.2]], [[0.0], [1.0]]
            work = tempfile.TemporaryDirectory()
            weights = os.path.join(work.name, "weights.json")
            _cpp.Network(2, [5, 2], X, None).save_weights(weights)

            def make(optimizer):
                net = _cpp.Network(2, [5, 2], X, optimizer)
                net.load_weights(weights)
                return net

            def quietly(lines_path, call):
                saved = os.dup(1)
                target = os.open(lines_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC)
                os.dup2(target, 1)
                os.close(target)
                try:
                    call()
                finally:
                    os.dup2(saved, 1)
                    os.close(saved)

            result = {}
            for name in ("Adam", "SGD"):
                net = make(getattr(_cpp, name)(0.01))
                lines = os.path.join(work.name, name + ".lines")
                latency = interrupted(lambda: quietly(lines, lambda: net.train_loop(10**8, Y, 1)), 0.25)
                with open(lines) as f:
                    batches = sum(1 for _ in f)
                twin = make(getattr(_cpp, name)(0.01))
                quietly(os.devnull, lambda: twin.train_loop(batches, Y, 1))
                same_now = net == twin
                quietly(os.devnull, lambda: (net.train_loop(5, Y, 1), twin.train_loop(5, Y, 1)))
                result[name] = [batches, latency, same_now, net == twin, net.predict(X) == twin.predict(X)]
            print(json.dumps(result))
        """)
        for name, (batches, latency, same_now, same_later, same_prediction) in json.loads(out).items():
            with capfd.disabled():
                print(f"\n{name} training: Ctrl-C after {latency * 1e3:.1f} ms, {batches} whole batches")
            assert batches > 0 and same_now and same_later and same_prediction, name
            assert latency < LATENCY_BOUND, name

    def test_evaluation_stops_and_changes_nothing(self, capfd):
        # Eight Tanh layers of 128 over 30,000 samples take most of a second; the interrupt comes
        # at 0.15 s, in the middle of the first pass.
        out = run_child("""
            import json
            import numpy as np
            import _cpp
            from interrupts import interrupted

            rng = np.random.default_rng(5)
            X = rng.standard_normal((32, 30000))
            Y = np.eye(4)[rng.integers(0, 4, 30000)].T.copy()
            net = _cpp.Network(9, [128] * 8 + [4], X[:, :50], None, function_type=_cpp.TANH)
            small = X[:, :50], Y[:, :50]
            before = net.predict(small[0]), net.accuracy(*small)
            latency = {"predict": interrupted(lambda: net.predict(X), 0.15),
                       "accuracy": interrupted(lambda: net.accuracy(X, Y), 0.15)}
            after = net.predict(small[0]), net.accuracy(*small)
            print(json.dumps({"latency": latency, "unchanged": after == before}))
        """)
        report = json.loads(out)
        with capfd.disabled():
            print("\n" + ", ".join(f"Network.{name}: Ctrl-C after {t * 1e3:.1f} ms"
                                   for name, t in report["latency"].items() if t))
        assert report["unchanged"]
        for name, latency in report["latency"].items():
            assert latency is not None and latency < LATENCY_BOUND, name


class TestThreads:
    def test_a_thread_draining_the_progress_pipe_keeps_up(self):
        # Fd 1 becomes a pipe that a thread of the same process empties: training that held the
        # interpreter lock while writing would block forever once the pipe filled (64 KiB).
        out = run_child("""
            import os, threading
            import _cpp

            X = [[0.1, 0.2, 0.3, 0.4, -0.2, 0.9, 0.0, 0.5], [0.5, -0.1, 0.2, 0.0, 0.7, -0.4, 0.3, 0.1]]
            Y = [[1.0, 0.0, 1.0, 0.0, 1.0, 0.0, 0.0, 1.0], [0.0, 1.0, 0.0, 1.0, 0.0, 1.0, 1.0, 0.0]]
            read_end, write_end = os.pipe()
            saved = os.dup(1)
            os.dup2(write_end, 1)
            os.close(write_end)
            received = []
            def drain():
                while chunk := os.read(read_end, 1 << 16):
                    received.append(len(chunk))
            reader = threading.Thread(target=drain)
            reader.start()
            _cpp.Network(2, [4, 2], X, _cpp.SGD()).train_loop(1000, Y, 1)
            os.dup2(saved, 1)
            reader.join()
            print(sum(received))
        """, timeout=60)
        assert int(out) > 200_000

    def test_two_threads_training_one_network_with_a_python_activation_wait_for_each_other(self, capfd):
        net = _cpp.Network(2, [4, 2], X, _cpp.Adam(0.01), activation=Leaky())
        errors, predictions = [], []

        def train():
            try:
                net.train_loop(30, Y, 2)
            except Exception as e:  # noqa: BLE001 - any error is the failure this test looks for
                errors.append(e)

        def evaluate():
            for _ in range(30):
                predictions.append(net.predict(X))

        threads = [threading.Thread(target=f) for f in (train, train, evaluate)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        assert errors == [] and len(predictions) == 30
        assert len(capfd.readouterr().out.splitlines()) == 2 * 30 * 4

    def test_an_activation_calling_back_into_its_own_network_is_still_refused(self):
        holder = {}

        class Reentrant(Leaky):
            def forward(self, x):
                holder["net"].train_loop(1, Y, 8)
                return x

        holder["net"] = net = _cpp.Network(2, [3, 2], X, _cpp.SGD(), activation=Reentrant())
        with pytest.raises(RuntimeError, match="^Network.train_loop: the network is in the middle of another call"):
            net.predict(X)
        with pytest.raises(RuntimeError, match="^Network.train_loop: the network is in the middle of another call"):
            net.train_loop(1, Y, 8)

    def test_networks_sharing_an_optimizer_train_in_parallel_threads(self, capfd):
        # Dropout draws from the process-wide source in both threads; the optimizer is locked for
        # each step, and a third thread changing its rate meanwhile waits for it as well.
        opt = _cpp.Adam(0.01)
        nets = [_cpp.Network(3, [16, 8, 2], X, opt, dropout_rate=0.5) for _ in range(2)]
        errors = []

        def train(net):
            try:
                net.train_loop(40, Y, 2)
            except Exception as e:  # noqa: BLE001
                errors.append(e)

        threads = [threading.Thread(target=train, args=(n,)) for n in nets]
        for t in threads:
            t.start()
        for rate in (0.02, 0.03) * 50:
            opt.learning_rate = rate
        for t in threads:
            t.join()
        assert errors == [] and opt.learning_rate == 0.03
        assert len(capfd.readouterr().out.splitlines()) == 2 * 40 * 4
        assert all(len(n.predict(X)) == 8 for n in nets)


class TestCollector:
    @staticmethod
    def freed_together(*objects):
        refs = [weakref.ref(o) for o in objects]
        del objects
        gc.collect()
        return [r() is None for r in refs]

    def test_a_network_and_its_activation_in_a_cycle_are_freed(self):
        act = Leaky()
        net = _cpp.Network(2, [3, 2], X, _cpp.Adam(), activation=act)
        act.network = net
        refs = [weakref.ref(net), weakref.ref(act)]
        del net, act
        gc.collect()
        assert [r() is None for r in refs] == [True, True]

    def test_a_network_in_a_cycle_through_a_python_optimizer_is_freed(self):
        class Tracked(_cpp.Adam):
            pass

        opt, act = Tracked(0.01), Leaky()
        net = _cpp.Network(2, [3, 2], X, opt, activation=act)
        opt.networks = [net]        # optimizer -> network -> optimizer
        act.optimizer = opt         # activation -> optimizer -> network -> activation
        net.train_loop(1, Y, 8)
        refs = [weakref.ref(net), weakref.ref(opt), weakref.ref(act)]
        del net, opt, act
        gc.collect()
        assert [r() is None for r in refs] == [True, True, True]

    def test_a_network_in_a_cycle_still_pickles_and_copies(self, capfd):
        act = Leaky()
        net = _cpp.Network(2, [3, 2], X, _cpp.SGD(0.1), activation=act)
        act.network = net
        net.train_loop(2, Y, 4)
        for twin in (pickle.loads(pickle.dumps(net)), copy.deepcopy(net)):
            assert twin == net and twin.predict(X) == net.predict(X)
            assert repr(twin) == repr(net)
            twin.train_loop(1, Y, 8)  # an independent network: training it leaves the original alone
            assert twin != net
