"""The weights and hyper-parameter files: exact bytes, exact round trips, path choice, tolerant
reading, and loads that fail as a whole."""

import os

import pytest

import _cpp

W1 = [[0.5, -1.0]]
B1 = [0.0]


def read(path):
    with open(path) as f:
        return f.read()


def test_weights_file_bytes(network_with, tmp_path):
    net = network_with([W1], [B1], [[0.0], [0.0]])
    net.save_weights(str(tmp_path / "w.json"))
    assert read(tmp_path / "w.json") == '[{"parameters":[[0.5,-1]],"bias":[[0]]}]'
    two = network_with([[[0.1, 1e-05, -0.0], [1e17, 0.001, 2.0]], [[1.0, 3.0]]], [[0.0, -2.5], [0.25]], [[0.0]] * 3)
    two.save_weights(str(tmp_path / "w2.json"))
    assert read(tmp_path / "w2.json") == (
        '[{"parameters":[[0.10000000000000001,1.0000000000000001e-05,-0],[1e+17,0.001,2]],"bias":[[0],[-2.5]]},'
        '{"parameters":[[1,3]],"bias":[[0.25]]}]'
    )


@pytest.mark.parametrize("optimizer, tail", [
    (_cpp.Adam, ',"learning_rate":0.001,"optimizer":"Adam"}'),
    (_cpp.SGD, ',"learning_rate":0.01,"optimizer":"SGD"}'),
    (None, "}"),
])
def test_hyperparams_file_bytes(optimizer, tail, tmp_path):
    net = _cpp.Network(2, [4, 3, 7], [[0.0]], optimizer and optimizer(), dropout_rate=0.1)
    net.save_hyperparams(str(tmp_path / "h.json"))
    assert read(tmp_path / "h.json") == '{"layer_num":2,"neurons_in_layers":[4,3,7],"dropout_rate":0.10000000000000001' + tail


def test_round_trip_is_exact_and_makes_networks_agree(tmp_path, read_params):
    X = [[0.3, -1.2, 0.8], [1.1, 0.4, -0.6], [0.0, 2.0, 1.0]]
    a, b = _cpp.Network(2, [5, 3], X, None), _cpp.Network(2, [5, 3], X, None)
    a.save_weights(str(tmp_path / "a.json"))
    b.load_weights(str(tmp_path / "a.json"))
    assert read_params(a) == read_params(b)
    assert a.predict(X) == b.predict(X)
    a.load_weights(str(tmp_path / "a.json"))
    a.save_weights(str(tmp_path / "again.json"))
    assert read(tmp_path / "again.json") == read(tmp_path / "a.json")


