"""Linear regression, logistic regression and GDA on two small bundled data sets, with a save and
reload of each model."""

import csv
import pickle
import tempfile
from pathlib import Path

import _cpp

DATA = Path(__file__).resolve().parent / "data"


def read_csv(name):
    with open(DATA / name, newline="") as f:
        return list(csv.DictReader(f))


def main() -> None:
    # Exam score against hours of study: one feature, a straight line.
    rows = read_csv("study_hours.csv")
    hours = [float(r["hours"]) for r in rows]
    scores = [float(r["score"]) for r in rows]
    line = _cpp.LinearRegression()
    line.fit(hours, scores, learning_rate=0.02, iterations=20000)
    print(f"LinearRegression: score = {line.theta0:.3f} + {line.theta1:.3f} * hours, "
          f"mse {line.mse(hours, scores):.3f}")
    print("  predicted scores for 2, 5 and 9 hours:", [round(p, 1) for p in line.predict([2.0, 5.0, 9.0])])

    # Apples and oranges by diameter and weight: two features, two classes.
    fruit = read_csv("fruit.csv")
    X = [[float(r["diameter_cm"]), float(r["weight_100g"])] for r in fruit]
    y = [r["fruit"] for r in fruit]
    queries = [[6.8, 1.4], [8.9, 2.2], [7.8, 1.8]]

    logistic = _cpp.LogisticRegression("orange")
    logistic.fit(X, y, learning_rate=0.1, iterations=20000)
    print("LogisticRegression: thetas", [round(t, 3) for t in logistic.thetas],
          f"training accuracy {logistic.accuracy(X, y):.1f}%")
    print("  P(orange) for", queries, "=", [round(p, 3) for p in logistic.predict_proba(queries)])
    print("  predictions ('' is not orange):", logistic.predict(queries))

    gda = _cpp.GDA()
    gda.fit(X, y)
    print(f"GDA: positive '{gda.positive_class}', negative '{gda.negative_class}', phi {gda.phi}")
    print("  mu_one", [round(v, 3) for v in gda.mu_one], "mu_zero", [round(v, 3) for v in gda.mu_zero])
    print("  covariance", [[round(v, 4) for v in row] for row in gda.covariance])
    print(f"  training accuracy {gda.accuracy(X, y):.1f}%, predictions {gda.predict(queries)}")

    # Each model writes one line of text and reads it back bit for bit; a pickle carries the same text.
    models: list[_cpp.LinearRegression | _cpp.LogisticRegression | _cpp.GDA] = [line, logistic, gda]
    with tempfile.TemporaryDirectory() as tmp:
        for model in models:
            path = Path(tmp) / "model.json"
            model.save(str(path))
            again = type(model)()
            again.load(str(path))
            copied = pickle.loads(pickle.dumps(model))
            print(f"  {model!r}: {path.stat().st_size} bytes, reloaded == model: {again == model}, "
                  f"unpickled == model: {copied == model}")
        print("  the GDA file:", path.read_text())

if __name__ == "__main__":
    main()
