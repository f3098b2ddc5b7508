"""The shared model-file writer and reader, seen through the models that use it: the number format,
bit-for-bit round trips, tolerant reading (key order, spaces), and malformed or truncated text that
must raise without changing the model or reading past the end."""

import errno
import math
import os
import struct

import pytest

import _cpp

AWKWARD = [
    1.0, 0.5, 0.1, 1e-05, 1e17, -0.0, 0.0, 1e-4, 1e16, 1.0 / 3.0, -2.5e-300, 123456789.123456789,
    5e-324, 2.2250738585072014e-308, 2.225073858507201e-308, 1.7976931348623157e308, -1.7976931348623157e308,
    math.inf, -math.inf, math.nan, 9007199254740993.0, 0.30000000000000004, 100.0, 1e21, 1e-07,
]


def bits(v):
    return "nan" if math.isnan(v) else struct.pack("<d", v)


def written(v):
    """The file's number format: precision 17, general notation, one spelling of not-a-number."""
    return "nan" if math.isnan(v) else "%.17g" % v


def linear(theta0, theta1=0.0):
    model = _cpp.LinearRegression()
    model.theta0, model.theta1 = theta0, theta1
    return model


def state(model):
    """Every property of a model, by repr: equal states hold equal bits."""
    return {n: repr(getattr(model, n)) for n in dir(model) if not n.startswith("_") and not callable(getattr(model, n))}


def write(tmp_path, text):
    path = tmp_path / "m.json"
    path.write_bytes(text.encode() if isinstance(text, str) else text)
    return str(path)


# ---------------------------------------------------------------- writing

@pytest.mark.parametrize("v", AWKWARD, ids=repr)
def test_number_format_and_bit_exact_round_trip(v, tmp_path):
    path = str(tmp_path / "m.json")
    linear(v, -v).save(path)
    assert (tmp_path / "m.json").read_text() == '{"theta0":%s,"theta1":%s}' % (written(v), written(-v))
    back = _cpp.LinearRegression()
    back.load(path)
    assert (bits(back.theta0), bits(back.theta1)) == (bits(v), bits(-v))


def test_examples_of_the_number_format(tmp_path):
    model = _cpp.LogisticRegression("x")
    model.thetas = [1.0, 0.5, 0.1, 1e-05, 1e17, -0.0, math.inf, -math.inf, -math.nan]
    model.save(str(tmp_path / "m.json"))
    assert (tmp_path / "m.json").read_text() == (
        '{"positive_class":"x","thetas":[1,0.5,0.10000000000000001,1.0000000000000001e-05,1e+17,-0,inf,-inf,nan]}')


@pytest.mark.parametrize("label", ['a"b', '"', 'end"'])
@pytest.mark.parametrize("make", [
    lambda s: _cpp.LogisticRegression(s),
    lambda s: _cpp.GDA(s),
    lambda s: _gda_with_negative(s),
])
def test_label_with_double_quote_raises_before_the_file_is_touched(make, label, tmp_path):
    kept, absent = tmp_path / "kept.json", tmp_path / "absent.json"
    kept.write_text("previous content")
    model = make(label)
    for path in (kept, absent):
        with pytest.raises(ValueError, match="double-quote"):
            model.save(str(path))
    assert kept.read_text() == "previous content"
    assert not absent.exists()


def _gda_with_negative(label):
    model = _cpp.GDA("ok")
    model.negative_class = label
    return model


def test_labels_are_written_verbatim(tmp_path):
    path = tmp_path / "m.json"
    label = "caf\u00e9 {x}, [y]: \\n"
    model = _cpp.GDA(label)
    model.save(str(path))
    assert path.read_text(encoding="utf-8").startswith('{"positive_class":"' + label + '","negative_class":""')
    again = _cpp.GDA()
    again.load(str(path))
    assert again.positive_class == label


