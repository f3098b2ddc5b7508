#include "models/kdtree.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>
#include <type_traits>
#include <utility>

#include "core/check.hpp"
#include "models/classifier.hpp"

namespace tarnwick {

namespace {

// A coordinate as an integer that orders like it: ascending numbers, -0 just before +0 (which
// compare equal, so either order is an order an unstable sort may leave), and every not-a-number
// after all numbers, so that the selection always sees a strict weak order.
long long coordinate_order(double v) {
  if (std::isnan(v)) return std::numeric_limits<long long>::max();
  const auto bits = std::bit_cast<long long>(v);
  return bits < 0 ? bits ^ std::numeric_limits<long long>::max() : bits;
}

constexpr std::size_t kTypicalSearch = 64;      // points measured, for the poll budget
constexpr std::size_t kLargeSubtree = 1 << 12;  // points below a split worth a poll before crossing

}  // namespace

KDTree KDTree::build(const std::string& context, DoubleMatrix x, std::vector<std::string> y) {
  const std::size_t n = std::size_t(check::count32(context, x.size(), "x"));
  check::labels_cover_rows(context, n, y.size(), check::Wording::rows_first);
  KDTree next;
  next.x_train_ = std::move(x);
  next.y_train_ = std::move(y);
  if (n == 0) return next;

  const DoubleMatrix& rows = next.x_train_;
  const std::size_t dimension = rows[0].size();
  if (n >= 2 && dimension == 0) {
    check::fail(context, "the first row has no components; two or more points need one to split on");
  }
  next.dimension_ = check::count32(context, dimension, "the first row");
  check::rows_cover(context, rows, dimension, "the first row");
  std::size_t longest = dimension;
  for (const DoubleVector& row : rows) longest = std::max(longest, row.size());
  next.stride_ = longest;

  // Built in a new model, which the caller puts in this one's place in one step that cannot fail:
  // an error or an interrupt part-way leaves the model as it was.
  PollBudget budget;
  std::vector<double> flat(n * longest, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    std::copy(rows[i].begin(), rows[i].end(), flat.begin() + i * longest);
    budget.spend(longest + 1);
  }
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::vector<std::pair<long long, int>> keyed(n);
  next.construct(order, keyed, flat, 0, n, 0, budget);

  next.points_.resize(n * longest);
  next.index_ = order;
  const bool ragged = std::any_of(rows.begin(), rows.end(), [&](const DoubleVector& r) { return r.size() != longest; });
  if (ragged) next.lengths_.resize(n);
  for (std::size_t p = 0; p < n; ++p) {
    const std::size_t i = std::size_t(order[p]);
    std::copy_n(flat.begin() + i * longest, longest, next.points_.begin() + p * longest);
    if (ragged) next.lengths_[p] = int(rows[i].size());
    budget.spend(longest + 1);
  }
  next.ranks_ = nearest::LabelRanks(next.y_train_, n);
  return next;
}

void KDTree::construct(std::vector<int>& order, std::vector<std::pair<long long, int>>& keyed,
                       const std::vector<double>& flat, std::size_t lo, std::size_t hi, int axis,
                       PollBudget& budget) const {
  if (hi - lo <= 1) return;
  budget.spend(4 * (hi - lo));
  // Only the split matters, not the order within each side, so a selection does the work of the
  // sort: the lower median lands at mid with every point before it not after it on this axis.
  const std::size_t mid = lo + (hi - lo - 1) / 2;
  const auto first = keyed.begin() + std::ptrdiff_t(lo), last = keyed.begin() + std::ptrdiff_t(hi);
  for (std::size_t p = lo; p < hi; ++p) {
    keyed[p] = {coordinate_order(flat[std::size_t(order[p]) * stride_ + std::size_t(axis)]), order[p]};
  }
  std::nth_element(first, keyed.begin() + std::ptrdiff_t(mid), last,
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t p = lo; p < hi; ++p) order[p] = keyed[p].second;
  const int next = (axis + 1) % dimension_;
  construct(order, keyed, flat, lo, mid, next, budget);
  construct(order, keyed, flat, mid + 1, hi, next, budget);
}

template <bool Large>
void KDTree::search(std::size_t lo, std::size_t hi, const double* query, int axis, nearest::BoundedHeap& heap) const {
  if constexpr (Large) {
    if (hi - lo < kLargeSubtree) return search<false>(lo, hi, query, axis, heap);
  }
  if (lo >= hi) return;
  const std::size_t mid = lo + (hi - lo - 1) / 2;
  const double* point = points_.data() + mid * stride_;
  const std::size_t length = lengths_.empty() ? stride_ : std::size_t(lengths_[mid]);
  double sum = 0.0;
  for (std::size_t j = 0; j < length; ++j) {
    const double d = point[j] - query[j];
    sum += d * d;
  }
  // The square root orders like its argument, so a sum not below the farthest held one cannot
  // give a strictly smaller distance.
  if (!heap.full() || sum < heap.top().key) heap.offer(std::sqrt(sum), sum, index_[mid]);
  if (hi - lo == 1) return;

  const double split = point[axis];
  const int next = (axis + 1) % dimension_;
  const bool right_is_near = query[axis] > split;
  if (right_is_near) {
    search<Large>(mid + 1, hi, query, next, heap);
  } else {
    search<Large>(lo, mid, query, next, heap);
  }
  if (heap.top().dist > std::fabs(query[axis] - split)) {
    // Crossing a split near the root is rare, but it is how one search comes to visit much of the
    // tree (points of many components, a query far from all of them): the one place where a
    // single query can run long enough to need a poll of its own. Below the large subtrees the
    // search runs without the test.
    if constexpr (Large) poll_interrupt();
    if (right_is_near) {
      search<Large>(lo, mid, query, next, heap);
    } else {
      search<Large>(mid + 1, hi, query, next, heap);
    }
  }
}

void KDTree::fit(DoubleMatrix x, std::vector<std::string> y) {
  if (x.empty()) check::fail("KDTree.fit", "x is empty, at least one point is required");
  static_assert(std::is_nothrow_move_assignable_v<KDTree>);
  *this = build("KDTree.fit", std::move(x), std::move(y));
}

std::string KDTree::predict_one(const DoubleVector& query, int k) const {
  check::at_least("KDTree.predict_one", "k", k, 1);
  check::query_covers("KDTree.predict_one", query, stride_);
  if (index_.empty()) return std::string();
  nearest::BoundedHeap heap(k, index_.size());
  search<true>(0, index_.size(), query.data(), 0, heap);
  std::vector<int> scratch;
  return ranks_.vote(heap.items(), scratch);
}

std::vector<std::string> KDTree::predict(const DoubleMatrix& x_test, int k) const {
  check::at_least("KDTree.predict", "k", k, 1);
  check::rows_cover("KDTree.predict", x_test, stride_);
  std::vector<std::string> labels(x_test.size());
  if (index_.empty()) return labels;
  nearest::BoundedHeap heap(k, index_.size());
  std::vector<int> scratch;
  PollBudget budget;
  for (std::size_t i = 0; i < x_test.size(); ++i) {
    heap.clear();
    search<true>(0, index_.size(), x_test[i].data(), 0, heap);
    labels[i] = ranks_.vote(heap.items(), scratch);
    // A typical search measures a few dozen points; long ones poll as they cross large subtrees.
    budget.spend(kTypicalSearch * (stride_ + 1));
  }
  return labels;
}

double KDTree::accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test, int k) const {
  check::labels_cover_rows("KDTree.accuracy", x_test.size(), y_test.size(), check::Wording::rows_first, "x_test",
                           "y_test");
  return percent_correct(predict(x_test, k), y_test);
}

void KDTree::on_load(const LoadSite& site) { *this = build(site.where(), std::move(x_train_), std::move(y_train_)); }

}  // namespace tarnwick
