"""Network construction, the forward graph, training steps, evaluation and the progress lines."""

import gc
import math
import os
import random
import subprocess
import sys
import weakref

import pytest

import _cpp
from autodiff.reference import relu, relu_slope as drelu, sigmoid

LN2 = "0.693147"


def toy(seed, features=3, samples=8, classes=2):
    rng = random.Random(seed)
    X = [[rng.uniform(-1, 1) for _ in range(samples)] for _ in range(features)]
    labels = [rng.randrange(classes) for _ in range(samples)]
    Y = [[1.0 if labels[j] == k else 0.0 for j in range(samples)] for k in range(classes)]
    return X, Y


def random_params(seed, sizes):
    rng = random.Random(seed)
    Ws = [[[rng.uniform(-1, 1) for _ in range(sizes[i])] for _ in range(sizes[i + 1])] for i in range(len(sizes) - 1)]
    bs = [[rng.uniform(-0.5, 0.5) for _ in range(sizes[i + 1])] for i in range(len(sizes) - 1)]
    return Ws, bs


def progress(capfd):
    return capfd.readouterr().out.splitlines()


class TestConstruction:
    def test_layer_shapes_follow_the_neuron_counts(self, read_params):
        net = _cpp.Network(2, [4, 3, 99], [[0.0] * 6 for _ in range(5)], _cpp.Adam())
        Ws, bs = read_params(net)
        assert [(len(W), len(W[0])) for W in Ws] == [(4, 5), (3, 4)]
        assert bs == [[0.0] * 4, [0.0] * 3]

    def test_he_initialisation(self, read_params):
        (W,), _ = read_params(_cpp.Network(1, [400], [[0.0]] * 50, None))
        flat = [x for row in W for x in row]
        mean = sum(flat) / len(flat)
        std = math.sqrt(sum((x - mean) ** 2 for x in flat) / len(flat))
        assert abs(mean) < 0.01 and std == pytest.approx(math.sqrt(2 / 50), rel=0.03)

    def test_every_network_and_process_draws_new_weights(self, read_params):
        X = [[0.0]] * 3
        assert read_params(_cpp.Network(1, [3], X, None)) != read_params(_cpp.Network(1, [3], X, None))
        code = "import _cpp; _cpp.Network(1, [3], [[0.0]] * 3, None).save_weights('/dev/stdout')"
        env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
        runs = [subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=env).stdout
                for _ in range(2)]
        assert runs[0].startswith('[{"parameters":') and runs[0] != runs[1]

    def test_defaults_and_keywords(self):
        net = _cpp.Network(layer_num=1, neurons_in_layers=[2], initial_input=[[1.0]], optimizer=_cpp.SGD())
        assert net.dropout_rate == 0.0
        net.dropout_rate = 0.25
        assert net.dropout_rate == 0.25
        _cpp.Network(1, [2], [[1.0]], None, 0.5, _cpp.TANH, _cpp.Sigmoid(), "w.json")
        with pytest.raises(TypeError):
            _cpp.Network(1, [2], [[1.0]], _cpp.Sigmoid())
        with pytest.raises(TypeError):
            _cpp.Network(1, [2], [[1.0]], None, function_type=1)
        # An enum value outside the three activations is refused, never taken for ReLU.
        with pytest.raises(ValueError, match=r"function_type must be RELU \(0\), SIGMOID \(1\) or TANH \(2\), got 5"):
            _cpp.Network(1, [2], [[1.0]], None, 0.0, _cpp.FunctionType(5))
        with pytest.raises(ValueError, match="got 5"):
            _cpp.Network(1, [2], [[1.0]], None, 0.0, _cpp.FunctionType(5), _cpp.Sigmoid())

    @pytest.mark.parametrize(
        "args, message",
        [
            ((0, [2], [[1.0]]), "layer_num must lie between 1 and the 1 entries of neurons_in_layers, got 0"),
            ((3, [2, 2], [[1.0]]), "layer_num must lie between 1 and the 2 entries of neurons_in_layers, got 3"),
            ((2, [2, 0], [[1.0]]), r"neurons_in_layers\[1\] must be at least 1, got 0"),
            ((1, [-1], [[1.0]]), r"neurons_in_layers\[0\] must be at least 1, got -1"),
            ((1, [2], []), "initial_input is empty"),
            ((1, [2], [[1.0, 2.0], [3.0]]), "initial_input is ragged"),
        ],
    )
    def test_impossible_shapes_are_refused(self, args, message):
        with pytest.raises(ValueError, match="^Network: " + message):
            _cpp.Network(*args, None)

    def test_optimizer_and_activation_live_as_long_as_the_network(self):
        class Twice(_cpp.ActivationFunction):
            def forward(self, x):
                return 2.0 * x

            def derivative(self, x):
                return 2.0

        opt, act = _cpp.SGD(0.1), Twice()
        alive = [weakref.ref(opt), weakref.ref(act)]
        X, Y = toy(1)
        net = _cpp.Network(2, [4, 2], X, opt, activation=act)
        del opt, act
        gc.collect()
        net.train_loop(1, Y, 4)  # still usable: both are kept by the network
        assert all(r() is not None for r in alive)
        del net
        gc.collect()
        assert all(r() is None for r in alive)


