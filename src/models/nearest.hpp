// The candidate heap and the majority vote shared by KNN and KDTree. A candidate is a training
// point's (distance, index); the heap keeps the k that come first by distance, then by index, and
// the vote counts their labels, ranked once in byte-wise order so that ties go to the smaller label.
// Assumes k >= 1 and that every index handed to the vote was ranked.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "core/poll_budget.hpp"

namespace tarnwick::nearest {

struct Candidate {
  double dist;
  // A value that orders like dist and is known before it (the Euclidean sum before its square
  // root), so that most points are turned away without the root being taken.
  double key;
  int index;
};

// Heap order: by distance, then index. A not-a-number distance (cosine of a zero vector) sorts
// below every number, so that it never stands on top of numbers and keeps them from being replaced.
inline bool comes_first(const Candidate& a, const Candidate& b) {
  const bool an = std::isnan(a.dist), bn = std::isnan(b.dist);
  if (an != bn) return an;
  if (!an && a.dist != b.dist) return a.dist < b.dist;
  return a.index < b.index;
}

class BoundedHeap {
 public:
  BoundedHeap(int k, std::size_t capacity_hint) : k_(std::size_t(k)) {
    items_.reserve(std::min(k_, capacity_hint));
  }

  bool full() const { return items_.size() >= k_; }
  bool empty() const { return items_.empty(); }
  // The farthest held candidate; only while the heap is not empty.
  const Candidate& top() const { return items_.front(); }
  const std::vector<Candidate>& items() const { return items_; }
  void clear() { items_.clear(); }

  // While filling every candidate goes in; once full, a candidate replaces the farthest only when
  // that one is strictly farther: an equal distance does not displace a point already held.
  // Returns whether the candidate was taken.
  bool offer(double dist, double key, int index) {
    if (items_.size() < k_) {
      items_.push_back({dist, key, index});
      std::push_heap(items_.begin(), items_.end(), comes_first);
      return true;
    }
    if (!(items_.front().dist > dist)) return false;
    std::pop_heap(items_.begin(), items_.end(), comes_first);
    items_.back() = {dist, key, index};
    std::push_heap(items_.begin(), items_.end(), comes_first);
    return true;
  }

 private:
  std::size_t k_;
  std::vector<Candidate> items_;
};

class LabelRanks {
 public:
  LabelRanks() = default;
  // Ranks the labels of the first n training points (labels holds at least n).
  LabelRanks(const std::vector<std::string>& labels, std::size_t n) {
    PollBudget budget;
    std::map<std::string, int> order;
    for (std::size_t i = 0; i < n; ++i) {
      order.try_emplace(labels[i], 0);
      budget.spend(4);
    }
    names_.reserve(order.size());
    for (auto& [name, rank] : order) {
      rank = int(names_.size());
      names_.push_back(name);
    }
    rank_.resize(n);
    // Training labels come in runs often enough that the previous look-up is worth reusing.
    const std::string* last = nullptr;
    int last_rank = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (!last || labels[i] != *last) {
        last = &labels[i];
        last_rank = order.find(labels[i])->second;
      }
      rank_[i] = last_rank;
      budget.spend(1);
    }
  }

  // The label held most often; among equal counts the smaller label; "" when nothing is held.
  // Distances do not weight the vote.
  std::string vote(const std::vector<Candidate>& held, std::vector<int>& scratch) const {
    scratch.clear();
    for (const Candidate& c : held) scratch.push_back(rank_[std::size_t(c.index)]);
    std::sort(scratch.begin(), scratch.end());
    int best = -1;
    std::size_t best_count = 0;
    for (std::size_t i = 0; i < scratch.size();) {
      std::size_t j = i;
      while (j < scratch.size() && scratch[j] == scratch[i]) ++j;
      if (j - i > best_count) {
        best_count = j - i;
        best = scratch[i];
      }
      i = j;
    }
    return best < 0 ? std::string() : names_[std::size_t(best)];
  }

 private:
  std::vector<int> rank_;
  std::vector<std::string> names_;
};

}  // namespace tarnwick::nearest
