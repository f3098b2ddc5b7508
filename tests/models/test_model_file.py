"""The shared model-file writer and reader, seen through the models that use it: the number format,
bit-for-bit round trips, tolerant reading (key order, spaces), and malformed or truncated text that
must raise without changing the model or reading past the end."""

import ctypes
import decimal
import errno
import math
import os
import random
import struct
import sys
import tempfile

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import _cpp
from models.reference import file_number as written

AWKWARD = [
    1.0, 0.5, 0.1, 1e-05, 1e17, -0.0, 0.0, 1e-4, 1e16, 1.0 / 3.0, -2.5e-300, 123456789.123456789,
    5e-324, 2.2250738585072014e-308, 2.225073858507201e-308, 1.7976931348623157e308, -1.7976931348623157e308,
    math.inf, -math.inf, math.nan, 9007199254740993.0, 0.30000000000000004, 100.0, 1e21, 1e-07,
]


def bits(v):
    return "nan" if math.isnan(v) else struct.pack("<d", v)


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


# ---------------------------------------------------------------- numbers against the C library
#
# Writing has an exact fast path for magnitudes from about 1e-39 to 1e17 (standard formatting
# elsewhere) and reading a fast path for the plain decimal form (strtod elsewhere). Both must give
# what the C library gives: the bytes of printf's "%.17g", which Python's "%.17g" reproduces
# (correctly rounded, ties to even), and the value, stop and range error of strtod in the C locale.

def _libc_strtod():
    if not sys.platform.startswith("linux"):
        return None
    strtod = ctypes.CDLL(None, use_errno=True).strtod
    strtod.restype = ctypes.c_double
    strtod.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_void_p)]
    return strtod


STRTOD = _libc_strtod()
needs_strtod = pytest.mark.skipif(STRTOD is None, reason="glibc's strtod is reached through ctypes on Linux")


def thetas_file(tmp_path, numbers):
    path = str(tmp_path / "m.json")
    model = _cpp.LogisticRegression("x")
    model.thetas = list(numbers)
    model.save(path)
    return (tmp_path / "m.json").read_text()


def neighbours(v, steps=3):
    """v and the `steps` doubles on either side of it."""
    out, up, down = [v], v, v
    for _ in range(steps):
        up, down = math.nextafter(up, math.inf), math.nextafter(down, -math.inf)
        out += [up, down]
    return out


def ties(rng, count):
    """Doubles whose exact decimal expansion has 18 significant digits ending in 5: the 17-digit
    rounding is a tie, decided towards the even digit (1000000000000000.25 is written ...0.2)."""
    out = []
    for _ in range(count):
        for shift, low, high in ((2, 4e15, 2 ** 53), (3, 8e14, 1e15), (4, 1.6e14, 1e15)):
            m = rng.randrange(int(low), int(high)) | 1
            v = m / 2 ** shift
            digits = ("%.40f" % v).replace(".", "").lstrip("0").rstrip("0")
            if len(digits) == 18:
                out.append(v)
    return out


def test_written_numbers_are_printf_17g_to_the_byte(tmp_path):
    rng = random.Random(17)
    values = [1000000000000000.25, 1000000000000000.75, 100000000000000.125, 100000000000000.375,
              99999999999999984.0, 1e17, 9.999999999999999e16, 1e-39, 1e-40, 1e-11, 1e-12]
    values += ties(rng, 300)
    for p in range(-45, 20):                # both sides of every decimal exponent the fast path meets
        values += neighbours(float("1e%d" % p)) + neighbours(float("9.99999999999999995e%d" % p))
    values += [struct.unpack("<d", struct.pack("<Q", rng.getrandbits(64)))[0] for _ in range(3000)]
    values += [rng.uniform(-1, 1) * 10.0 ** rng.randint(-42, 18) for _ in range(3000)]
    values += [float(rng.getrandbits(rng.randint(1, 64))) for _ in range(500)]
    text = thetas_file(tmp_path, values)
    assert text == '{"positive_class":"x","thetas":[%s]}' % ",".join(map(written, values))
    assert "1000000000000000.2," in text and "100000000000000.38," in text


