"""References shared by the model tests: how the model files write a double, and the activations
that logistic regression shares with the autodiff engine."""

from autodiff.reference import sigmoid  # noqa: F401  (logistic regression's link function)


def file_number(x):
    """A double as the model files write it: printf's "%.17g" (17 significant digits, general
    notation), which Python's "%.17g" reproduces; every NaN is written "nan"."""
    return "%.17g" % x