@pytest.mark.parametrize("make", [_cpp.LinearRegression, _cpp.LogisticRegression, _cpp.GDA])
def test_unwritable_path_raises(make, tmp_path):
    target = tmp_path / "missing" / "m.json"
    with pytest.raises(FileNotFoundError) as caught:
        make().save(str(target))
    assert caught.value.errno == errno.ENOENT and caught.value.filename == str(target)


# ---------------------------------------------------------------- reading

@pytest.mark.parametrize("make", [_cpp.LinearRegression, _cpp.LogisticRegression, _cpp.GDA])
def test_file_that_cannot_be_opened_names_the_path(make, tmp_path):
    missing = str(tmp_path / "nowhere.json")
    with pytest.raises(IndexError, match="cannot open '.*nowhere.json'"):
        make().load(missing)
    with pytest.raises(IndexError, match="cannot open '.*'"):
        make().load(str(tmp_path))


@pytest.mark.parametrize("text, theta0, theta1", [
    ('{"theta1":2,"theta0":1}', 1.0, 2.0),
    ('{"theta0": 1,"theta1":  \t2}', 1.0, 2.0),
    ('{"theta0":1', 1.0, None),                    # the number ends at the end of the text
    ('x"theta1":-3e2 junk "theta0":+.5', 0.5, -300.0),
    ('{"theta0":1e-400,"theta1":-1e-320}', 0.0, -1e-320),   # underflow reads as zero or a subnormal
    ('{"theta0":inf,"theta1":-nan}', math.inf, math.nan),
    ('{"theta0":1,"theta1":2,"theta0":3}', 1.0, 2.0),      # the first occurrence wins
])
def test_tolerant_reading(text, theta0, theta1, tmp_path):
    if theta1 is None:
        text += ',"theta1":7}'
        theta1 = 7.0
    model = _cpp.LinearRegression()
    model.load(write(tmp_path, text))
    assert (bits(model.theta0), bits(model.theta1)) == (bits(theta0), bits(theta1))


LINEAR_BAD = [
    ("", ValueError, 'key "theta0": is missing'),
    ('{"theta0":1}', ValueError, 'key "theta1": is missing'),
    ('{"theta0" :1,"theta1":2}', ValueError, "missing"),
    ('{"theta0":"x","theta1":2}', ValueError, "expected a number at offset 10"),
    ('{"theta1":2,"theta0":', ValueError, "expected a number at offset 21, found the end"),
    ('{"theta1":2,"theta0":   ', ValueError, "expected a number"),
    ('{"theta0":1,"theta1":1e999}', IndexError, "out of range"),
    ('{"theta0":-1e400,"theta1":1}', IndexError, "out of range"),
]

LOGISTIC_BAD = [
    ('{"thetas":[1,2]}', ValueError, "positive_class"),
    ('{"positive_class":"p"}', ValueError, 'key "thetas":\\[ is missing'),
    ('{"positive_class":"p","thetas":[1,2', ValueError, "expected '\\]'"),
    ('{"positive_class":"p","thetas":[1,2,', ValueError, "expected '\\]'"),
    ('{"positive_class":"p","thetas":[1,2, ', ValueError, "expected '\\]'"),
    ('{"positive_class":"p","thetas":[1,x]}', ValueError, "expected a number"),
    ('{"positive_class":"p","thetas":[1,[2]]}', ValueError, "expected a number"),
    ('{"positive_class":"p","thetas":[1,1e999]}', IndexError, "out of range"),
    ('{"thetas":[1],"positive_class":"unterminated', ValueError, "expected '\"'"),
    ('{"positive_class":"p","thetas": [1]}', ValueError, "missing"),
]

GOOD_GDA = ('{"positive_class":"p","negative_class":"n","dimension":1,"phi":0.5,'
            '"mu_zero":[1],"mu_one":[2],"covariance":[[1]]}')