def test_path_choice(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    net = _cpp.Network(1, [2], [[0.0]], None, weights_dir=str(tmp_path / "dir.json"))
    net.save_weights()
    assert os.listdir(tmp_path) == ["weights.json"]  # the default name is a path of its own
    net.save_weights("")
    assert sorted(os.listdir(tmp_path)) == ["dir.json", "weights.json"]
    net.load_weights("")
    plain = _cpp.Network(1, [2], [[0.0]], _cpp.Adam())
    os.remove("weights.json")
    plain.save_weights("")
    plain.load_weights()
    plain.save_hyperparams()
    plain.load_hyperparams()
    assert sorted(os.listdir(tmp_path)) == ["dir.json", "hyperparams.json", "weights.json"]


def test_white_space_between_rows_and_values_is_read(network_with, read_params, tmp_path):
    (tmp_path / "spaced.json").write_text(
        '[ {"parameters": [[0.5, -1],\n [2 ,3]], "bias":\r\n [ [1], [ 2 ] ]},\n{"parameters" :[[1, 1]],"bias":[[0]]} ]'
    )
    net = _cpp.Network(2, [2, 1], [[0.0], [0.0]], None)
    net.load_weights(str(tmp_path / "spaced.json"))
    assert read_params(net) == ([[[0.5, -1.0], [2.0, 3.0]], [[1.0, 1.0]]], [[1.0, 2.0], [0.0]])


def test_extra_layers_in_the_file_are_ignored(network_with, read_params, tmp_path):
    (tmp_path / "w.json").write_text('[{"parameters":[[7]],"bias":[[8]]},{"parameters":[[1,2]],"bias":[[3]]}]')
    net = _cpp.Network(1, [1], [[0.0]], None)
    net.load_weights(str(tmp_path / "w.json"))
    assert read_params(net) == ([[[7.0]]], [[8.0]])


def test_hyperparams_restore_rate_and_learning_rate_only(tmp_path):
    sgd_net = _cpp.Network(1, [2], [[0.0]], _cpp.SGD(0.25), dropout_rate=0.1)
    sgd_net.save_hyperparams(str(tmp_path / "h.json"))
    opt = _cpp.Adam()
    adam_net = _cpp.Network(1, [2], [[0.0]], opt)
    adam_net.load_hyperparams(str(tmp_path / "h.json"))
    assert (adam_net.dropout_rate, opt.learning_rate) == (0.1, 0.25)
    adam_net.save_hyperparams(str(tmp_path / "h2.json"))
    assert read(tmp_path / "h2.json").endswith('"optimizer":"Adam"}')  # the kind is not changed

    bare = _cpp.Network(1, [2], [[0.0]], None, dropout_rate=0.5)
    bare.save_hyperparams(str(tmp_path / "bare.json"))
    adam_net.load_hyperparams(str(tmp_path / "bare.json"))
    assert (adam_net.dropout_rate, opt.learning_rate) == (0.5, 0.25)
    bare.load_hyperparams(str(tmp_path / "h.json"))
    assert bare.dropout_rate == 0.1


GOOD = '[{"parameters":[[0.5,-1]],"bias":[[0]]}]'


@pytest.mark.parametrize(
    "text, error, message",
    [
        ("", ValueError, 'the key "parameters" is missing'),
        ('[{"parameters":[[0.5,-1]]}]', ValueError, 'the key "bias" is missing'),
        ('[{"bias":[[0]],"parameters":[[0.5,-1]]}]', ValueError, 'the key "bias" is missing'),
        ('[{"parameters":0.5,"bias":[[0]]}]', ValueError, 'the key "bias" is missing after offset 31'),
        ('[{"parameters":', ValueError, "expected '\\['"),
        ('[{"parameters":[[0.5,-1', ValueError, "expected '\\]' at offset 23, found the end of the text"),
        ('[{"parameters":[[0.5,-1]],"bias":[[0]', ValueError, "expected '\\]'"),
        ('[{"parameters":[[0.5,x]],"bias":[[0]]}]', ValueError, "expected a number at offset 21"),
        ('[{"parameters":[[0.5,1e999]],"bias":[[0]]}]', IndexError, "out of range"),
        ('[{"parameters":[[0.5,-1,2]],"bias":[[0]]}]', ValueError, "layer 0 has 1x2 weights, the file holds 1x3"),
        ('[{"parameters":[[0.5],[-1]],"bias":[[0]]}]', ValueError, "layer 0 has 1x2 weights, the file holds 2x1"),
        ('[{"parameters":[[0.5,-1]],"bias":[[0,1]]}]', ValueError, "layer 0 has a bias of 1x1, the file holds 1x2"),
        ('[{"parameters":[[0.5,-1]],"bias":[]}]', ValueError, "the file holds 0x0"),
    ],
)
def test_bad_weights_files_change_nothing(text, error, message, network_with, read_params, tmp_path):
    net = network_with([[[3.0, 4.0]]], [[5.0]], [[0.0], [0.0]])
    (tmp_path / "bad.json").write_text(text)
    with pytest.raises(error, match=message):
        net.load_weights(str(tmp_path / "bad.json"))
    assert read_params(net) == ([[[3.0, 4.0]]], [[5.0]])
    (tmp_path / "good.json").write_text(GOOD)
    net.load_weights(str(tmp_path / "good.json"))


def test_second_layer_failing_leaves_the_first_as_it_was(network_with, read_params, tmp_path):
    net = network_with([[[1.0]], [[2.0]]], [[0.0], [0.0]], [[0.0]])
    (tmp_path / "half.json").write_text('[{"parameters":[[9]],"bias":[[9]]},{"parameters":[[9]],"bias":[[x]]}]')
    with pytest.raises(ValueError):
        net.load_weights(str(tmp_path / "half.json"))
    assert read_params(net) == ([[[1.0]], [[2.0]]], [[0.0], [0.0]])


@pytest.mark.parametrize("load", ["load_weights", "load_hyperparams"])
def test_missing_files_raise_index_error(load, tmp_path):
    net = _cpp.Network(1, [1], [[0.0]], _cpp.SGD())
    with pytest.raises(IndexError, match="cannot open"):
        getattr(net, load)(str(tmp_path / "absent.json"))


@pytest.mark.parametrize(
    "text, error",
    [("{}", ValueError), ('{"dropout_rate":}', ValueError), ('{"dropout_rate":0.5,"learning_rate":x}', ValueError),
     ('{"learning_rate":0.5}', ValueError), ('{"dropout_rate":1e999}', IndexError)],
)
def test_bad_hyperparams_change_nothing(text, error, tmp_path):
    opt = _cpp.SGD(0.5)
    net = _cpp.Network(1, [1], [[0.0]], opt, dropout_rate=0.25)
    (tmp_path / "h.json").write_text(text)
    with pytest.raises(error):
        net.load_hyperparams(str(tmp_path / "h.json"))
    assert (net.dropout_rate, opt.learning_rate) == (0.25, 0.5)


def test_unwritable_paths_raise(tmp_path):
    net = _cpp.Network(1, [1], [[0.0]], _cpp.SGD())
    for save in (net.save_weights, net.save_hyperparams):
        with pytest.raises(FileNotFoundError, match="No such file or directory"):
            save(str(tmp_path / "no" / "such" / "dir.json"))
