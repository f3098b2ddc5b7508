"""The documented floors pinned to their values: Gaussian naive Bayes floors a variance at 1e-10 and
a density at 1e-300, GDA floors a density at 1e-300 (its 1e-6 on the covariance diagonal and the
network's loss clip at 1e-07 are pinned beside their models). Each floor is met on both sides: a
tie where the floor equals the stored value, and a density just above or just below it."""

import math

import pytest

import _cpp

VARIANCE_FLOOR, DENSITY_FLOOR = 1e-10, 1e-300
MARGIN = [(1.001, "above"), (0.999, "below")]


def gaussian_nb(tmp_path, mean, variance):
    """A model of classes "a" and "b" with one sample each and one feature of the given tables."""
    text = ('{"n":2,"class_ratio":{"a":1,"b":1},"class_numbering":{"a":0,"b":1},'
            f'"mean":{{"a|0":{mean[0]!r},"b|0":{mean[1]!r}}},"variance":{{"a|0":{variance[0]!r},"b|0":{variance[1]!r}}}}}')
    path = tmp_path / "gnb.json"
    path.write_text(text)
    model = _cpp.GaussianNaiveBayes()
    model.load(str(path))
    return model


@pytest.mark.parametrize("variance", [(0.0, VARIANCE_FLOOR), (VARIANCE_FLOOR, 0.0), (-1.0, VARIANCE_FLOOR),
                                      (VARIANCE_FLOOR / 2, VARIANCE_FLOOR)])
def test_gaussian_nb_variance_floor_is_1e_10(variance, tmp_path):
    # At the mean a density is 1 / sqrt(2 pi v): the two classes tie, and the tie goes to "a", only
    # when the floored variance equals 1e-10; a floor either side would let the narrower class win.
    assert gaussian_nb(tmp_path, (0.0, 0.0), variance).predict_one([0.0]) == "a"


def distance_for(density, variance):
    """x - mean at which the normal density of the given variance is `density`."""
    return math.sqrt(-2.0 * variance * math.log(density * math.sqrt(2.0 * math.pi * variance)))


@pytest.mark.parametrize("factor, side", MARGIN)
def test_gaussian_nb_density_floor_is_1e_300(factor, side, tmp_path):
    # "a" sits far away (its density underflows to 0 and is floored); "b" scores its own density.
    # Above the floor "b" wins; below it both are floored, tie, and the tie goes to "a".
    model = gaussian_nb(tmp_path, (1000.0, 0.0), (0.5, 0.5))
    x = distance_for(DENSITY_FLOOR * factor, 0.5)
    assert model.predict_one([x]) == ("b" if side == "above" else "a")


@pytest.mark.parametrize("factor, side", MARGIN)
def test_gda_density_floor_is_1e_300(factor, side):
    # The positive mean is far away (density floored); with equal priors the negative class wins
    # only when its density is above the floor, and a tie goes to the positive class.
    model = _cpp.GDA("p")
    model.negative_class, model.dimension, model.phi = "n", 1, 0.5
    model.mu_one, model.mu_zero, model.covariance = [1000.0], [0.0], [[1.0 - 1e-6]]
    x = distance_for(DENSITY_FLOOR * factor, (1.0 - 1e-6) + 1e-6)
    assert model.predict_one([x]) == ("n" if side == "above" else "p")