class TestForward:
    def test_one_layer_worked_example(self, network_with, read_params, capfd):
        net = network_with([[[0.0, 0.0], [0.0, 0.0]]], [[0.0, 0.0]], [[1.0], [2.0]], _cpp.SGD(1.0))
        assert net.predict([[1.0], [2.0]]) == [0]  # [[0.5], [0.5]]: the tie goes to row 0
        net.train_loop(1, [[1.0], [0.0]], 1)
        assert progress(capfd) == ["Epoch 0, Batch 0, Loss: " + LN2]
        # 0 - gradient, with the weights gradient [[-0.5, -1], [0.5, 1]] and bias gradient [-0.5, 0.5]
        assert read_params(net) == ([[[0.5, 1.0], [-0.5, -1.0]]], [[0.5, -0.5]])

    @pytest.mark.parametrize("kind, f, df", [
        (_cpp.ReLU, relu, drelu),
        (_cpp.Sigmoid, sigmoid, lambda x: sigmoid(x) * (1 - sigmoid(x))),
        (_cpp.Tanh, math.tanh, lambda x: 1 - math.tanh(x) ** 2),
    ])
    def test_one_sgd_step_matches_the_reference(self, kind, f, df, network_with, read_params, ref):
        X, Y = toy(2, features=3, samples=6, classes=3)
        Ws, bs = random_params(3, [3, 5, 4, 3])
        net = network_with(Ws, bs, X, _cpp.SGD(0.5), activation=kind())
        net.train_loop(1, Y, 6)
        dWs, dbs = ref.gradients(Ws, bs, X, Y, f, df)
        new_Ws, new_bs = read_params(net)
        for i in range(3):
            expect_W = [[w - g * 0.5 for w, g in zip(rw, rg)] for rw, rg in zip(Ws[i], dWs[i])]
            assert ref.close(new_Ws[i], expect_W) and ref.close(new_bs[i], [b - g * 0.5 for b, g in zip(bs[i], dbs[i])])

    def test_python_activation_runs_forward_and_derivative(self, network_with, read_params, ref):
        class Twice(_cpp.ActivationFunction):
            calls = {"forward": 0, "derivative": 0}

            def forward(self, x):
                Twice.calls["forward"] += 1
                return 2.0 * x

            def derivative(self, x):
                Twice.calls["derivative"] += 1
                return 2.0

        X, Y = toy(4, features=2, samples=3)
        Ws, bs = random_params(5, [2, 4, 2])
        net = network_with(Ws, bs, X, _cpp.SGD(1.0), activation=Twice(), function_type=_cpp.TANH)
        net.train_loop(1, Y, 3)
        assert Twice.calls == {"forward": 12, "derivative": 12}  # once per entry of the 4 x 3 hidden layer
        dWs, _ = ref.gradients(Ws, bs, X, Y, lambda x: 2.0 * x, lambda x: 2.0)
        assert ref.close(read_params(net)[0][0], [[w - g for w, g in zip(rw, rg)] for rw, rg in zip(Ws[0], dWs[0])])

    def test_python_activation_without_derivative(self):
        class ForwardOnly(_cpp.ActivationFunction):
            def forward(self, x):
                return x

        X, Y = toy(6)
        net = _cpp.Network(2, [3, 2], X, _cpp.SGD(), activation=ForwardOnly())
        assert len(net.predict(X)) == 8
        with pytest.raises(RuntimeError, match='^Tried to call pure virtual function "ActivationFunction::derivative"$'):
            net.train_loop(1, Y, 8)

    def test_python_errors_from_an_activation_come_back_unchanged(self):
        class Failing(_cpp.ActivationFunction):
            def forward(self, x):
                raise ZeroDivisionError("unit 7")

            def derivative(self, x):
                return 1.0

        X, Y = toy(7)
        net = _cpp.Network(2, [3, 2], X, _cpp.SGD(), activation=Failing())
        with pytest.raises(ZeroDivisionError, match="unit 7"):
            net.train_loop(1, Y, 8)
        with pytest.raises(ZeroDivisionError):
            net.predict(X)

    def test_an_activation_cannot_reenter_its_network(self):
        X, Y = toy(8)
        holder = {}

        class Reentrant(_cpp.ActivationFunction):
            def forward(self, x):
                holder["net"].predict(X)
                return x

            def derivative(self, x):
                return 1.0

        holder["net"] = net = _cpp.Network(2, [3, 2], X, _cpp.SGD(), activation=Reentrant())
        with pytest.raises(RuntimeError, match="in the middle of another call"):
            net.train_loop(1, Y, 8)
        del holder["net"]

    def test_dropout_zeroes_about_half_and_doubles_the_rest(self, network_with, read_params, ref):
        # One sample, positive hidden activations: the output layer's weight step reveals them.
        n = 2000
        X = [[1.0]]
        Ws = [[[1.0] for _ in range(n)], [[0.0] * n, [0.0] * n]]
        bs = [[0.0] * n, [0.0, 0.0]]
        net = network_with(Ws, bs, X, _cpp.SGD(1.0), dropout_rate=0.5)
        net.train_loop(1, [[1.0], [0.0]], 1)
        step = read_params(net)[0][1][0]  # 0 - (p0 - 1) * a = 0.5 * a for the first class
        assert set(step) == {0.0, 1.0}  # a is 0 or 1 / (1 - 0.5) times the activation 1.0
        assert 0.45 * n < step.count(0.0) < 0.55 * n

    @pytest.mark.parametrize("rate", [0.0, -0.5, math.nan])
    def test_no_dropout_unless_the_rate_is_positive(self, rate, network_with, read_params):
        n = 50
        net = network_with([[[1.0]] * n, [[0.0] * n] * 2], [[0.0] * n, [0.0, 0.0]], [[1.0]], _cpp.SGD(1.0),
                           dropout_rate=rate)
        net.train_loop(1, [[1.0], [0.0]], 1)
        assert read_params(net)[0][1][0] == [0.5] * n


    def test_rates_of_one_and_above_drop_every_unit(self, network_with, read_params, tmp_path):
        n = 8
        Ws, bs = [[[1.0]] * n, [[0.5] * n] * 2], [[0.0] * n, [0.0, 0.0]]
        above = network_with(Ws, bs, [[1.0]], _cpp.SGD(1.0), dropout_rate=2.0)
        above.train_loop(1, [[1.0], [0.0]], 1)
        assert read_params(above)[0][1] == Ws[1]  # the hidden outputs are all zero: no step
        one = network_with(Ws, bs, [[1.0]], _cpp.SGD(1.0), dropout_rate=1.0)
        one.train_loop(1, [[1.0], [0.0]], 1)
        one.save_weights(str(tmp_path / "one.json"))
        assert "nan" in (tmp_path / "one.json").read_text()  # 0 x inf in every hidden unit


