#include "autodiff/element.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <utility>

namespace tarnwick {

namespace {

ElementPtr require(ElementPtr node) {
  if (!node) throw std::invalid_argument("Operands: an operand is null, not a node");
  return node;
}

// Each sort marks the nodes it reaches with a pass number of its own; stale marks of earlier
// passes (even of one interrupted by an exception) never match.
std::atomic<std::uint64_t> sort_passes{0};

}  // namespace

Operands::Operands(ElementPtr a) : items_{require(std::move(a)), nullptr}, size_(1) {}

Operands::Operands(ElementPtr a, ElementPtr b) : items_{require(std::move(a)), require(std::move(b))}, size_(2) {
  if (items_[0] == items_[1]) {
    items_[1].reset();
    size_ = 1;
  } else if (std::less<Element*>()(items_[1].get(), items_[0].get())) {
    std::swap(items_[0], items_[1]);
  }
}

Element::Element(Operands children, std::string operation)
    : children(std::move(children)), operation(std::move(operation)), backward_fn([] {}) {}

Element::~Element() {
  // The rule's own references go first, so that `children` holds the last reference to any
  // operand that nothing outside this graph keeps.
  backward_fn = nullptr;
  std::vector<ElementPtr> orphans;
  const auto release = [&orphans](Operands& operands) {
    for (std::size_t k = 0; k < operands.size_; ++k) {
      ElementPtr& child = operands.items_[k];
      if (child.use_count() == 1) {
        orphans.push_back(std::move(child));
      } else {
        child.reset();
      }
    }
    operands.size_ = 0;
  };
  release(children);
  while (!orphans.empty()) {
    const ElementPtr node = std::move(orphans.back());
    orphans.pop_back();
    node->backward_fn = nullptr;
    release(node->children);
  }
}

std::vector<ElementPtr> Element::topo_sort() { return TopologicalSort().topological_sort(shared_from_this()); }

void Element::backprop(const std::vector<ElementPtr>& order) const {
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (!order[i]) {
      throw std::invalid_argument("backprop: entry " + std::to_string(i) + " of the order is None, not a node");
    }
  }
  for (const ElementPtr& node : order) node->backward_fn();
}

std::vector<ElementPtr> TopologicalSort::topological_sort(const ElementPtr& root) const {
  if (!root) throw std::invalid_argument("topological_sort: the root is null, not a node");
  const std::uint64_t pass = ++sort_passes;
  const auto seen = [pass](const Element& node) { return node.sort_pass_ == pass; };
  const auto mark = [pass](Element& node, std::size_t slot) {
    node.sort_pass_ = pass;
    node.sort_slot_ = std::uint32_t(slot);
  };

  // Every reachable node once, each with the reference that reached it, and its in-degree: the
  // number of distinct reachable nodes that use it as an operand. The visit order does not matter:
  // everything below depends only on the set of nodes and their addresses.
  std::vector<const ElementPtr*> nodes{&root};
  std::vector<std::int32_t> indegree{0};
  mark(*root, 0);
  for (std::size_t next = 0; next < nodes.size(); ++next) {
    for (const ElementPtr& child : (*nodes[next])->children) {
      if (seen(*child)) {
        ++indegree[child->sort_slot_];
      } else {
        if (nodes.size() == std::size_t(INT32_MAX)) {
          throw std::length_error("topological_sort: the graph has more nodes than a 32-bit count holds");
        }
        mark(*child, nodes.size());
        nodes.push_back(&child);
        indegree.push_back(1);
      }
    }
  }
  // Nodes nobody consumes (the root alone, in an acyclic graph) enter the stack by ascending address.
  std::vector<std::uint32_t> ready;
  for (std::uint32_t i = 0; i < nodes.size(); ++i) {
    if (indegree[i] == 0) ready.push_back(i);
  }
  std::sort(ready.begin(), ready.end(), [&nodes](std::uint32_t a, std::uint32_t b) {
    return std::less<Element*>()(nodes[a]->get(), nodes[b]->get());
  });

  std::vector<ElementPtr> order;
  order.reserve(nodes.size());
  while (!ready.empty()) {
    const std::uint32_t i = ready.back();
    ready.pop_back();
    order.push_back(*nodes[i]);
    for (const ElementPtr& child : (*nodes[i])->children) {
      const std::uint32_t c = child->sort_slot_;
      if (--indegree[c] == 0) ready.push_back(c);
    }
  }
  return order;
}

}  // namespace tarnwick
