"""The node graph: topo_sort's exact order, backprop's plain run of the rules, node identity, deep graphs."""

import os
import random
import subprocess
import sys
import textwrap

import pytest

import _cpp

S = _cpp.Scalar


def higher_address(u, v):
    """The one of two nodes (neither reachable from the other) that the sort takes first when both
    become ready at once: the node with the higher address."""
    return (u + v).topo_sort()[1]


def reference_order(root, children):
    """The depth-first Kahn order over address-ordered nodes, written out in Python.

    children maps id(node) to the node's distinct operands; addresses are compared through
    higher_address, which is only asked about siblings that can become ready together.
    """
    reachable, todo = {id(root): root}, [root]
    while todo:
        for c in children[id(todo.pop())]:
            if id(c) not in reachable:
                reachable[id(c)] = c
                todo.append(c)
    indegree = {k: 0 for k in reachable}
    for node in reachable.values():
        for c in children[id(node)]:
            indegree[id(c)] += 1
    order, stack = [], [root]
    while stack:
        node = stack.pop()
        order.append(node)
        kids = list(children[id(node)])
        if len(kids) == 2 and higher_address(*kids) is kids[0]:
            kids.reverse()  # ascending address
        for c in kids:
            indegree[id(c)] -= 1
            if indegree[id(c)] == 0:
                stack.append(c)
    return order


def random_graph(rng, n_leaves, n_ops):
    """A random expression DAG with shared sub-expressions and repeated operands (x * x)."""
    nodes = [S(rng.uniform(0.5, 2.0)) for _ in range(n_leaves)]
    children = {id(x): [] for x in nodes}
    for _ in range(n_ops):
        if rng.random() < 0.3:
            a = rng.choice(nodes)
            out, kids = a.tanh_op(), [a]
        else:
            a, b = rng.choice(nodes), rng.choice(nodes + nodes[-3:])
            out = rng.choice([S.__add__, S.__mul__, S.__sub__])(a, b)
            kids = [a] if a is b else [a, b]
        nodes.append(out)
        children[id(out)] = kids
    return nodes, children


class TestTopoSort:
    def test_a_leaf_alone(self):
        x = S(3.0)
        assert x.topo_sort() == [x] and x.topo_sort()[0] is x
        x.backprop(x.topo_sort())
        assert (x.digit, x.gradient, x.operation) == (3.0, 0.0, "")

    def test_square_holds_its_operand_once(self):
        x = S(2.0)
        y = x * x
        order = y.topo_sort()
        assert len(order) == 2 and order[0] is y and order[1] is x

    def test_diamond(self):
        x = S(3.0)
        a, b = 1.0 + x, 2.0 * x
        y = a * b
        order = y.topo_sort()
        pos = {id(n): i for i, n in enumerate(order)}
        assert order[0] is y and len(order) == 6
        assert pos[id(x)] > max(pos[id(a)], pos[id(b)])

    def test_returns_the_callers_own_objects(self):
        x, w = S(1.0), S(2.0)
        order = (x * w + x).topo_sort()
        assert sum(n is x for n in order) == 1 and sum(n is w for n in order) == 1
        assert all(type(n) is S for n in order)

    def test_matrix_nodes_come_back_as_matrix(self):
        A = _cpp.Matrix([[1.0, 2.0]])
        order = A.transpose_op().sum_cols().topo_sort()
        assert [n.operation for n in order] == ["sum_cols", "transpose", ""] and order[2] is A
        assert all(type(n) is _cpp.Matrix for n in order)

    @pytest.mark.parametrize("seed", range(12))
    def test_random_graphs_follow_the_depth_first_kahn_order(self, seed):
        rng = random.Random(seed)
        nodes, children = random_graph(rng, rng.randint(1, 5), rng.randint(1, 40))
        root = nodes[-1]
        assert [id(n) for n in root.topo_sort()] == [id(n) for n in reference_order(root, children)]

    def test_freshly_readied_nodes_go_before_older_ready_ones(self):
        # p's operands u and v are ready together; the higher one is taken first and its own
        # operand follows it at once, before the lower sibling.
        a, b = S(1.0), S(2.0)
        u, v = -a, -b
        order = (u + v).topo_sort()
        first, first_leaf, second, second_leaf = (u, a, v, b) if higher_address(u, v) is u else (v, b, u, a)
        assert [id(n) for n in order[1:]] == [id(first), id(first_leaf), id(second), id(second_leaf)]


class TestBackprop:
    @pytest.mark.parametrize("square, after_one, after_two", [
        (lambda x: x * x, 4.0, 8.0),                          # the leaf accumulates
        (lambda x: (lambda a: a * a)(1.0 + x), 6.0, 18.0),    # a second run pushes a's grown gradient again
    ], ids=["leaf", "interior"])
    def test_seeds_nothing_and_accumulates(self, square, after_one, after_two):
        x = S(2.0)
        y = square(x)
        y.backprop(y.topo_sort())
        assert x.gradient == 0.0
        y.gradient = 1.0
        for expected in (after_one, after_two):
            y.backprop(y.topo_sort())
            assert x.gradient == expected

    def test_runs_the_given_order_as_it_is(self):
        x = S(3.0)
        y = -x
        y.gradient = 1.0
        x.backprop([])
        assert x.gradient == 0.0
        x.backprop([y, y, x])  # self plays no part; a node listed twice runs twice
        assert x.gradient == -2.0
        y.backprop([x, y])
        assert x.gradient == -3.0

    def test_order_with_a_non_node_is_refused_before_any_rule_runs(self):
        x = S(3.0)
        y = -x
        y.gradient = 1.0
        with pytest.raises(ValueError, match=r"^backprop: entry 1 of the order is None"):
            y.backprop([y, None])
        assert x.gradient == 0.0
        with pytest.raises(TypeError):
            y.backprop([y, 1.0])
        with pytest.raises(TypeError):
            y.backprop(order=[y])

    def test_a_leaf_keeps_its_gradient_after_the_graph_is_gone(self):
        x = S(2.0)
        y = x * x
        y.gradient = 1.0
        y.backprop(y.topo_sort())
        del y
        assert x.gradient == 4.0


def test_element_has_no_constructor():
    with pytest.raises(TypeError):
        _cpp.Element()
    assert issubclass(S, _cpp.Element) and issubclass(_cpp.Matrix, _cpp.Element)


DEEP = textwrap.dedent(
    """
    import _cpp
    n = 1_000_000
    x = _cpp.Scalar(1.0)
    y = x
    for _ in range(n):
        y = y + x
    order = y.topo_sort()
    assert len(order) == n + 1 and order[0] is y and order[-1] is x
    y.gradient = 1.0
    y.backprop(order)
    assert x.gradient == n + 1.0, x.gradient
    del order, y
    m = _cpp.Matrix([[1.0]])
    z = m
    for _ in range(200_000):
        z = -z
    order = z.topo_sort()
    assert len(order) == 200_001 and order[-1] is m
    del order, z
    print("ok")
    """
)


def test_deep_chains_sort_backprop_and_free_without_recursion():
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
    done = subprocess.run([sys.executable, "-c", DEEP], capture_output=True, text=True, env=env, timeout=900)
    assert done.returncode == 0, done.stderr[-2000:]
    assert done.stdout.strip() == "ok"