class TestTraining:
    def test_batches_and_progress_lines(self, network_with, capfd):
        X = [[float(j) for j in range(10)]]
        Y = [[1.0] * 10, [0.0] * 10]
        net = network_with([[[0.0], [0.0]]], [[0.0, 0.0]], X, _cpp.SGD(0.0))
        net.train_loop(2, Y, 3)
        expected = [f"Epoch {e}, Batch {b}, Loss: {LN2}" for e in range(2) for b in range(3)]
        assert progress(capfd) == expected
        net.train_loop(1, Y, 11)
        net.train_loop(0, Y, 1)
        net.train_loop(-3, Y, 1)
        assert progress(capfd) == []

    @pytest.mark.parametrize("z, label, printed", [
        (40.0, 1.0, "1e-07"),          # -log(0.9999999): the upper clip, exponent form
        (40.0, 1e6, "0.1"),            # trailing zeros dropped
        (-40.0, 1e6, "1.61181e+07"),   # -log(1e-07) * 1e6: the lower clip, six significant digits
        (0.0, 3.0, "2.07944"),         # 3 ln 2
    ])
    def test_loss_is_clipped_and_printed_with_six_digits(self, z, label, printed, network_with, capfd):
        net = network_with([[[z], [-z]]], [[0.0, 0.0]], [[1.0]], _cpp.SGD(0.0))
        net.train_loop(1, [[label], [0.0]], 1)
        assert progress(capfd) == ["Epoch 0, Batch 0, Loss: " + printed]

    def test_sgd_step(self, network_with, read_params):
        # Equal rows give p = 0.5, so the weight gradients are (0.5 - 1) * -0.4 = 0.2 and -0.2.
        net = network_with([[[1.0], [1.0]]], [[0.0, 0.0]], [[-0.4]], _cpp.SGD(0.5))
        net.train_loop(1, [[1.0], [0.0]], 1)
        assert read_params(net) == ([[[0.9], [1.1]]], [[0.25, -0.25]])

    def test_first_adam_step(self, network_with, read_params):
        # Equal rows give p = 0.5: gradients 0.5 and -0.5 on the first column, 0 on the second.
        net = network_with([[[1.0, 1.0], [1.0, 1.0]]], [[0.0, 0.0]], [[1.0], [0.0]], _cpp.Adam())
        net.train_loop(1, [[0.0], [1.0]], 1)
        step = 0.0009999999800000003
        assert 1.0 - step == 0.99900000002
        assert read_params(net) == ([[[1.0 - step, 1.0], [1.0 + step, 1.0]]], [[-step, step]])

    def test_adam_steps_follow_the_helper_arithmetic_exactly(self, network_with, read_params):
        # With the sample [[1], [0]] every product in the pass is exact, so each step's gradient is
        # known to the bit, and three Adam steps must equal the helpers' composition bit for bit.
        h = _cpp
        W, b = [[0.3, -0.7], [-0.2, 0.9]], [[0.1], [-0.4]]
        net = network_with([W], [[r[0] for r in b]], [[1.0], [0.0]], _cpp.Adam(0.05))
        net.train_loop(3, [[0.0], [1.0]], 1)
        m_w, v_w, m_b, v_b = [[0.0, 0.0]] * 2, [[0.0, 0.0]] * 2, [[0.0]] * 2, [[0.0]] * 2

        def step(param, m, v, g, c1, c2):
            m = h.matrix_addition_and_sub(h.scalar_multiply_matrix(m, 0.9), h.scalar_multiply_matrix(g, 1.0 - 0.9), "add")
            gg = h.scalar_multiply_matrix(h.element_wise_multiplication(g, g), 1.0 - 0.999)
            v = h.matrix_addition_and_sub(h.scalar_multiply_matrix(v, 0.999), gg, "add")
            root = h.element_wise_roots(h.scalar_multiply_matrix(v, c2), 2)
            denominator = h.matrix_addition_and_sub(root, [[1e-08] * len(root[0])] * len(root), "add")
            ratio = h.element_wise_division_two_matrices(h.scalar_multiply_matrix(m, c1), denominator)
            return h.matrix_addition_and_sub(param, h.scalar_multiply_matrix(ratio, 0.05), "sub"), m, v

        for t in (1, 2, 3):
            z = [W[0][0] + b[0][0], W[1][0] + b[1][0]]
            e = [math.exp(v) for v in z]
            G = [[(e[0] / (0.0 + e[0] + e[1]) - 0.0) / 1.0], [(e[1] / (0.0 + e[0] + e[1]) - 1.0) / 1.0]]
            c1, c2 = 1.0 / (1.0 - math.pow(0.9, t)), 1.0 / (1.0 - math.pow(0.999, t))
            W, m_w, v_w = step(W, m_w, v_w, [[G[0][0], G[0][0] * 0.0], [G[1][0], G[1][0] * 0.0]], c1, c2)
            b, m_b, v_b = step(b, m_b, v_b, [[0.0 + G[0][0]], [0.0 + G[1][0]]], c1, c2)
        assert read_params(net) == ([W], [[b[0][0], b[1][0]]])

    def test_adam_rate_property(self):
        opt = _cpp.Adam()
        assert (opt.learning_rate, _cpp.SGD().learning_rate, _cpp.Adam(learning_rate=0.5).learning_rate) == (0.001, 0.01, 0.5)
        opt.learning_rate = 2
        assert opt.learning_rate == 2.0

    def test_gradients_after_a_dropout_switch_are_right(self, network_with, read_params, ref):
        X, Y = toy(11, features=2, samples=4)
        Ws, bs = random_params(12, [2, 3, 2])
        opt = _cpp.SGD(0.0)
        net = network_with(Ws, bs, X, opt, dropout_rate=0.5)
        net.train_loop(1, Y, 4)
        net.dropout_rate = 0.0
        opt.learning_rate = 1.0
        net.train_loop(1, Y, 4)
        dWs, dbs = ref.gradients(Ws, bs, X, Y, relu, drelu)
        new_Ws, new_bs = read_params(net)
        for i in range(2):
            assert ref.close(new_Ws[i], [[w - g for w, g in zip(rw, rg)] for rw, rg in zip(Ws[i], dWs[i])])
            assert ref.close(new_bs[i], [b - g for b, g in zip(bs[i], dbs[i])])

    def test_cached_order_serves_later_steps(self, network_with, read_params, ref):
        # Two full-batch steps: the second runs the cached order with this batch's nodes swapped in.
        X, Y = toy(13, features=2, samples=5)
        Ws, bs = random_params(14, [2, 4, 3, 2])
        net = network_with(Ws, bs, X, _cpp.SGD(0.3))
        net.train_loop(2, Y, 5)
        for _ in range(2):
            dWs, dbs = ref.gradients(Ws, bs, X, Y, relu, drelu)
            Ws = [[[w - g * 0.3 for w, g in zip(rw, rg)] for rw, rg in zip(W, dW)] for W, dW in zip(Ws, dWs)]
            bs = [[b - g * 0.3 for b, g in zip(bv, dbv)] for bv, dbv in zip(bs, dbs)]
        new_Ws, new_bs = read_params(net)
        assert all(ref.close(a, b) for a, b in zip(new_Ws, Ws)) and all(ref.close(a, b) for a, b in zip(new_bs, bs))

    @pytest.mark.parametrize(
        "optimizer, labels, batch, message",
        [
            (None, None, 2, "the network has no optimizer"),
            ("sgd", None, 0, "batch_size must be at least 1, got 0"),
            ("sgd", [[1.0] * 7, [0.0] * 7], 2, r"train_labels is 2x7, the network needs 2 rows .* at least 8 columns"),
            ("sgd", [[1.0] * 8], 2, "train_labels is 1x8"),
            ("sgd", [[1.0] * 8, [0.0] * 8, [0.0] * 8], 2, "train_labels is 3x8"),
            ("sgd", [[1.0] * 8, [0.0] * 7], 2, "train_labels is ragged"),
        ],
    )
    def test_bad_arguments_change_nothing(self, optimizer, labels, batch, message, read_params, capfd):
        X, Y = toy(15)
        net = _cpp.Network(2, [3, 2], X, _cpp.SGD(1.0) if optimizer else None)
        before = read_params(net)
        with pytest.raises(ValueError, match="^Network.train_loop: " + message):
            net.train_loop(1, Y if labels is None else labels, batch)
        assert read_params(net) == before and progress(capfd) == []


