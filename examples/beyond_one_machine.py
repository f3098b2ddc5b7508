"""The estimators of tarnwick.sklearn on a Dask cluster of two local worker processes: a scaler-and-KNN
pipeline tuned by GridSearchCV whose fits run on the workers, a seeded network fitted on a worker,
and predictions block by block over a chunked dask array, each checked against the result in one
process. Needs scikit-learn, dask[array] and distributed (pip install "tarnwick[sklearn,dask]").

(The file is not called distributed.py: Python puts a script's folder first on the import path, so
that name would hide the Dask package it imports.)"""

import time


def main() -> None:
    # Imported here, not at the top: each worker process starts by importing this file, and needs
    # none of them to start.
    import dask.array as da
    import joblib
    import numpy as np
    from distributed import Client, LocalCluster
    from sklearn.base import clone
    from sklearn.model_selection import GridSearchCV
    from sklearn.pipeline import make_pipeline
    from sklearn.preprocessing import StandardScaler

    from neighbour_models import load_clusters
    from tarnwick.sklearn import KNeighborsClassifier, MLPClassifier

    x_train, y_train, x_test, y_test = (np.asarray(part) for part in load_clusters())
    pipeline = make_pipeline(StandardScaler(), KNeighborsClassifier())
    ks, metrics = [1, 3, 5, 9], ["euclidean", "manhattan", "cosine"]
    grid = {"kneighborsclassifier__k": ks, "kneighborsclassifier__metric": metrics}
    here = GridSearchCV(pipeline, grid, cv=4).fit(x_train, y_train)
    network = MLPClassifier(hidden_layer_sizes=(16,), epochs=40, learning_rate=0.01, random_state=0)

    start = time.perf_counter()
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        print(f"a cluster of {len(client.scheduler_info()['workers'])} worker processes, up in "
              f"{time.perf_counter() - start:.1f} s")

        # joblib hands GridSearchCV's 48 fits (12 settings x 4 folds) to the cluster's workers.
        with joblib.parallel_config(backend="dask"):
            search = GridSearchCV(pipeline, grid, cv=4, n_jobs=-1).fit(x_train, y_train)
        print(f"best of {len(ks) * len(metrics)} settings: {search.best_params_}, "
              f"cross-validated accuracy {search.best_score_:.3f}, test accuracy {search.score(x_test, y_test):.3f}")
        print("the same scores as in one process:",
              np.array_equal(search.cv_results_["mean_test_score"], here.cv_results_["mean_test_score"]))

        # A network seeded by random_state trains bit for bit alike in any process.
        remote = client.submit(clone(network).fit, x_train, y_train).result()
        local = clone(network).fit(x_train, y_train)
        print(f"network fitted on a worker: test accuracy {remote.score(x_test, y_test):.3f}, "
              f"equal to the one fitted here: {remote.network_ == local.network_}")

        blocks = da.from_array(x_test, chunks=(15, x_test.shape[1]))
        predicted = blocks.map_blocks(search.predict, drop_axis=1, dtype=search.classes_.dtype,
                                      meta=np.array([], dtype=search.classes_.dtype))
        labels = predicted.compute()
        print(f"{predicted.numblocks[0]} blocks predicted on the workers, equal to one call here: "
              f"{np.array_equal(labels, search.predict(x_test))}")


if __name__ == "__main__":
    main()
