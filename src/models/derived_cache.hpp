// Tables that a model's predictions derive from its fields on first use and keep for later calls.
// Predictions only read the model, so several may run at once: they share one immutable copy of the
// tables, and one that needs more than is kept builds its own and offers it for later calls. The
// tables follow from the fields alone, so which reader's copy is kept never changes a result; the
// model's writers (which run alone) drop them whenever the fields change. The cache also counts
// the times the fields were replaced wholesale (fits and loads), so that what a reader gathered
// from one set of fields is never applied to the next.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

namespace tarnwick {

template <typename Tables>
class DerivedCache {
 public:
  DerivedCache() = default;
  // A copy of a model starts without tables: they are rebuilt from its fields when needed.
  DerivedCache(const DerivedCache& other) noexcept : revision_(other.revision_) {}
  DerivedCache& operator=(const DerivedCache& other) noexcept {
    kept_.reset();
    revision_ = other.revision_;
    return *this;
  }

  // What is kept, or null.
  std::shared_ptr<const Tables> get() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return kept_;
  }

  // Keeps t for later calls unless covers(kept) says that the tables kept already serve at least
  // as much (another reader offered larger ones meanwhile).
  template <typename Covers>
  void offer(const std::shared_ptr<const Tables>& t, Covers covers) const {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!kept_ || !covers(*kept_)) kept_ = t;
  }

  std::uint64_t revision() const noexcept { return revision_; }

  // Writers only, while no reader runs: the fields were replaced wholesale (keeping t, the tables of
  // the new fields, if given), or changed in place.
  void renew(std::shared_ptr<const Tables> t = nullptr) noexcept {
    kept_ = std::move(t);
    ++revision_;
  }
  void clear() noexcept { kept_.reset(); }

 private:
  mutable std::mutex mutex_;
  mutable std::shared_ptr<const Tables> kept_;
  std::uint64_t revision_ = 0;
};

}  // namespace tarnwick