class TestEvaluation:
    def test_accuracy_and_predict(self, network_with):
        # z = W x with W = I: the predicted class is the larger input row.
        net = network_with([[[1.0, 0.0], [0.0, 1.0]]], [[0.0, 0.0]], [[0.0], [0.0]], None)
        X = [[1.0, 0.0, 2.0, 0.0], [0.0, 1.0, 1.0, 3.0]]
        Y = [[1.0, 0.0, 0.0, 0.0], [0.0, 1.0, 1.0, 1.0]]
        assert net.predict(X) == [0, 1, 0, 1]
        assert net.accuracy(X, Y) == 75.0
        assert net.accuracy(x_test=X, y_test=[[1.0, 1.0, 1.0, 1.0, 9.0], [1.0, 1.0, 1.0, 1.0, 9.0]]) == 50.0

    def test_ties_go_to_the_first_row(self, network_with):
        net = network_with([[[0.2], [0.4], [0.4]]], [[0.0, 0.0, 0.0]], [[1.0]], None)
        assert net.predict([[1.0], ]) == [1]
        assert net.predict([[0.0, 1.0]]) == [0, 1]
        assert net.predict([[]]) == []

    def test_evaluation_ignores_and_keeps_the_dropout_rate(self, network_with):
        X, Y = toy(16, features=2, samples=40)
        Ws, bs = random_params(17, [2, 30, 2])
        plain = network_with(Ws, bs, X, None)
        dropped = network_with(Ws, bs, X, None, dropout_rate=0.9)
        assert dropped.predict(X) == plain.predict(X) and dropped.accuracy(X, Y) == plain.accuracy(X, Y)
        assert dropped.dropout_rate == 0.9

    @pytest.mark.parametrize(
        "x, y, message",
        [
            ([[1.0, 2.0]], [[1.0, 0.0]], "the input has 1 rows, the first layer takes 2"),
            ([[1.0], [2.0], [3.0]], [[1.0]], "the input has 3 rows, the first layer takes 2"),
            ([], [[1.0]], "the input is empty"),
            ([[1.0, 2.0], [3.0]], [[1.0, 0.0]], "the input is ragged"),
            ([[1.0, 2.0], [3.0, 4.0]], [[1.0], [0.0]], r"y_test is 2x1, it needs at least one row and 2 columns"),
            ([[1.0, 2.0], [3.0, 4.0]], [], "y_test is 0x0"),
            ([[], []], [[]], "x_test has no samples"),
        ],
    )
    def test_bad_inputs_are_refused(self, x, y, message):
        net = _cpp.Network(1, [2], [[0.0], [0.0]], None)
        with pytest.raises(ValueError, match="^Network.accuracy: " + message):
            net.accuracy(x, y)
        if "y_test" not in message and "samples" not in message:
            with pytest.raises(ValueError, match="^Network.predict: " + message):
                net.predict(x)

    def test_after_evaluation_training_sorts_again(self, network_with, read_params, ref):
        X, Y = toy(18, features=2, samples=4)
        Ws, bs = random_params(19, [2, 3, 2])
        opt = _cpp.SGD(0.0)
        net = network_with(Ws, bs, X, opt)
        net.train_loop(1, Y, 4)
        net.predict([[1.0], [2.0]])
        opt.learning_rate = 1.0
        net.train_loop(1, Y, 4)
        dWs, _ = ref.gradients(Ws, bs, X, Y, relu, drelu)
        assert ref.close(read_params(net)[0][0], [[w - g for w, g in zip(rw, rg)] for rw, rg in zip(Ws[0], dWs[0])])
