"""Which of scikit-learn's estimator checks an estimator cannot pass because of what its model is.

Only LinearRegression has any: its model fits a line to one feature, and these checks fit or
predict data of several features (a one-feature X would pass them)."""

from __future__ import annotations

from sklearn.base import BaseEstimator

from tarnwick.sklearn._linear import LinearRegression

ONE_FEATURE = "the model fits one feature; this check fits or predicts X of several columns"

LINEAR_REGRESSION = dict.fromkeys([
    "check_dict_unchanged", "check_dont_overwrite_parameters", "check_dtype_object", "check_estimators_dtypes",
    "check_estimators_fit_returns_self", "check_estimators_nan_inf", "check_estimators_overwrite_params",
    "check_estimators_pickle", "check_f_contiguous_array_estimator", "check_fit2d_1sample",
    "check_fit2d_predict1d", "check_fit_check_is_fitted", "check_fit_idempotent", "check_fit_score_takes_y",
    "check_methods_sample_order_invariance", "check_methods_subset_invariance", "check_n_features_in",
    "check_n_features_in_after_fitting", "check_pipeline_consistency", "check_positive_only_tag_during_fit",
    "check_readonly_memmap_input", "check_regressor_data_not_an_array", "check_regressors_int",
    "check_regressors_no_decision_function", "check_regressors_train", "check_supervised_y_2d",
], ONE_FEATURE)


def expected_failed_checks(estimator: BaseEstimator) -> dict[str, str]:
    """{check name: reason} of the checks of sklearn.utils.estimator_checks that the estimator
    cannot pass, for parametrize_with_checks(..., expected_failed_checks=expected_failed_checks)."""
    if isinstance(estimator, LinearRegression):
        return dict(LINEAR_REGRESSION)
    return {}
