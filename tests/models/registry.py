"""Every classic model, one line each: its default file name, the toy data it is fitted on, the
queries its predict takes, and where a label text ends up in its file. The round-trip, pickling,
file-name, quote-refusal and reliability tests all read MODELS, and a test checks that it names
every model class the module registers, so a new model is one line here."""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Any

import _cpp

X = [[0.0, 0.1], [0.2, 0.0], [1.0, 1.1], [1.2, 0.9], [3.0, 3.2], [2.9, 3.1]]
TEXTS = ["spam spam eggs", "eggs ham", "spam", "ham ham toast"]
LINE = ([1.0, 2.0, 3.0], [2.0, 4.1, 5.9])
QUERIES = {"line": [0.5, 4.0], "rows": [[0.1, 0.0], [2.5, 2.5]], "texts": ["spam toast", "ham"]}


@dataclass(frozen=True)
class Model:
    name: str                       # the class in _cpp
    file: str                       # the default path of save and load
    data: str                       # "line" (one feature, numeric targets), "rows" or "texts"
    two_classes: bool = False       # fit takes exactly two labels
    settings: dict = field(default_factory=dict)   # constructor arguments that a file carries
    label_setting: str | None = None   # the constructor argument that is a label text (or the metric)
    label_property: str | None = None  # a property, set after construction, that is a label text
    hashed: bool = False            # the file lists a hash table in the table's own order

    def __str__(self) -> str:
        return self.name

    @property
    def cls(self) -> type:
        return getattr(_cpp, self.name)

    @property
    def queries(self) -> list:
        return QUERIES[self.data]

    def configured(self, **settings) -> Any:
        """A new model with the settings its file carries."""
        return self.cls(**{**self.settings, **settings})

    def labelled(self, text: str) -> Any:
        """A new configured model whose label setting (if it has one) is text."""
        return self.configured(**({self.label_setting: text} if self.label_setting else {}))

    def fit_args(self, label: str = "b", word: str = "ham") -> tuple:
        """Toy data in which label is a class (and word a word of the texts)."""
        if self.data == "line":
            return LINE
        if self.data == "texts":
            return [t.replace("ham", word) for t in TEXTS], ["s", label, "s", label]
        return X, ["a", "a", label, label] + ([label, label] if self.two_classes else ["c", "c"])

    def fitted(self, label: str = "b", word: str = "ham", model: Any = None) -> Any:
        """model (by default a new one with default settings) fitted on the toy data."""
        model = self.cls() if model is None else model
        if self.data == "line":
            model.fit(*LINE, learning_rate=0.05, iterations=50)
        else:
            model.fit(*self.fit_args(label, word))
        return model

    def holding(self) -> dict:
        """The ways to put a label text into this model's file: place -> text -> model."""
        ways = {}
        if self.data != "line" and not self.two_classes:   # a two-class model may keep its positive class only
            ways["fit"] = lambda text: self.fitted(label=text)
        if self.label_setting:
            ways[f"{self.label_setting}="] = self.labelled
        if self.label_property:
            ways[f".{self.label_property}"] = lambda text: _with(self.cls(), self.label_property, text)
        return ways


def _with(model, name, value):
    setattr(model, name, value)
    return model


MODELS = [
    Model("LinearRegression", "linear_regression.json", "line"),
    Model("LogisticRegression", "logistic_regression.json", "rows", two_classes=True,
          label_setting="positive_class", label_property="positive_class"),
    Model("GDA", "gda.json", "rows", two_classes=True, label_setting="positive_class",
          label_property="negative_class"),
    Model("KNN", "knn.json", "rows", settings={"k": 3, "metric": "manhattan"}, label_setting="metric"),
    Model("KDTree", "kdtree.json", "rows"),
    Model("GaussianNaiveBayes", "gaussian_nb.json", "rows"),
    Model("BernoulliNaiveBayes", "bernoulli_nb.json", "texts", hashed=True),
    Model("MultinomialNaiveBayes", "multinomial_nb.json", "texts", hashed=True),
]

BY_NAME = {m.name: m for m in MODELS}


def registered_models() -> set[str]:
    """The classes of the module that fit, save and load: what MODELS must name."""
    return {name for name, obj in vars(_cpp).items()
            if isinstance(obj, type) and all(hasattr(obj, m) for m in ("fit", "save", "load"))}
