// The one-value node: `digit` is fixed by the operation that made it, `gradient` starts at 0.0 and
// only the backward rules of its consumers add to it. Values follow IEEE arithmetic with no domain
// checks (log of 0 is -inf, division by 0 an infinity); the grouping of every backward product is
// part of the result.
#pragma once

#include <memory>
#include <string>

#include "autodiff/element.hpp"

namespace tarnwick {

class Scalar : public NodeOf<Scalar> {
 public:
  static constexpr const char* kind_name = "Scalar";
  explicit Scalar(double digit, Operands children = {}, std::string operation = "");

  // Element's unary operations; the result is a node of this class.
  ElementPtr neg() override;
  ElementPtr relu() override;
  ElementPtr sigmoid() override;
  ElementPtr tanh_op() override;
  ElementPtr exp_op() override;
  ElementPtr log_op() override;

  std::shared_ptr<Scalar> add(const std::shared_ptr<Scalar>& other);
  std::shared_ptr<Scalar> mul(const std::shared_ptr<Scalar>& other);
  std::shared_ptr<Scalar> sub(const std::shared_ptr<Scalar>& other);
  std::shared_ptr<Scalar> truediv(const std::shared_ptr<Scalar>& other);
  std::shared_ptr<Scalar> pow_op(const std::shared_ptr<Scalar>& exponent);

  // The constant becomes a new leaf on the left: radd(v) is v + digit, rdiv(v) is v / digit.
  std::shared_ptr<Scalar> radd(double v);
  std::shared_ptr<Scalar> rmul(double v);
  std::shared_ptr<Scalar> rsub(double v);
  std::shared_ptr<Scalar> rdiv(double v);

  double digit;
  double gradient = 0.0;
};

}  // namespace tarnwick
