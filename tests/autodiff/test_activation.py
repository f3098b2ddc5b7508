"""Activation functions, the override class for Python subclasses, and FunctionType."""

import math

import pytest

import _cpp
from autodiff.reference import relu, relu_slope, sigmoid as sig

BUILT_IN = {
    _cpp.ReLU: (relu, relu_slope),
    _cpp.Sigmoid: (sig, lambda x: sig(x) * (1.0 - sig(x))),
    _cpp.Tanh: (math.tanh, lambda x: 1.0 - math.tanh(x) * math.tanh(x)),
}


@pytest.mark.parametrize("cls", BUILT_IN)
@pytest.mark.parametrize("x", [-2.5, -0.0, 0.0, 0.3, 3.0, 40.0, -40.0])
def test_built_in_values(cls, x):
    forward, derivative = BUILT_IN[cls]
    f = cls()
    assert isinstance(f, _cpp.ActivationFunction)
    assert (f.forward(x), f.derivative(x)) == (forward(x), derivative(x))


def test_worked_values():
    assert (_cpp.ReLU().forward(0.0), _cpp.ReLU().derivative(0.0)) == (0.0, 0.0)
    assert (_cpp.ReLU().forward(-2.5), _cpp.ReLU().derivative(3.0)) == (0.0, 1.0)
    assert (_cpp.Sigmoid().forward(0.0), _cpp.Sigmoid().derivative(0.0)) == (0.5, 0.25)
    assert _cpp.Tanh().derivative(0.0) == 1.0
    assert _cpp.ReLU().forward(2) == 2.0  # an int is accepted


def test_nan_inputs():
    assert _cpp.ReLU().forward(math.nan) == 0.0 and _cpp.ReLU().derivative(math.nan) == 0.0
    assert math.isnan(_cpp.Sigmoid().forward(math.nan)) and math.isnan(_cpp.Tanh().derivative(math.nan))
    # exp overflows to inf for very negative x, and the sigmoid settles at 0.0 without an error
    assert (_cpp.Sigmoid().forward(-800.0), _cpp.Sigmoid().derivative(-800.0)) == (0.0, 0.0)


@pytest.mark.parametrize("method", ["forward", "derivative"])
def test_missing_override_names_the_pure_virtual_function(method):
    class OnlyInit(_cpp.ActivationFunction):
        pass

    for obj in (_cpp.ActivationFunction(), OnlyInit()):
        with pytest.raises(RuntimeError) as err:
            getattr(obj, method)(1.0)
        assert str(err.value) == f'Tried to call pure virtual function "ActivationFunction::{method}"'


class Double(_cpp.ActivationFunction):
    def forward(self, x):
        return 2.0 * x

    def derivative(self, x):
        return 2.0


def test_python_override_runs_through_the_interface():
    # Calling the base method runs the library's virtual call, which reaches the Python override.
    assert _cpp.ActivationFunction.forward(Double(), 1.5) == 3.0
    assert _cpp.ActivationFunction.derivative(Double(), 1.5) == 2.0


def test_python_errors_in_an_override_come_back_unchanged():
    class Broken(_cpp.ActivationFunction):
        def forward(self, x):
            raise KeyError("no such unit")

        def derivative(self, x):
            return "steep"

    with pytest.raises(KeyError, match="no such unit"):
        _cpp.ActivationFunction.forward(Broken(), 1.0)
    with pytest.raises(RuntimeError):  # the binding layer's cast error
        _cpp.ActivationFunction.derivative(Broken(), 1.0)


def test_subclass_must_call_the_base_init():
    class NoInit(_cpp.ActivationFunction):
        def __init__(self):
            pass

    with pytest.raises(TypeError, match=r"__init__\(\) must be called when overriding __init__"):
        NoInit()


def test_x_is_positional_and_a_float():
    with pytest.raises(TypeError):
        _cpp.ReLU().forward(x=1.0)
    with pytest.raises(TypeError):
        _cpp.ReLU().forward("1.0")


def test_function_type():
    assert [(m.name, int(m)) for m in _cpp.FunctionType.__members__.values()] == [("RELU", 0), ("SIGMOID", 1), ("TANH", 2)]
    assert _cpp.RELU is _cpp.FunctionType.RELU and _cpp.SIGMOID is _cpp.FunctionType.SIGMOID
    assert int(_cpp.TANH) == 2 and _cpp.TANH.value == 2
    assert _cpp.FunctionType.RELU == _cpp.FunctionType.RELU and _cpp.FunctionType.RELU != _cpp.FunctionType.TANH
    with pytest.raises(TypeError):
        _cpp.RELU + 1
