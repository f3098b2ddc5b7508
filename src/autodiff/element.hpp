// The reverse-mode graph common to Scalar and Matrix nodes: each node records its operands, the
// label of the operation that made it and a backward rule that adds its gradient into theirs.
// Nodes are owned by shared references only; a result holds its operands strongly and itself weakly
// (no cycles), and neither ordering nor releasing a graph recurses on the C stack.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {

class Element;
using ElementPtr = std::shared_ptr<Element>;

// The operands of one operation, each held once, in ascending address order: the order an ordered
// set of shared references keeps. No operation has more than two.
class Operands {
 public:
  Operands() = default;
  explicit Operands(ElementPtr a);
  Operands(ElementPtr a, ElementPtr b);

  const ElementPtr* begin() const { return items_.data(); }
  const ElementPtr* end() const { return items_.data() + size_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  friend class Element;
  std::array<ElementPtr, 2> items_;
  std::uint8_t size_ = 0;
};

class Element : public std::enable_shared_from_this<Element> {
 public:
  Element(Operands children, std::string operation);
  // Releases the operands that only this node holds one by one rather than by nested destructors,
  // so a chain of a million nodes frees in constant stack depth.
  virtual ~Element();
  Element(const Element&) = delete;
  Element& operator=(const Element&) = delete;

  virtual ElementPtr neg() = 0;
  virtual ElementPtr relu() = 0;
  virtual ElementPtr sigmoid() = 0;
  virtual ElementPtr tanh_op() = 0;
  virtual ElementPtr exp_op() = 0;
  virtual ElementPtr log_op() = 0;

  // Every node reachable from this one, root first, each after all the nodes that consume it.
  std::vector<ElementPtr> topo_sort();
  // Runs each node's backward rule in the order given: nothing is seeded, reset or sorted.
  void backprop(const std::vector<ElementPtr>& order) const;

  Operands children;
  std::string operation;
  std::function<void()> backward_fn;

 private:
  friend class TopologicalSort;
  // Scratch of the sort in progress, so that it finds a node's position without a lookup table:
  // sort_slot_ is meaningful only while sort_pass_ holds that sort's pass number.
  std::uint64_t sort_pass_ = 0;
  std::uint32_t sort_slot_ = 0;
};

class TopologicalSort {
 public:
  // Depth-first Kahn order over address-ordered nodes: the root first; among nodes that become
  // ready together the one with the highest address comes first, and a freshly readied node is
  // taken before older ready ones. Iterative throughout. Not for two threads on one graph at once.
  std::vector<ElementPtr> topological_sort(const ElementPtr& root) const;
};

// Installs on `out` a backward rule that runs `rule(*out)` while `out` exists. The rule holds `out`
// weakly and whatever operands it captured strongly.
template <typename Node, typename Rule>
void attach_backward(const std::shared_ptr<Node>& out, Rule rule) {
  out->backward_fn = [weak = std::weak_ptr<Node>(out), rule = std::move(rule)]() {
    if (const auto self = weak.lock()) rule(*self);
  };
}

// The frame of every operation of one node kind (Scalar, Matrix): the result is a new node of that
// kind holding the value, this node (and the operand) as children and the label; its backward rule
// runs rule(a, out) or rule(a, b, out) with a this node and b the operand (the same object for
// x op x). Binary operations take an operand of the same kind only, as their types say.
template <typename Kind>
class NodeOf : public Element {
 public:
  using Ptr = std::shared_ptr<Kind>;
  using Element::Element;

 protected:
  // The operand of the operation op, refused when null.
  static const Kind& operand(const char* op, const Ptr& other) {
    if (!other) {
      throw std::invalid_argument(std::string(Kind::kind_name) + "." + op + ": the operand is null, not a " +
                                  Kind::kind_name);
    }
    return *other;
  }

  template <typename Value, typename Rule>
  Ptr unary(Value value, const char* label, Rule rule) {
    auto a = self();
    auto out = std::make_shared<Kind>(std::move(value), Operands(a), label);
    attach_backward(out, [a = std::move(a), rule = std::move(rule)](Kind& o) { rule(*a, o); });
    return out;
  }

  template <typename Value, typename Rule>
  Ptr binary(const Ptr& other, Value value, const char* label, Rule rule) {
    auto a = self();
    auto out = std::make_shared<Kind>(std::move(value), Operands(a, other), label);
    attach_backward(out, [a = std::move(a), b = other, rule = std::move(rule)](Kind& o) { rule(*a, *b, o); });
    return out;
  }

  Ptr self() { return std::static_pointer_cast<Kind>(shared_from_this()); }
};

}  // namespace tarnwick
