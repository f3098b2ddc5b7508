#include "models/knn.hpp"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/check.hpp"
#include "core/distance.hpp"
#include "core/poll_budget.hpp"
#include "core/vector_clones.hpp"
#include "models/classifier.hpp"

namespace tarnwick {

namespace {

constexpr std::size_t kLanes = 8;        // doubles per vector
constexpr std::size_t kGroup = 16;       // points per group: two vectors
constexpr std::size_t kQueryBlock = 4;   // queries measured together against one group
constexpr std::size_t kBatch = 64;       // queries whose heaps are kept while the groups go by
constexpr std::size_t kChunkBytes = 256 * 1024;

using Lanes = double __attribute__((vector_size(kLanes * sizeof(double))));
using LaneBits = long long __attribute__((vector_size(kLanes * sizeof(double))));
// The same lanes at any double's address, for loads and stores straight from and to the arrays.
// The alignment is lowered on a typedef of the finished vector type: given in one attribute list
// with vector_size, clang keeps the vector's own 64-byte alignment.
typedef Lanes LanesAt __attribute__((aligned(sizeof(double)), may_alias));

KNN::Metric metric_kind(const std::string& metric) {
  if (metric == "manhattan") return KNN::Metric::manhattan;
  if (metric == "cosine") return KNN::Metric::cosine;
  return KNN::Metric::euclidean;
}

// For QB queries and one group of points, the keys the heaps compare: the Euclidean sums of
// squares (the distance is their square root), the Manhattan sums, or the cosine distances. Each
// lane is one point, so every sum still runs over the features in ascending order from 0.0,
// exactly as the one-pair distances add them.
template <KNN::Metric M, std::size_t QB>
TARNWICK_VECTOR_CLONES
void group_keys(const double* group, std::size_t dim, const double* const* queries, const double* query_roots,
                const double* point_roots, double (*keys)[kGroup]) {
  Lanes acc[QB][2];
  for (std::size_t a = 0; a < QB; ++a) acc[a][0] = acc[a][1] = Lanes{};
  for (std::size_t f = 0; f < dim; ++f) {
    const Lanes t0 = *reinterpret_cast<const LanesAt*>(group + f * kGroup);
    const Lanes t1 = *reinterpret_cast<const LanesAt*>(group + f * kGroup + kLanes);
    for (std::size_t a = 0; a < QB; ++a) {
      const double b = queries[a][f];
      if constexpr (M == KNN::Metric::cosine) {
        acc[a][0] += b * t0;
        acc[a][1] += b * t1;
      } else {
        Lanes d0 = t0 - b, d1 = t1 - b;
        if constexpr (M == KNN::Metric::euclidean) {
          acc[a][0] += d0 * d0;
          acc[a][1] += d1 * d1;
        } else {
          const long long magnitude = 0x7fffffffffffffffLL;  // fabs: clear the sign bit
          acc[a][0] += (Lanes)((LaneBits)d0 & magnitude);
          acc[a][1] += (Lanes)((LaneBits)d1 & magnitude);
        }
      }
    }
  }
  for (std::size_t a = 0; a < QB; ++a) {
    if constexpr (M == KNN::Metric::cosine) {
      // 1 - p / (sqrt(sb) * sqrt(sa)), grouped as the one-pair cosine groups it.
      const Lanes r0 = *reinterpret_cast<const LanesAt*>(point_roots);
      const Lanes r1 = *reinterpret_cast<const LanesAt*>(point_roots + kLanes);
      acc[a][0] = 1 - acc[a][0] / (query_roots[a] * r0);
      acc[a][1] = 1 - acc[a][1] / (query_roots[a] * r1);
    }
    *reinterpret_cast<LanesAt*>(keys[a]) = acc[a][0];
    *reinterpret_cast<LanesAt*>(keys[a] + kLanes) = acc[a][1];
  }
}

// Whether any key is below the bound: a point whose key is not below the farthest held one
// cannot be strictly nearer, so most groups are turned away by this one test.
bool any_below(const double* keys, double bound) {
#if defined(__SSE2__)
  const __m128d b = _mm_set1_pd(bound);
  __m128d below = _mm_cmplt_pd(_mm_loadu_pd(keys), b);
  for (std::size_t l = 2; l < kGroup; l += 2) below = _mm_or_pd(below, _mm_cmplt_pd(_mm_loadu_pd(keys + l), b));
  return _mm_movemask_pd(below) != 0;
#else
  bool any = false;
  for (std::size_t l = 0; l < kGroup; ++l) any |= keys[l] < bound;
  return any;
#endif
}

// Offers groups [g_begin, g_end) to the heaps of `count` queries (count <= QB).
template <KNN::Metric M, std::size_t QB>
void measure_groups(const std::vector<double>& groups, const std::vector<double>& root_norms, std::size_t n,
                    std::size_t dim, std::size_t g_begin, std::size_t g_end, const double* const* queries,
                    const double* query_roots, std::size_t count, nearest::BoundedHeap* heaps) {
  double keys[QB][kGroup];
  const std::size_t stride = dim * kGroup;
  for (std::size_t g = g_begin; g < g_end; ++g) {
    const std::size_t first = g * kGroup;
    const double* point_roots = M == KNN::Metric::cosine ? root_norms.data() + first : nullptr;
    group_keys<M, QB>(groups.data() + g * stride, dim, queries, query_roots, point_roots, keys);
    const std::size_t valid = std::min(kGroup, n - first);
    for (std::size_t a = 0; a < count; ++a) {
      nearest::BoundedHeap& heap = heaps[a];
      // A heap still filling takes every point, whatever its key.
      if (heap.full() && !any_below(keys[a], heap.top().key)) continue;
      for (std::size_t l = 0; l < valid; ++l) {
        const double key = keys[a][l];
        if (heap.full() && !(key < heap.top().key)) continue;
        heap.offer(M == KNN::Metric::euclidean ? std::sqrt(key) : key, key, int(first + l));
      }
    }
  }
}

// Every query of a batch against every group. The groups are visited in chunks small enough to
// stay in cache while all the batch's queries pass over them; each query still meets the points
// in ascending index order, which is what its heap's tie rule relies on.
template <KNN::Metric M>
void measure_batch(const std::vector<double>& groups, const std::vector<double>& root_norms, std::size_t n,
                   std::size_t dim, const DoubleVector* const* batch, std::size_t count,
                   nearest::BoundedHeap* heaps, PollBudget& budget) {
  // Short blocks repeat the batch's first query so that the kernel always reads valid rows.
  const double* queries[kBatch + kQueryBlock];
  double query_roots[kBatch + kQueryBlock] = {};
  for (std::size_t a = 0; a < kBatch + kQueryBlock; ++a) queries[a] = batch[a < count ? a : 0]->data();
  if constexpr (M == KNN::Metric::cosine) {
    for (std::size_t a = 0; a < count; ++a) {
      double sb = 0.0;
      for (std::size_t f = 0; f < dim; ++f) sb += queries[a][f] * queries[a][f];
      query_roots[a] = std::sqrt(sb);
    }
  }
  const std::size_t group_count = (n + kGroup - 1) / kGroup;
  const std::size_t chunk = std::max<std::size_t>(1, kChunkBytes / (std::max<std::size_t>(dim, 1) * kGroup * sizeof(double)));
  for (std::size_t g = 0; g < group_count; g += chunk) {
    const std::size_t g_end = std::min(group_count, g + chunk);
    for (std::size_t a = 0; a < count; a += kQueryBlock) {
      const std::size_t block = std::min(kQueryBlock, count - a);
      if (block == 1) {
        measure_groups<M, 1>(groups, root_norms, n, dim, g, g_end, queries + a, query_roots + a, 1, heaps + a);
      } else {
        measure_groups<M, kQueryBlock>(groups, root_norms, n, dim, g, g_end, queries + a, query_roots + a, block,
                                       heaps + a);
      }
    }
    budget.spend(count * (g_end - g) * kGroup * (dim + 1));
  }
}

}  // namespace

KNN::KNN(int k, std::string metric) : k_(k), metric_(std::move(metric)), kind_(metric_kind(metric_)) {
  check::at_least("KNN", "k", k_, 1);
}

void KNN::fit(DoubleMatrix x, std::vector<std::string> y) {
  check::count32("KNN.fit", x.size(), "x");
  check::labels_cover_rows("KNN.fit", x.size(), y.size(), check::Wording::rows_first);
  KNN next(k_, metric_);
  next.x_train_ = std::move(x);
  next.y_train_ = std::move(y);

  // Everything is built in a new model, which then takes this one's place in one step that cannot
  // fail: an error or an interrupt part-way leaves this model as it was.
  PollBudget budget;
  const DoubleMatrix& rows = next.x_train_;
  for (const auto& row : rows) next.longest_ = std::max(next.longest_, row.size());
  next.blocked_ = !rows.empty() && std::all_of(rows.begin(), rows.end(),
                                               [&](const DoubleVector& r) { return r.size() == rows[0].size(); });
  if (next.blocked_) {
    const std::size_t dim = next.dim_ = rows[0].size();
    const std::size_t padded = (rows.size() + kGroup - 1) / kGroup * kGroup;
    // Lanes past the last point hold zeros; their sums are computed and never offered.
    next.groups_.assign(padded * dim, 0.0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      double* lane = next.groups_.data() + (i / kGroup) * dim * kGroup + i % kGroup;
      for (std::size_t f = 0; f < dim; ++f) lane[f * kGroup] = rows[i][f];
      budget.spend(dim + 1);
    }
    if (next.kind_ == Metric::cosine) {
      next.root_norms_.assign(padded, 1.0);
      for (std::size_t i = 0; i < rows.size(); ++i) {
        double sa = 0.0;
        for (std::size_t f = 0; f < dim; ++f) sa += rows[i][f] * rows[i][f];
        next.root_norms_[i] = std::sqrt(sa);
        budget.spend(dim + 1);
      }
    }
  }
  next.ranks_ = nearest::LabelRanks(next.y_train_, rows.size());
  static_assert(std::is_nothrow_move_assignable_v<KNN>);
  *this = std::move(next);
}

double KNN::compute_dist(const DoubleVector& a, const DoubleVector& b) const {
  switch (kind_) {
    case Metric::manhattan: return manhattan(a, b);
    case Metric::cosine: return cosine(a, b);
    case Metric::euclidean: break;
  }
  return euclidean(a, b);
}

void KNN::predict_batch(const DoubleVector* const* queries, std::size_t count, std::string* out,
                        std::vector<nearest::BoundedHeap>& heaps, std::vector<int>& scratch,
                        PollBudget& budget) const {
  for (std::size_t a = 0; a < count; ++a) heaps[a].clear();
  const std::size_t n = x_train_.size();
  if (blocked_) {
    switch (kind_) {
      case Metric::euclidean:
        measure_batch<Metric::euclidean>(groups_, root_norms_, n, dim_, queries, count, heaps.data(), budget);
        break;
      case Metric::manhattan:
        measure_batch<Metric::manhattan>(groups_, root_norms_, n, dim_, queries, count, heaps.data(), budget);
        break;
      case Metric::cosine:
        measure_batch<Metric::cosine>(groups_, root_norms_, n, dim_, queries, count, heaps.data(), budget);
        break;
    }
  } else {
    for (std::size_t a = 0; a < count; ++a) {
      for (std::size_t i = 0; i < n; ++i) {
        const double d = compute_dist(x_train_[i], *queries[a]);
        heaps[a].offer(d, d, int(i));
        budget.spend(x_train_[i].size() + 1);
      }
    }
  }
  for (std::size_t a = 0; a < count; ++a) out[a] = ranks_.vote(heaps[a].items(), scratch);
}

std::string KNN::predict_one(const DoubleVector& x) const {
  check::query_covers("KNN.predict_one", x, longest_);
  std::vector<nearest::BoundedHeap> heaps(1, nearest::BoundedHeap(k_, x_train_.size()));
  std::vector<int> scratch;
  const DoubleVector* query = &x;
  std::string label;
  PollBudget budget;
  predict_batch(&query, 1, &label, heaps, scratch, budget);
  return label;
}

std::vector<std::string> KNN::predict(const DoubleMatrix& x_test) const {
  check::rows_cover("KNN.predict", x_test, longest_);
  std::vector<std::string> labels(x_test.size());
  const std::size_t batch = std::min(kBatch, x_test.size());
  std::vector<nearest::BoundedHeap> heaps(batch, nearest::BoundedHeap(k_, x_train_.size()));
  std::vector<int> scratch;
  const DoubleVector* rows[kBatch];
  PollBudget budget;
  for (std::size_t first = 0; first < x_test.size(); first += kBatch) {
    const std::size_t count = std::min(kBatch, x_test.size() - first);
    for (std::size_t a = 0; a < count; ++a) rows[a] = &x_test[first + a];
    predict_batch(rows, count, labels.data() + first, heaps, scratch, budget);
  }
  return labels;
}

double KNN::accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test) const {
  check::labels_cover_rows("KNN.accuracy", x_test.size(), y_test.size(), check::Wording::rows_first, "x_test",
                           "y_test");
  return percent_correct(predict(x_test), y_test);
}

void KNN::on_load(const LoadSite& site) {
  check::labels_cover_rows(site.where(), x_train_.size(), y_train_.size(), check::Wording::file, "x_train", "y_train");
  fit(std::move(x_train_), std::move(y_train_));
}

}  // namespace tarnwick