@settings(max_examples=60, deadline=None)
@given(st.lists(st.floats(allow_nan=True, allow_infinity=True, allow_subnormal=True), max_size=40))
def test_any_double_is_written_as_printf_17g(values):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "m.json")
        model = _cpp.LogisticRegression("x")
        model.thetas = values
        model.save(path)
        with open(path) as f:
            assert f.read() == '{"positive_class":"x","thetas":[%s]}' % ",".join(map(written, values))


def strtod_at(buffer, offset):
    """(value, characters read, overflowed) of the C library's strtod at offset of buffer."""
    start = ctypes.addressof(buffer) + offset
    end = ctypes.c_void_p()
    ctypes.set_errno(0)
    value = STRTOD(start, ctypes.byref(end))
    return value, end.value - start, ctypes.get_errno() == errno.ERANGE and math.isinf(value)


def list_read_by_strtod(text):
    """The thetas list of text read as the list reader reads it with strtod for every number: the
    values, or the exception the load raises."""
    buffer = ctypes.create_string_buffer(text)
    i = text.index(b'"thetas":[') + len(b'"thetas":[')
    values = []
    while True:
        if i >= len(text):
            return ValueError
        if text[i:i + 1] in (b" ", b","):
            i += 1
        elif text[i:i + 1] == b"]":
            return values
        else:
            value, used, overflowed = strtod_at(buffer, i)
            if used == 0:
                return ValueError
            if overflowed:
                return IndexError
            values.append(value)
            i += used


def list_read_by_the_model(text, folder):
    path = os.path.join(folder, "m.json")
    with open(path, "wb") as f:
        f.write(text)
    model = _cpp.LogisticRegression()
    try:
        model.load(path)
    except (ValueError, IndexError) as error:
        return type(error)
    return model.thetas


def exact_bits(result):
    return result if isinstance(result, type) else [struct.pack("<d", v) for v in result]


def midpoint_text(v, nudge):
    """The exact decimal halfway between v and the next double up, moved by nudge in its last place."""
    above = math.nextafter(v, math.inf)
    if not math.isfinite(above):
        return repr(v)
    half = (decimal.Decimal(v) + decimal.Decimal(above)) / 2
    digits = format(half, "f").rstrip("0")
    if nudge and "." in digits:
        digits += "1" if nudge > 0 else ""
        if nudge < 0:
            digits = format(half - decimal.Decimal(10) ** (half.adjusted() - 40), "f")
    return digits


FINITE = st.floats(allow_nan=False, allow_infinity=False, allow_subnormal=True)


@st.composite
def number_texts(draw):
    """Texts that start a number, or almost do, in every form strtod knows, then what follows."""
    lead = draw(st.sampled_from(["", "", "", "-", "+", " ", "\t", "\n", " -", "\v", "\f", "--", "+-", "-+"]))
    kind = draw(st.sampled_from(["decimal", "decimal", "written", "midpoint", "hex", "word", "junk"]))
    if kind == "decimal":
        digits = st.text("0123456789", max_size=24)
        body = draw(st.sampled_from(["", "0", "00"])) + draw(digits)
        if draw(st.booleans()):
            body += "." + draw(digits)
        if draw(st.booleans()):
            body += draw(st.sampled_from("eE")) + draw(st.sampled_from(["", "+", "-"])) + draw(st.text("0123456789", max_size=4))
    elif kind == "written":
        v = draw(FINITE)
        body = draw(st.sampled_from([written(v), repr(v), "%.25e" % v, "%.3g" % v, "%.20f" % v]))
    elif kind == "midpoint":
        body = midpoint_text(abs(draw(FINITE)), draw(st.sampled_from([-1, 0, 1])))
    elif kind == "hex":
        body = (draw(st.sampled_from(["0x", "0X", "0x.", "0x1.", "0xf"])) + draw(st.text("0123456789abcdefABCDEF", max_size=15))
                + draw(st.sampled_from(["", "p", "p-", "P+"])) + draw(st.text("0123456789", max_size=4)))
    elif kind == "word":
        body = draw(st.sampled_from(["inf", "INF", "Inf", "iNf", "infinity", "INFINITY", "Infinity", "infinit", "in",
                                     "nan", "NaN", "NAN", "nAn", "nan(123)", "nan(0x7ff)", "nan(abc_1)", "nan(", "nan()", "na"]))
    else:
        body = draw(st.text(alphabet="0123456789.eE+-xXpPinfaty() ", max_size=12))
    tail = draw(st.sampled_from(["", ",", "]", "}", " ", "x", "\x00", ".", "e", "e+", "E-", "0", "\n", "\r", "\t", "\x01"]))
    return lead + body + tail