GDA_BAD = [
    (GOOD_GDA.replace('"dimension":1', '"dimension":x'), ValueError, "expected an integer"),
    (GOOD_GDA.replace('"dimension":1', '"dimension":2147483648'), IndexError, "out of range"),
    (GOOD_GDA.replace('"dimension":1', '"dimension":-99999999999'), IndexError, "out of range"),
    (GOOD_GDA.replace('"phi":0.5', '"phi":"half"'), ValueError, "expected a number"),
    (GOOD_GDA.replace('"phi":0.5,', ''), ValueError, '"phi": is missing'),
    (GOOD_GDA.replace('"negative_class":"n",', ''), ValueError, "negative_class"),
    (GOOD_GDA.replace('"mu_one":[2]', '"mu_one":[2,'), ValueError, "expected"),
    (GOOD_GDA.replace('[[1]]}', '[[1]'), ValueError, "expected '\\]'"),
    (GOOD_GDA.replace('[[1]]}', '[[1'), ValueError, "expected '\\]'"),
    (GOOD_GDA.replace('[[1]]}', '[[1],2]}'), ValueError, "expected '\\['"),
    (GOOD_GDA.replace('[[1]]}', '[[1],[1e999]]}'), IndexError, "out of range"),
    (GOOD_GDA[:-4], ValueError, "expected '\\]' at offset 109, found the end of the text"),
    (GOOD_GDA[:-16], ValueError, '"covariance":\\[ is missing'),
]


@pytest.mark.parametrize("make, text, error, message",
                         [(_cpp.LinearRegression, *c) for c in LINEAR_BAD]
                         + [(lambda: _cpp.LogisticRegression("keep"), *c) for c in LOGISTIC_BAD]
                         + [(lambda: _cpp.GDA("keep"), *c) for c in GDA_BAD])
def test_malformed_files_raise_and_change_nothing(make, text, error, message, tmp_path):
    model = make()
    if isinstance(model, _cpp.LinearRegression):
        model.theta0, model.theta1 = 0.25, -4.0
    elif isinstance(model, _cpp.LogisticRegression):
        model.thetas = [3.0]
    else:
        model.fit([[0.0], [2.0], [10.0], [12.0]], ["keep", "keep", "other", "other"])
    before = state(model)
    path = write(tmp_path, text)
    with pytest.raises(error, match=message):
        model.load(path)
    assert state(model) == before


def test_good_gda_file_loads(tmp_path):
    model = _cpp.GDA()
    model.load(write(tmp_path, GOOD_GDA))
    assert (model.positive_class, model.negative_class, model.dimension, model.phi) == ("p", "n", 1, 0.5)
    assert (model.mu_zero, model.mu_one, model.covariance) == ([1.0], [2.0], [[1.0]])


def test_integer_reading_stops_at_the_first_character_it_cannot_use(tmp_path):
    model = _cpp.GDA()
    model.load(write(tmp_path, GOOD_GDA.replace('"dimension":1', '"dimension": +1.9')))
    assert model.dimension == 1


def test_matrix_rows_may_stand_on_separate_lines(tmp_path):
    model = _cpp.GDA()
    model.load(write(tmp_path, GOOD_GDA.replace('[[1]]', '[\n[1, 2] ,\r\n[3,4]\n]')))
    assert model.covariance == [[1.0, 2.0], [3.0, 4.0]]


def test_bytes_after_a_nul_are_still_text(tmp_path):
    model = _cpp.LinearRegression()
    model.load(write(tmp_path, b'{"theta0":5\x00,"theta1":6}'))
    assert (model.theta0, model.theta1) == (5.0, 6.0)


def test_large_lists_round_trip(tmp_path):
    model = _cpp.LogisticRegression("big")
    model.thetas = [math.ldexp(1.0 + i / 4096, i % 2000 - 1000) * (-1) ** i for i in range(5000)]
    path = str(tmp_path / "m.json")
    model.save(path)
    again = _cpp.LogisticRegression()
    again.load(path)
    assert [bits(v) for v in again.thetas] == [bits(v) for v in model.thetas]
    text = (tmp_path / "m.json").read_text()
    assert os.path.getsize(path) == len(text) and " " not in text and not text.endswith("\n")