@needs_strtod
@settings(max_examples=400, deadline=None)
@given(st.lists(number_texts(), min_size=1, max_size=4))
def test_lists_read_exactly_as_strtod_reads_them(items):
    text = ('{"positive_class":"p","thetas":[' + ",".join(items) + "]}").encode()
    with tempfile.TemporaryDirectory() as folder:
        assert exact_bits(list_read_by_the_model(text, folder)) == exact_bits(list_read_by_strtod(text))


# Texts whose reading each fast path could get wrong, with what they read as: a value, or the error.
TRICKY = [
    ("+.5", 0.5), (" \t\n\v\f\r1", 1.0), ("-  1", ValueError), ("0x1p-2", 0.25), ("0X1P3", 8.0), ("-0x.8", -0.5),
    ("0x", 0.0), ("0xg", 0.0), ("1e", 1.0), ("1e+", 1.0), ("1.", 1.0), (".5e1", 5.0), ("-.5", -0.5),
    ("00012", 12.0), ("-0", -0.0), ("0e999999", 0.0), ("5\x001", 5.0), ("1,5", 1.0), ("1.5.5", 1.5),
    ("inf", math.inf), ("INF", math.inf), ("-Infinity", -math.inf), ("infinit", math.inf), ("+inFINity", math.inf),
    ("1e-400", 0.0), ("-1e-400", -0.0), ("4.9e-324", 5e-324), ("2.4703282292062328e-324", 5e-324),
    ("2.4703282292062327e-324", 0.0), ("2.2250738585072011e-308", 2.225073858507201e-308),
    ("1.7976931348623158e308", 1.7976931348623157e308), ("1.7976931348623159e308", IndexError),
    ("1e309", IndexError), ("-1e309", IndexError), ("0x1p1024", IndexError), ("1" + "0" * 400, IndexError),
    ("9007199254740993", 9007199254740992.0), ("9007199254740995", 9007199254740996.0),
    ("0.1000000000000000055511151231257827021181583404541015625", 0.1), ("1" + "0" * 400 + "e-400", 1.0),
    ("0." + "0" * 400 + "1e400", 0.1), ("1000000000000000.25", 1000000000000000.2),
    (".", ValueError), ("-", ValueError), ("+", ValueError), ("e5", ValueError), ("x", ValueError),
    ("- 1", ValueError), ("in", ValueError), ("na", ValueError),
]


@pytest.mark.parametrize("text, expected", TRICKY, ids=[repr(t) for t, _ in TRICKY])
def test_tricky_numbers_read_as_strtod_reads_them(text, expected, tmp_path):
    model = _cpp.LinearRegression()
    path = write(tmp_path, '{"theta1":0,"theta0":' + text)
    if isinstance(expected, type):
        with pytest.raises(expected):
            model.load(path)
    else:
        model.load(path)
        assert bits(model.theta0) == bits(expected)
    if STRTOD is not None:
        raw = text.encode()
        value, used, overflowed = strtod_at(ctypes.create_string_buffer(raw), 0)
        oracle = IndexError if overflowed else ValueError if used == 0 else value
        assert (oracle if isinstance(oracle, type) else bits(oracle)) == (expected if isinstance(expected, type) else bits(expected))


@pytest.mark.parametrize("text", ["nan", "NaN", "-nan", "nan(123)", "-NAN(0x7ff)", "nan(abc_1)", "nan("])
@needs_strtod
def test_not_a_number_forms_keep_the_bits_strtod_gives(text, tmp_path):
    model = _cpp.LinearRegression()
    model.load(write(tmp_path, '{"theta1":0,"theta0":' + text))
    value, used, _ = strtod_at(ctypes.create_string_buffer(text.encode()), 0)
    assert math.isnan(model.theta0) and struct.pack("<d", model.theta0) == struct.pack("<d", value)
