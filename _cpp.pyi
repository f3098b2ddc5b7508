"""
tarnwick C++ backend
"""
from __future__ import annotations
import collections.abc
import os
import typing
import typing_extensions
__all__: list[str] = ['ActivationFunction', 'Adam', 'BernoulliNaiveBayes', 'Element', 'FunctionType', 'GDA', 'GaussianNaiveBayes', 'KDTree', 'KNN', 'LU_decomposition', 'LinearRegression', 'LogisticRegression', 'Matrix', 'MultinomialNaiveBayes', 'Network', 'RELU', 'ReLU', 'ReLU_derivative', 'SGD', 'SIGMOID', 'Scalar', 'Sigmoid', 'TANH', 'Tanh', 'calculate_determinant', 'calculate_vector', 'cosine', 'element_wise_division_two_matrices', 'element_wise_multiplication', 'element_wise_roots', 'euclidean', 'manhattan', 'manual_seed', 'matrix_addition_and_sub', 'matrix_inverse', 'matrix_product_from_vector_and_transpose', 'matrix_product_with_matrix_and_vector', 'matrix_with_matrix_multiplication', 'regularize', 'scalar_multiply_matrix', 'scalar_product_from_transpose_and_vector', 'sum_across_column', 'transpose_matrix']
class Element:
    """
    A node of the reverse-mode autodiff graph: the base of Scalar and Matrix.
    
    Python cannot create an Element directly; every node is a Scalar or a Matrix. A node holds its
    operands, the label of the operation that made it and a backward rule that adds its gradient into
    theirs. Gradients start at zero and only accumulate.
    """
    def __reduce__(self) -> typing.Any:
        """
        Raises TypeError: autodiff nodes are not pickled.
        """
    @property
    def operation(self) -> str:
        """
        str: the label of the operation that made this node ('add', 'mul', 'tanh', ...); '' for a leaf.
        """
class Scalar(Element):
    """
    A one-value autodiff node.
    
    Build leaves with Scalar(digit), combine them with + - * / (both operands Scalars; a float goes on
    the left: 2.0 * x) and the methods below, set the root's gradient (usually 1.0), then call
    root.backprop(root.topo_sort()). Values follow IEEE arithmetic: log of 0 is -inf, never an error.
    Scalars cannot be pickled.
    """
    def __add__(self, other: Scalar) -> Scalar:
        """
        self + other, a new node labelled 'add'. other must be a Scalar (TypeError otherwise).
        """
    def __init__(self, digit: typing.SupportsFloat | typing.SupportsIndex) -> None:
        """
        A leaf node holding digit (float), with gradient 0.0 and operation ''.
        """
    def __mul__(self, other: Scalar) -> Scalar:
        """
        self * other, a new node labelled 'mul'. other must be a Scalar (TypeError otherwise).
        """
    def __neg__(self) -> Scalar:
        """
        -self, a new node labelled 'neg'.
        """
    def __radd__(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> Scalar:
        """
        constant + self: the float constant becomes a new leaf on the left ('add').
        """
    def __repr__(self) -> str:
        """
        Scalar(digit=..., gradient=..., operation='...').
        """
    def __rmul__(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> Scalar:
        """
        constant * self: the float constant becomes a new leaf on the left ('mul').
        """
    def __rsub__(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> Scalar:
        """
        constant - self: the float constant becomes a new leaf on the left ('sub').
        """
    def __rtruediv__(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> Scalar:
        """
        constant / self: the float constant becomes a new leaf on the left ('div').
        """
    def __sub__(self, other: Scalar) -> Scalar:
        """
        self - other, a new node labelled 'sub'. other must be a Scalar (TypeError otherwise).
        """
    def __truediv__(self, other: Scalar) -> Scalar:
        """
        self / other, a new node labelled 'div'; dividing by 0.0 gives inf or nan. other must be a Scalar.
        """
    def backprop(self: Element, arg0: collections.abc.Sequence[Element]) -> None:
        """
        Runs the backward rule of every node of order, in list order.
        
        Nothing is seeded, reset or sorted: set the root's gradient first, pass root.topo_sort(), and
        assign zeros before reusing a graph (gradients accumulate).
        
        Args (positional only):
            order: list of nodes, usually self.topo_sort().
        
        Raises:
            ValueError: an entry of order is None.
        """
    def exp_op(self) -> Scalar:
        """
        exp(digit) as a new node labelled 'exp'.
        """
    def log_op(self) -> Scalar:
        """
        log(digit) as a new node labelled 'log' (-inf at 0.0, nan below).
        """
    def pow_op(self, other: Scalar) -> Scalar:
        """
        digit ** other.digit as a new node labelled 'pow'; other (a Scalar) gets the gradient d/d(exponent) too.
        """
    def relu(self) -> Scalar:
        """
        max(digit, 0.0) as a new node labelled 'relu' (nan and -0.0 give 0.0); derivative 1 above 0, else 0.
        """
    def sigmoid(self) -> Scalar:
        """
        1 / (exp(-digit) + 1) as a new node labelled 'sigmoid'.
        """
    def tanh_op(self) -> Scalar:
        """
        tanh(digit) as a new node labelled 'tanh'.
        """
    def topo_sort(self: Element) -> list[Element]:
        """
        Every node reachable from this one, each once, root first.
        
        Every node comes after all the nodes that consume it, so the list is the order for backprop.
        Iterative: graphs of any depth are safe.
        
        Returns:
            list of Scalar nodes (the same Python objects where Python already holds them).
        """
    @property
    def digit(self) -> float:
        """
        float: the node's value.
        """
    @digit.setter
    def digit(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
    @property
    def gradient(self) -> float:
        """
        float: d(root)/d(this node), accumulated by backprop; 0.0 until then. Set the root's to 1.0 first.
        """
    @gradient.setter
    def gradient(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
class Matrix(Element):
    """
    A matrix autodiff node: a list of rows and a gradient of the same shape.
    
    Combine nodes with + - (element-wise), * (the matrix product), / (element-wise quotient) and the
    methods below; both operands must be Matrix nodes (a float raises TypeError: scale with
    scalar_multiply). Shapes outside an operation's contract (empty, ragged, mismatched) raise
    ValueError naming the helper and the shapes. Matrices cannot be pickled.
    """
    def __add__(self, other: Matrix) -> Matrix:
        """
        self + other element-wise, a new node labelled 'add'. Raises ValueError unless the shapes match.
        """
    def __init__(self, matrix: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> None:
        """
        A leaf node holding a copy of matrix ((rows, cols) list of rows), with a zero gradient and operation ''.
        """
    def __mul__(self, other: Matrix) -> Matrix:
        """
        The matrix product self @ other ((m, k) by (k, p)), a new node labelled 'mul'. Raises ValueError on shapes.
        """
    def __neg__(self) -> Matrix:
        """
        -self, a new node labelled 'neg'.
        """
    def __repr__(self) -> str:
        """
        Matrix(shape=ROWSxCOLS, operation='...'); the values are in .matrix.
        """
    def __sub__(self, other: Matrix) -> Matrix:
        """
        self - other element-wise, a new node labelled 'sub'. Raises ValueError unless the shapes match.
        """
    def __truediv__(self, other: Matrix) -> Matrix:
        """
        self / other element-wise, a new node labelled 'elt_div' (0 divisors give inf or nan). ValueError on shapes.
        """
    def backprop(self: Element, arg0: collections.abc.Sequence[Element]) -> None:
        """
        Runs the backward rule of every node of order, in list order.
        
        Nothing is seeded, reset or sorted: set the root's gradient first, pass root.topo_sort(), and
        assign zeros before reusing a graph (gradients accumulate).
        
        Args (positional only):
            order: list of nodes, usually self.topo_sort().
        
        Raises:
            ValueError: an entry of order is None, or a value was reassigned to a shape its rule cannot use.
        """
    def element_wise_mult(self, other: Matrix) -> Matrix:
        """
        The element-wise (Hadamard) product with other, a new node labelled 'elt_mul'. ValueError on shapes.
        """
    def exp_op(self) -> Matrix:
        """
        exp of every entry, a new node labelled 'exp'.
        """
    def log_op(self) -> Matrix:
        """
        log of every entry, a new node labelled 'log' (-inf at 0.0, nan below).
        """
    def relu(self) -> Matrix:
        """
        max(x, 0.0) of every entry, a new node labelled 'relu'.
        """
    def scalar_multiply(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> Matrix:
        """
        c * self for a float c (positional), a new node labelled 'scalar_mul'.
        """
    def sigmoid(self) -> Matrix:
        """
        1 / (exp(-x) + 1) of every entry, a new node labelled 'sigmoid'.
        """
    def sum_cols(self) -> Matrix:
        """
        One column holding the sum of each row ((rows, 1)), a new node labelled 'sum_cols'.
        """
    def tanh_op(self) -> Matrix:
        """
        tanh of every entry, a new node labelled 'tanh'.
        """
    def topo_sort(self: Element) -> list[Element]:
        """
        Every node reachable from this one, each once, root first.
        
        Every node comes after all the nodes that consume it, so the list is the order for backprop.
        Iterative: graphs of any depth are safe.
        
        Returns:
            list of Matrix nodes (the same Python objects where Python already holds them).
        """
    def transpose_op(self) -> Matrix:
        """
        The transpose, a new node labelled 'transpose'.
        """
    @property
    def gradient(self) -> list[list[float]]:
        """
        list[list[float]]: d(root)/d(this node), the value's shape, zeros at creation; set the root's (for example to ones) before backprop.
        """
    @gradient.setter
    def gradient(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> None:
        ...
    @property
    def matrix(self) -> list[list[float]]:
        """
        list[list[float]]: the node's value (a copy on every read; assigning replaces it).
        """
    @matrix.setter
    def matrix(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> None:
        ...
class ActivationFunction:
    """
    An activation: one float to one float, with its derivative.
    
    Subclass it in Python to give a Network your own activation: call ActivationFunction.__init__(self)
    from your __init__ and define forward(self, x) and derivative(self, x) (a missing one raises
    RuntimeError "Tried to call pure virtual function ..." when the network needs it). The built-ins
    are ReLU, Sigmoid and Tanh. Instances pickle as their class called without arguments, plus their
    __dict__.
    """
    def __init__(self) -> None:
        """
        The base for a Python subclass; forward and derivative come from the subclass.
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as the class called without arguments, then the instance's __dict__.
        """
    def __repr__(self) -> str:
        """
        The class name and (), for example ReLU().
        """
    def derivative(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> float:
        """
        The activation's derivative at x (a float, positional).
        """
    def forward(self, arg0: typing.SupportsFloat | typing.SupportsIndex) -> float:
        """
        The activation's value at x (a float, positional).
        """
class ReLU(ActivationFunction):
    """
    max(x, 0.0); derivative 1.0 above 0.0, else 0.0 (nan gives 0.0).
    """
    def __init__(self) -> None:
        """
        The rectified linear unit.
        """
class Sigmoid(ActivationFunction):
    """
    1 / (exp(-x) + 1); derivative s * (1 - s).
    """
    def __init__(self) -> None:
        """
        The logistic sigmoid.
        """
class Tanh(ActivationFunction):
    """
    tanh(x); derivative 1 - tanh(x) ** 2.
    """
    def __init__(self) -> None:
        """
        The hyperbolic tangent.
        """
class FunctionType:
    """
    The built-in activation a Network uses when it is given none: RELU (0), SIGMOID (1), TANH (2).
    
    Members:
    
      RELU : ReLU, the Network default.
    
      SIGMOID : Sigmoid.
    
      TANH : Tanh.
    """
    RELU: typing.ClassVar[FunctionType]
    SIGMOID: typing.ClassVar[FunctionType]
    TANH: typing.ClassVar[FunctionType]
    __members__: typing.ClassVar[dict[str, FunctionType]]
    @typing.overload
    def __eq__(self, other: FunctionType) -> bool:
        ...
    @typing.overload
    def __eq__(self, other: typing.Any) -> bool:
        ...
    def __getstate__(self) -> int:
        ...
    def __hash__(self) -> int:
        ...
    def __index__(self) -> int:
        ...
    def __init__(self, value: typing.SupportsIndex) -> None:
        ...
    def __int__(self) -> int:
        ...
    @typing.overload
    def __ne__(self, other: FunctionType) -> bool:
        ...
    @typing.overload
    def __ne__(self, other: typing.Any) -> bool:
        ...
    def __reduce__(self) -> tuple:
        """
        Pickles as a new instance of the class given the state __getstate__ returns.
        """
    def __repr__(self) -> str:
        ...
    def __setstate__(self, state: typing.SupportsIndex) -> None:
        ...
    def __str__(self) -> str:
        ...
    @property
    def name(self) -> str:
        ...
    @property
    def value(self) -> int:
        ...
class Adam:
    """
    The Adam optimizer (beta1 0.9, beta2 0.999, epsilon 1e-08), for a Network.
    
    It keeps moment estimates for each network's parameters apart; they are not pickled or saved: a
    restored network resumes training as with a fresh Adam.
    """
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: typing.Any) -> bool:
        """
        True when other is an optimizer of this class with the same learning rate.
        """
    def __getstate__(self) -> tuple[float]:
        ...
    def __init__(self, learning_rate: typing.SupportsFloat | typing.SupportsIndex = 0.001) -> None:
        """
        An optimizer with that learning rate (float).
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as a new instance of the class given the state __getstate__ returns.
        """
    def __repr__(self) -> str:
        """
        The class and its learning rate, for example Adam(learning_rate=0.001).
        """
    def __setstate__(self, arg0: tuple[typing.SupportsFloat | typing.SupportsIndex]) -> None:
        ...
    @property
    def learning_rate(self) -> float:
        """
        float: the step size; load_hyperparams of a network using this optimizer replaces it.
        """
    @learning_rate.setter
    def learning_rate(self, arg1: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
class SGD:
    """
    Plain gradient descent, w := w - gradient * learning_rate, for a Network.
    """
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: typing.Any) -> bool:
        """
        True when other is an optimizer of this class with the same learning rate.
        """
    def __getstate__(self) -> tuple[float]:
        ...
    def __init__(self, learning_rate: typing.SupportsFloat | typing.SupportsIndex = 0.01) -> None:
        """
        An optimizer with that learning rate (float).
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as a new instance of the class given the state __getstate__ returns.
        """
    def __repr__(self) -> str:
        """
        The class and its learning rate, for example Adam(learning_rate=0.001).
        """
    def __setstate__(self, arg0: tuple[typing.SupportsFloat | typing.SupportsIndex]) -> None:
        ...
    @property
    def learning_rate(self) -> float:
        """
        float: the step size; load_hyperparams of a network using this optimizer replaces it.
        """
    @learning_rate.setter
    def learning_rate(self, arg1: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
class Network:
    """
    A feed-forward classifier network: softmax output, cross-entropy loss, mini-batch training.
    
    Sample-per-column throughout: inputs are (n_features, n_samples) and labels (n_classes, n_samples)
    with one one-hot column per sample. A network pickles (and so deep-copies) as its constructor
    arguments and its two files: weights, dropout rate and learning rate come back, Adam's moment
    estimates do not. Two networks are equal when they would write the same two files.
    """
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __setstate__(self, arg0: tuple[str, str]) -> None:
        """
        load_pickled_files(self: _cpp.Network, arg0: tuple[str, str]) -> None
        
        Loads the weights and hyper-parameter texts that __reduce__ pickled (all or nothing per file).
        """
    def __eq__(self, other: typing.Any) -> bool:
        """
        True when other is a network that would write the same weights and hyper-parameter files.
        """
    @typing.overload
    def __init__(self, layer_num: typing.SupportsIndex, neurons_in_layers: collections.abc.Sequence[typing.SupportsIndex], initial_input: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, optimizer: Adam | None, dropout_rate: typing.SupportsFloat | typing.SupportsIndex = 0.0, function_type: FunctionType = FunctionType.RELU, activation: ActivationFunction | None = None, weights_dir: str | os.PathLike[str] = '') -> None:
        """
        A network of layer_num fully-connected layers trained on the columns of initial_input.
        
        Matrices are sample-per-column: initial_input is (n_features, n_samples), one column per sample;
        the first layer takes n_features inputs. Hidden layers use the activation (or the built-in one of
        function_type) and inverted dropout; the last layer is a softmax over its neurons (the classes).
        Weights are He-initialised from a random source: runs differ unless manual_seed set its seed.
        
        Args:
            layer_num: int, the number of layers, 1 .. len(neurons_in_layers).
            neurons_in_layers: list of int, the neurons of each layer (the last is the class count); each >= 1.
            initial_input: (n_features, n_samples) list of rows, the training inputs train_loop uses.
            optimizer: Adam | None, SGD or None (None: the network can evaluate, predict and persist, not train).
                Kept alive as long as the network; the network changes it only through training and loads.
            dropout_rate: float, the fraction of hidden activations dropped while training (0.0: none).
            function_type: FunctionType, the built-in activation when activation is None (RELU by default).
            activation: an ActivationFunction (a built-in or a Python subclass) shared by every layer, or None.
            weights_dir: str, the path save_weights and load_weights use when given "".
        
        Raises:
            ValueError: layer_num outside 1 .. len(neurons_in_layers), a neuron count below 1, or an empty
                or ragged initial_input.
        """
    @typing.overload
    def __init__(self, layer_num: typing.SupportsIndex, neurons_in_layers: collections.abc.Sequence[typing.SupportsIndex], initial_input: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, optimizer: SGD | None, dropout_rate: typing.SupportsFloat | typing.SupportsIndex = 0.0, function_type: FunctionType = FunctionType.RELU, activation: ActivationFunction | None = None, weights_dir: str | os.PathLike[str] = '') -> None:
        """
        A network of layer_num fully-connected layers trained on the columns of initial_input.
        
        Matrices are sample-per-column: initial_input is (n_features, n_samples), one column per sample;
        the first layer takes n_features inputs. Hidden layers use the activation (or the built-in one of
        function_type) and inverted dropout; the last layer is a softmax over its neurons (the classes).
        Weights are He-initialised from a random source: runs differ unless manual_seed set its seed.
        
        Args:
            layer_num: int, the number of layers, 1 .. len(neurons_in_layers).
            neurons_in_layers: list of int, the neurons of each layer (the last is the class count); each >= 1.
            initial_input: (n_features, n_samples) list of rows, the training inputs train_loop uses.
            optimizer: Adam | None, SGD or None (None: the network can evaluate, predict and persist, not train).
                Kept alive as long as the network; the network changes it only through training and loads.
            dropout_rate: float, the fraction of hidden activations dropped while training (0.0: none).
            function_type: FunctionType, the built-in activation when activation is None (RELU by default).
            activation: an ActivationFunction (a built-in or a Python subclass) shared by every layer, or None.
            weights_dir: str, the path save_weights and load_weights use when given "".
        
        Raises:
            ValueError: layer_num outside 1 .. len(neurons_in_layers), a neuron count below 1, or an empty
                or ragged initial_input.
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as the constructor arguments and the texts of the two files.
        """
    def __repr__(self) -> str:
        """
        The network's shape, training data size, optimizer, dropout rate and activation.
        """
    def accuracy(self, x_test: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, y_test: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> float:
        """
        Percentage of columns whose most probable class is y_test's (one forward pass, no dropout).
        
        Ties go to the lowest class index, in the prediction and in y_test.
        
        Args:
            x_test: (n_features, n_samples) inputs, one column per sample.
            y_test: (n_classes, n_samples) one-hot labels.
        
        Returns:
            float in [0, 100].
        
        Raises:
            ValueError: x_test's row count is not the first layer's input size, x_test has no columns, or
                y_test lacks rows or columns.
        """
    def load_hyperparams(self, path: str | os.PathLike[str] = 'hyperparams.json') -> None:
        """
        Restores the dropout rate and, when both have one, the optimizer's learning rate.
        
        The layer sizes in the file are not read: the network keeps its shape. All or nothing.
        
        Raises:
            IndexError: the file cannot be opened (or a number is out of range).
            ValueError: the dropout rate is missing or a value is malformed.
        """
    def load_weights(self, path: str | os.PathLike[str] = 'weights.json') -> None:
        """
        Replaces every layer's weights and bias with those of a save_weights file.
        
        All or nothing: each matrix is checked against its layer's shape before anything changes.
        
        Raises:
            IndexError: the file cannot be opened (or a number is out of range).
            ValueError: a key is missing, a value is malformed or a matrix has the wrong shape.
        """
    def predict(self, x_test: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> list[int]:
        """
        The most probable class of every column (one forward pass, no dropout).
        
        Args:
            x_test: (n_features, n_samples) inputs, one column per sample.
        
        Returns:
            list of int class indices, one per column (the lowest index on ties).
        
        Raises:
            ValueError: x_test is empty, ragged, or its row count is not the first layer's input size.
        """
    def save_hyperparams(self, path: str | os.PathLike[str] = 'hyperparams.json') -> None:
        """
        Writes the layer sizes, dropout rate and (with an optimizer) its learning rate and kind to path.
        
        Format: {"layer_num":2,"neurons_in_layers":[16,3],"dropout_rate":0,"learning_rate":0.001,"optimizer":"Adam"}.
        
        Raises:
            OSError: the file cannot be written (the old file is left as it was).
        """
    def save_weights(self, path: str | os.PathLike[str] = 'weights.json') -> None:
        """
        Writes every layer's weights and bias to path (weights_dir, then "weights.json", when path is "").
        
        Format: [{"parameters":[[...],...],"bias":[[...],...]},...], one object per layer.
        
        Raises:
            OSError: the file cannot be written (the old file is left as it was).
        """
    def train_epochs_quiet(self, epochs: typing.SupportsIndex, train_labels: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, batch_size: typing.SupportsIndex) -> list[float]:
        """
        Trains exactly as train_loop does, printing nothing, and returns every batch's loss.
        
        The same shuffles, dropout masks, arithmetic and updates as train_loop with the same arguments, so
        the weights end bit for bit alike; the losses are the values train_loop would print (in full
        precision), epoch by epoch and batch by batch.
        
        Args:
            epochs: int; 0 or less trains nothing.
            train_labels: (n_classes, n_samples) one-hot columns aligned with initial_input's columns.
            batch_size: int, at least 1.
        
        Returns:
            list of float, epochs * (n_samples // batch_size) mean cross-entropy losses in training order.
        
        Raises:
            ValueError: no optimizer, batch_size below 1, or train_labels not one row per class and a
                column per sample; nothing changes.
            RuntimeError: a Python activation called back into this network.
        """
    def train_loop(self, epochs: typing.SupportsIndex, train_labels: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, batch_size: typing.SupportsIndex) -> None:
        """
        Trains for epochs shuffled passes over the columns of initial_input, in full batches.
        
        Each batch runs forward (with dropout), prints "Epoch e, Batch b, Loss: x" to the process's
        standard output (file descriptor 1, not sys.stdout), back-propagates and lets the optimizer update
        the weights. The last len % batch_size shuffled columns of an epoch are skipped. Training continues
        from the current weights on every call. Ctrl-C stops it between batches with KeyboardInterrupt,
        leaving the network as after its last whole batch. Other Python threads run meanwhile (a Python
        activation takes the interpreter lock for each call); calls on one network from several threads
        run one after the other.
        
        Args:
            epochs: int; 0 or less trains nothing.
            train_labels: (n_classes, n_samples) one-hot columns aligned with initial_input's columns.
            batch_size: int, at least 1.
        
        Raises:
            ValueError: no optimizer, batch_size below 1, or train_labels not one row per class and a
                column per sample; nothing changes.
            RuntimeError: a Python activation called back into this network.
        """
    @property
    def dropout_rate(self) -> float:
        """
        float: the fraction of hidden activations dropped while training; safe to change between runs.
        """
    @dropout_rate.setter
    def dropout_rate(self, arg1: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
class GDA:
    """
    Two-class Gaussian discriminant analysis over rows of features.
    
    X is (n_samples, n_features), one row per sample, with one str label per row. fit estimates the
    prior phi of the positive class, a mean per class and one pooled covariance; a query goes to the
    class of larger log prior plus log normal density (an exact tie, or nan scores, as described in
    predict_one). The covariance is inverted by LU without pivoting after adding 1e-6 to its diagonal:
    a singular one gives inf and nan, never an error. Pickles as its file text; equal models write the
    same file.
    """
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: typing.Any) -> bool:
        """
        True when other is a model of this class that would write the same file (a label holding '"' raises ValueError, as in save).
        """
    def __getstate__(self) -> tuple[str]:
        ...
    def __init__(self, positive_class: str = '') -> None:
        """
        A model whose positive class is positive_class (str); '' lets fit take the smallest label.
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as a new instance of the class given the state __getstate__ returns.
        """
    def __repr__(self) -> str:
        """
        The class labels and dimension (0: not fitted).
        """
    def __setstate__(self, arg0: tuple[str]) -> None:
        ...
    def accuracy(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[str]) -> float:
        """
        Percentage of rows predicted as labelled.
        
        Args (positional only):
            X: (n_queries, dimension) list of rows.
            y: list of str labels, at least one per row; the count divides (empty gives nan).
        
        Returns:
            float in [0, 100] (nan for no labels).
        
        Raises:
            ValueError: fewer labels than rows, or a row's length is not dimension, or the fields disagree with dimension.
        """
    def fit(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[str]) -> None:
        """
        Estimates phi, mu_zero, mu_one, covariance and dimension from the training rows.
        
        Sets positive_class only when it is '' (to the smallest label); negative_class becomes the largest
        other label. A class without rows leaves nan means.
        
        Args (positional only):
            X: (n_samples, n_features) rectangular list of rows, at least one.
            y: list of str labels, at least one per row.
        
        Raises:
            ValueError: X is empty or ragged, or y has fewer labels than X has rows.
        """
    def load(self, path: str | os.PathLike[str] = 'gda.json') -> None:
        """
        Replaces every field with those of a save file (all or nothing).
        
        Raises:
            IndexError: the file cannot be opened (or a number is out of range).
            ValueError: a key is missing or a value is malformed.
        """
    def predict(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> list[str]:
        """
        The label of every row, as predict_one.
        
        Args (positional only):
            X: (n_queries, dimension) list of rows.
        
        Returns:
            list of str, one per row.
        
        Raises:
            ValueError: a row's length is not dimension, or the fields disagree with dimension.
        """
    def predict_one(self, arg0: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> str:
        """
        The label of one query row.
        
        positive_class when its score is at least the negative class's (so exact ties go positive);
        a nan score selects negative_class.
        
        Args (positional only):
            x: list of exactly dimension floats.
        
        Returns:
            str: positive_class or negative_class.
        
        Raises:
            ValueError: len(x) is not dimension, or the fields disagree with dimension.
        """
    def save(self, path: str | os.PathLike[str] = 'gda.json') -> None:
        """
        Writes the model to path as one line of text.
        
        Format: {"positive_class":"a","negative_class":"b","dimension":1,"phi":0.5,"mu_zero":[11],"mu_one":[1],"covariance":[[1]]}.
        
        Raises:
            ValueError: a label holds '"' (nothing is written).
            OSError: the file cannot be written (the old file is left as it was).
        """
    @property
    def covariance(self) -> list[list[float]]:
        """
        list[list[float]]: the pooled covariance, (dimension, dimension), divided by the row count.
        """
    @covariance.setter
    def covariance(self, arg1: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> None:
        ...
    @property
    def dimension(self) -> int:
        """
        int: the number of features (0 until fitted).
        """
    @dimension.setter
    def dimension(self, arg1: typing.SupportsIndex) -> None:
        ...
    @property
    def mu_one(self) -> list[float]:
        """
        list[float]: the mean of the positive class (dimension entries).
        """
    @mu_one.setter
    def mu_one(self, arg1: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> None:
        ...
    @property
    def mu_zero(self) -> list[float]:
        """
        list[float]: the mean of the negative class (dimension entries).
        """
    @mu_zero.setter
    def mu_zero(self, arg1: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> None:
        ...
    @property
    def negative_class(self) -> str:
        """
        str: the label of class zero.
        """
    @negative_class.setter
    def negative_class(self, arg1: str) -> None:
        ...
    @property
    def phi(self) -> float:
        """
        float: the fraction of training rows labelled positive_class.
        """
    @phi.setter
    def phi(self, arg1: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
    @property
    def positive_class(self) -> str:
        """
        str: the label of class one.
        """
    @positive_class.setter
    def positive_class(self, arg1: str) -> None:
        ...
class LinearRegression:
    """
    Straight-line fit y ~ theta0 + theta1 * x on one feature, by batch gradient descent.
    
    x and y are lists of floats, one entry per sample. Pickles as its file text; equal models write
    the same file.
    """
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: typing.Any) -> bool:
        """
        True when other is a model of this class that would write the same file (a label holding '"' raises ValueError, as in save).
        """
    def __getstate__(self) -> tuple[str]:
        ...
    def __init__(self) -> None:
        """
        A model with theta0 = theta1 = 0.0.
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as a new instance of the class given the state __getstate__ returns.
        """
    def __repr__(self) -> str:
        """
        The two parameters (both 0.0 until fitted).
        """
    def __setstate__(self, arg0: tuple[str]) -> None:
        ...
    def fit(self, x_train: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer, y_train: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer, learning_rate: typing.SupportsFloat | typing.SupportsIndex = 0.01, iterations: typing.SupportsIndex = 100) -> None:
        """
        Fits theta0 and theta1 by gradient descent on the squared error, from zero every time.
        
        Args:
            x_train: list of floats, one per sample.
            y_train: list of floats, at least one per x_train entry.
            learning_rate: float, the step size.
            iterations: int; below 1 leaves both parameters exactly 0.0.
        
        Raises:
            ValueError: y_train is shorter than x_train. An empty training set is not an error: it gives
                nan parameters.
        """
    def load(self, path: str | os.PathLike[str] = 'linear_regression.json') -> None:
        """
        Replaces theta0 and theta1 with those of a save file (all or nothing).
        
        Raises:
            IndexError: the file cannot be opened (or a number is out of range).
            ValueError: a key is missing or a value is malformed.
        """
    def mse(self, arg0: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer, arg1: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> float:
        """
        Mean squared error of the predictions for x against y.
        
        Args (positional only):
            x: list of floats.
            y: list of floats, at least one per x entry; its length divides (empty gives nan).
        
        Returns:
            float.
        
        Raises:
            ValueError: y is shorter than x.
        """
    def predict(self, arg0: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> list[float]:
        """
        theta0 + theta1 * x for every entry.
        
        Args (positional only):
            x: list of floats.
        
        Returns:
            list of floats, one per entry.
        """
    def save(self, path: str | os.PathLike[str] = 'linear_regression.json') -> None:
        """
        Writes the model to path as one line of text.
        
        Format: {"theta0":...,"theta1":...}.
        
        Raises:
            OSError: the file cannot be written (the old file is left as it was).
        """
    @property
    def theta0(self) -> float:
        """
        float: the intercept.
        """
    @theta0.setter
    def theta0(self, arg1: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
    @property
    def theta1(self) -> float:
        """
        float: the slope.
        """
    @theta1.setter
    def theta1(self, arg1: typing.SupportsFloat | typing.SupportsIndex) -> None:
        ...
class LogisticRegression:
    """
    Binary logistic regression over rows of features, by batch gradient ascent.
    
    X is (n_samples, n_features), one row per sample. One label is the positive class; every other
    label is negative and predicts as ''. thetas holds the intercept, then one weight per feature.
    Numeric trouble shows up as inf and nan, never as an error. Pickles as its file text; equal models
    write the same file.
    """
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: typing.Any) -> bool:
        """
        True when other is a model of this class that would write the same file (a label holding '"' raises ValueError, as in save).
        """
    def __getstate__(self) -> tuple[str]:
        ...
    def __init__(self, positive_class: str = '') -> None:
        """
        A model whose positive class is positive_class (str); '' lets fit take the smallest label.
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as a new instance of the class given the state __getstate__ returns.
        """
    def __repr__(self) -> str:
        """
        The positive class and the number of features (0: not fitted).
        """
    def __setstate__(self, arg0: tuple[str]) -> None:
        ...
    def accuracy(self, x_test: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, y_test: collections.abc.Sequence[str], threshold: typing.SupportsFloat | typing.SupportsIndex = 0.5) -> float:
        """
        Percentage of rows predicted as labelled (a label other than positive_class counts as '').
        
        Args:
            x_test: (n_queries, n_features) list of rows.
            y_test: list of str labels, at least one per row; the count divides (empty gives nan).
            threshold: float.
        
        Returns:
            float in [0, 100] (nan for no labels).
        
        Raises:
            ValueError: fewer labels than rows, or a row is longer than the weights.
        """
    def fit(self, x_train: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, y_train: collections.abc.Sequence[str], learning_rate: typing.SupportsFloat | typing.SupportsIndex = 0.001, iterations: typing.SupportsIndex = 1000) -> None:
        """
        Fits thetas by gradient ascent on the mean log-likelihood, from zero weights.
        
        Sets positive_class only when it is '' (to the smallest label), and keeps it through later fits.
        
        Args:
            x_train: (n_samples, n_features) rectangular list of rows, at least one.
            y_train: list of str labels, at least one per row.
            learning_rate: float, the step size.
            iterations: int; below 1 leaves n_features + 1 zeros.
        
        Raises:
            ValueError: x_train is empty or ragged, or y_train has fewer labels than rows.
        """
    def load(self, path: str | os.PathLike[str] = 'logistic_regression.json') -> None:
        """
        Replaces positive_class and thetas with those of a save file (all or nothing).
        
        Raises:
            IndexError: the file cannot be opened (or a number is out of range).
            ValueError: a key is missing or a value is malformed.
        """
    def predict(self, x_test: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, threshold: typing.SupportsFloat | typing.SupportsIndex = 0.5) -> list[str]:
        """
        positive_class where the probability is at least threshold, '' otherwise (also for nan).
        
        Args:
            x_test: (n_queries, n_features) list of rows.
            threshold: float.
        
        Returns:
            list of str, one per row.
        
        Raises:
            ValueError: a row is longer than the weights.
        """
    def predict_proba(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> list[float]:
        """
        The probability of the positive class for every row.
        
        Args (positional only):
            x: (n_queries, n_features) list of rows, none longer than len(thetas) - 1.
        
        Returns:
            list of floats, one per row.
        
        Raises:
            ValueError: a row is longer than the weights (an unfitted model has none).
        """
    def save(self, path: str | os.PathLike[str] = 'logistic_regression.json') -> None:
        """
        Writes the model to path as one line of text.
        
        Format: {"positive_class":"...","thetas":[...]}.
        
        Raises:
            ValueError: positive_class holds '"' (nothing is written).
            OSError: the file cannot be written (the old file is left as it was).
        """
    @property
    def positive_class(self) -> str:
        """
        str: the label predicted where the probability reaches the threshold.
        """
    @positive_class.setter
    def positive_class(self, arg1: str) -> None:
        ...
    @property
    def thetas(self) -> list[float]:
        """
        list[float]: the intercept, then one weight per feature; empty until fitted.
        """
    @thetas.setter
    def thetas(self, arg1: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> None:
        ...
class KNN:
    """
    Brute-force k-nearest-neighbour classifier.
    
    X is (n_samples, n_features), one row per sample, with one str label per row. A query is measured
    against every training point; the k nearest vote, equally near points keep the earlier training
    row and equal votes go to the smaller label. Pickles as its file text; equal models write the
    same file.
    """
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: typing.Any) -> bool:
        """
        True when other is a model of this class that would write the same file (a label holding '"' raises ValueError, as in save).
        """
    def __getstate__(self) -> tuple[str]:
        ...
    def __init__(self, k: typing.SupportsIndex = 5, metric: str = 'euclidean') -> None:
        """
        A model that votes among the k nearest training points.
        
        Args:
            k: int, at least 1.
            metric: str; "manhattan" or "cosine" exactly, Euclidean distance for any other text.
        
        Raises:
            ValueError: k is below 1.
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as a new instance of the class given the state __getstate__ returns.
        """
    def __repr__(self) -> str:
        """
        The settings and the number of training points (0: not fitted).
        """
    def __setstate__(self, arg0: tuple[str]) -> None:
        ...
    def accuracy(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[str]) -> float:
        """
        Percentage of rows predicted as labelled.
        
        Args (positional only):
            X: (n_queries, n_features) list of rows.
            y: list of str labels, at least one per row; the count divides (empty gives nan).
        
        Returns:
            float in [0, 100] (nan for no labels).
        
        Raises:
            ValueError: fewer labels than rows, or a row is shorter than a training point.
        """
    def fit(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[str]) -> None:
        """
        Keeps copies of the training points and labels (rows may differ in length).
        
        Args (positional only):
            X: (n_samples, n_features) list of rows.
            y: list of str labels, at least one per row.
        
        Raises:
            ValueError: y has fewer labels than X has rows.
        """
    def load(self, path: str | os.PathLike[str] = 'knn.json') -> None:
        """
        Replaces k, the metric and the training data with those of a save file (all or nothing).
        
        Raises:
            IndexError: the file cannot be opened (or a number is out of range).
            ValueError: a key is missing, a value is malformed, k is below 1 or labels are fewer than points.
        """
    def predict(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> list[str]:
        """
        The label of every row, as predict_one.
        
        Args (positional only):
            X: (n_queries, n_features) list of rows.
        
        Returns:
            list of str, one per row.
        
        Raises:
            ValueError: a row is shorter than a training point.
        """
    def predict_one(self, arg0: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> str:
        """
        The majority label among the k nearest training points.
        
        Args (positional only):
            x: list of floats, at least as long as every training point.
        
        Returns:
            str ('' for an unfitted model).
        
        Raises:
            ValueError: x is shorter than a training point.
        """
    def save(self, path: str | os.PathLike[str] = 'knn.json') -> None:
        """
        Writes the model to path as one line of text.
        
        Format: {"k":5,"metric":"euclidean","x_train":[[...],...],"y_train":["a",...]}.
        
        Raises:
            ValueError: the metric or a label holds '"' (nothing is written).
            OSError: the file cannot be written (the old file is left as it was).
        """
class KDTree:
    """
    Nearest-neighbour classifier over a k-d tree, Euclidean distance.
    
    X is (n_samples, n_features), one row per sample, with one str label per row. The tree splits at
    the lower median, the axis cycling through the first row's components. A search crosses a split
    only while its farthest candidate lies strictly beyond the plane, so with k above 1 fewer than k
    points may vote. Ties go to the smaller label. Pickles as its file text; equal models write the
    same file.
    """
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: typing.Any) -> bool:
        """
        True when other is a model of this class that would write the same file (a label holding '"' raises ValueError, as in save).
        """
    def __getstate__(self) -> tuple[str]:
        ...
    def __init__(self) -> None:
        """
        An empty model; fit or load it before predicting.
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as a new instance of the class given the state __getstate__ returns.
        """
    def __repr__(self) -> str:
        """
        The number of training points (0: not fitted) and their dimension.
        """
    def __setstate__(self, arg0: tuple[str]) -> None:
        ...
    def accuracy(self, x_test: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, y_test: collections.abc.Sequence[str], k: typing.SupportsIndex = 1) -> float:
        """
        Percentage of rows predicted as labelled.
        
        Args:
            x_test: (n_queries, n_features) list of rows.
            y_test: list of str labels, at least one per row; the count divides (empty gives nan).
            k: int, at least 1.
        
        Returns:
            float in [0, 100] (nan for no labels).
        
        Raises:
            ValueError: fewer labels than rows, k is below 1, or a row is shorter than a training point.
        """
    def fit(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[str]) -> None:
        """
        Keeps copies of the points and labels and builds the tree.
        
        Args (positional only):
            X: (n_samples, n_features) list of rows, at least one; every row at least as long as the first.
            y: list of str labels, at least one per row.
        
        Raises:
            ValueError: X is empty, a row is shorter than the first, y has fewer labels than rows, or two
                or more points have no component to split on.
        """
    def load(self, path: str | os.PathLike[str] = 'kdtree.json') -> None:
        """
        Replaces the training data with those of a save file (all or nothing).
        
        The tree is rebuilt; a file without points gives an untrained model.
        
        Raises:
            IndexError: the file cannot be opened (or a number is out of range).
            ValueError: a key is missing, a value is malformed, or the points are refused as by fit.
        """
    def predict(self, x_test: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, k: typing.SupportsIndex = 1) -> list[str]:
        """
        The label of every row, as predict_one.
        
        Args:
            x_test: (n_queries, n_features) list of rows.
            k: int, at least 1.
        
        Returns:
            list of str, one per row.
        
        Raises:
            ValueError: k is below 1, or a row is shorter than a training point.
        """
    def predict_one(self, query: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer, k: typing.SupportsIndex = 1) -> str:
        """
        The majority label among the (at most) k nearest points the search finds.
        
        Args:
            query: list of floats, at least as long as every training point.
            k: int, at least 1.
        
        Returns:
            str ('' for an unfitted model).
        
        Raises:
            ValueError: k is below 1 or the query is shorter than a training point.
        """
    def save(self, path: str | os.PathLike[str] = 'kdtree.json') -> None:
        """
        Writes the training data to path as one line of text.
        
        Format: {"x_train":[[...],...],"y_train":["a",...]}.
        
        Raises:
            ValueError: a label holds '"' (nothing is written).
            OSError: the file cannot be written (the old file is left as it was).
        """
class GaussianNaiveBayes:
    """
    Gaussian naive Bayes over rows of features.
    
    X is (n_samples, n_features), one row per sample, with one str label per row. Per class and feature
    a mean and a population variance (floored at 1e-10); a class scores its log prior plus the log
    densities (each floored at 1e-300), and ties go to the smaller label. A table entry that a query
    needs but the model lacks is added as 0, so predictions can change what save writes. Pickles as
    its file text; equal models write the same file.
    """
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: typing.Any) -> bool:
        """
        True when other is a model of this class that would write the same file (a label holding '"' raises ValueError, as in save).
        """
    def __getstate__(self) -> tuple[str]:
        ...
    def __init__(self) -> None:
        """
        An empty model; fit or load it before predicting.
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as a new instance of the class given the state __getstate__ returns.
        """
    def __repr__(self) -> str:
        """
        The number of classes and of training samples (0: not fitted).
        """
    def __setstate__(self, arg0: tuple[str]) -> None:
        ...
    def accuracy(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[str]) -> float:
        """
        Percentage of rows predicted as labelled.
        
        Args (positional only):
            X: (n_queries, n_features) list of rows.
            y: list of str labels, at least one per row; the count divides (empty gives nan).
        
        Returns:
            float in [0, 100] (nan for no labels).
        
        Raises:
            ValueError: fewer labels than rows.
        """
    def fit(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[str]) -> None:
        """
        Estimates the class counts, means and variances.
        
        Class numbers from earlier fits are kept, and so are the statistics of classes this fit lacks.
        
        Args (positional only):
            X: (n_samples, n_features) list of rows, at least one; every row at least as long as the first.
            y: list of str labels, at least one per row.
        
        Raises:
            ValueError: X is empty, a row is shorter than the first, or y has fewer labels than rows.
        """
    def load(self, path: str | os.PathLike[str] = 'gaussian_nb.json') -> None:
        """
        Replaces the model's tables with those of a save file (all or nothing).
        
        Raises:
            IndexError: the file cannot be opened (or a number is out of range).
            ValueError: a key is missing or a value is malformed.
        """
    def predict(self, arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> list[str]:
        """
        The label of every row, as predict_one.
        
        Args (positional only):
            X: (n_queries, n_features) list of rows.
        
        Returns:
            list of str, one per row.
        """
    def predict_one(self, arg0: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> str:
        """
        The label of highest score for one sample.
        
        Args (positional only):
            x: list of floats (the training rows' length; missing statistics count as 0).
        
        Returns:
            str ('' for an unfitted model).
        """
    def save(self, path: str | os.PathLike[str] = 'gaussian_nb.json') -> None:
        """
        Writes the model's tables to path as one line of text.
        
        Format: {"n":3,"class_ratio":{"a":2,"b":1},"class_numbering":{"a":0,"b":1},"mean":{"a|0":2,"b|0":2},"variance":{"a|0":1,"b|0":0}}.
        
        Raises:
            ValueError: a label holds '"' (nothing is written).
            OSError: the file cannot be written (the old file is left as it was).
        """
class BernoulliNaiveBayes:
    """
    Bernoulli naive Bayes over raw texts: a text is the set of vocabulary words it holds.
    
    phi(c, j) = (texts of class c holding word j + 1) / (texts of c + 2); every column scores, absent
    words included. Pickles as its file text; equal models write the same file.
    """
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: typing.Any) -> bool:
        """
        True when other is a model of this class that would write the same file (a label holding '"' raises ValueError, as in save).
        """
    def __getstate__(self) -> tuple[str]:
        ...
    def __init__(self, vocab_size: typing.SupportsIndex = 1000) -> None:
        """
        A model over the vocab_size most frequent training words (int, at least 0; checked by fit).
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as a new instance of the class given the state __getstate__ returns.
        """
    def __repr__(self) -> str:
        """
        The vocabulary size setting, then the words, classes and texts learnt (0: not fitted).
        """
    def __setstate__(self, arg0: tuple[str]) -> None:
        ...
    def accuracy(self, arg0: collections.abc.Sequence[str], arg1: collections.abc.Sequence[str]) -> float:
        """
        Percentage of texts predicted as labelled.
        
        Args (positional only):
            texts: list of str.
            labels: list of str labels, at least one per text; the count divides (empty gives nan).
        
        Returns:
            float in [0, 100] (nan for no labels).
        
        Raises:
            ValueError: fewer labels than texts.
        """
    def fit(self, arg0: collections.abc.Sequence[str], arg1: collections.abc.Sequence[str]) -> None:
        """
        Builds the vocabulary and the smoothed per-class word probabilities.
        
        Words are runs of the ASCII letters a-z, lower-cased. The vocabulary holds the vocab_size most
        frequent words (equal counts: the byte-wise smaller word first).
        
        Args (positional only):
            texts: list of str, one document each.
            labels: list of str labels, at least one per text.
        
        Raises:
            ValueError: fewer labels than texts, or a negative vocab_size; nothing changes.
        """
    def load(self, path: str | os.PathLike[str] = 'bernoulli_nb.json') -> None:
        """
        Replaces the model's fields with those of a save file (all or nothing).
        
        Raises:
            IndexError: the file cannot be opened (or a number is out of range).
            ValueError: a key is missing, a value is malformed, or a word's column lies outside vocab_size.
        """
    def predict(self, arg0: collections.abc.Sequence[str]) -> list[str]:
        """
        The label of every text, as predict_one.
        
        Args (positional only):
            texts: list of str.
        
        Returns:
            list of str, one per text.
        """
    def predict_one(self, arg0: str) -> str:
        """
        The class of highest score for one text (ties: the smaller label).
        
        Args (positional only):
            text: str.
        
        Returns:
            str ('' when there is no class or no score above -inf).
        """
    def save(self, path: str | os.PathLike[str] = 'bernoulli_nb.json') -> None:
        """
        Writes the model to path as one line of text.
        
        Format: {"vocab_size":V,"n":N,"vocab":{"word":column,...},"class_ratio":{"label":count,...},
        "phi":{"label|column":p,...}}, the vocabulary in column order; either text model loads it.
        
        Raises:
            ValueError: a label holds '"' (nothing is written).
            OSError: the file cannot be written (the old file is left as it was).
        """
class MultinomialNaiveBayes:
    """
    Multinomial naive Bayes over raw texts: a text is its word counts.
    
    phi(c, j) = (occurrences of word j in class c + 1) / (vocab_size + words of class c). Pickles as
    its file text; equal models write the same file.
    """
    __hash__: typing.ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: typing.Any) -> bool:
        """
        True when other is a model of this class that would write the same file (a label holding '"' raises ValueError, as in save).
        """
    def __getstate__(self) -> tuple[str]:
        ...
    def __init__(self, vocab_size: typing.SupportsIndex = 1000) -> None:
        """
        A model over the vocab_size most frequent training words (int, at least 0; checked by fit).
        """
    def __reduce__(self) -> tuple:
        """
        Pickles as a new instance of the class given the state __getstate__ returns.
        """
    def __repr__(self) -> str:
        """
        The vocabulary size setting, then the words, classes and texts learnt (0: not fitted).
        """
    def __setstate__(self, arg0: tuple[str]) -> None:
        ...
    def accuracy(self, arg0: collections.abc.Sequence[str], arg1: collections.abc.Sequence[str]) -> float:
        """
        Percentage of texts predicted as labelled.
        
        Args (positional only):
            texts: list of str.
            labels: list of str labels, at least one per text; the count divides (empty gives nan).
        
        Returns:
            float in [0, 100] (nan for no labels).
        
        Raises:
            ValueError: fewer labels than texts.
        """
    def fit(self, arg0: collections.abc.Sequence[str], arg1: collections.abc.Sequence[str]) -> None:
        """
        Builds the vocabulary and the smoothed per-class word probabilities.
        
        Words are runs of the ASCII letters a-z, lower-cased. The vocabulary holds the vocab_size most
        frequent words (equal counts: the byte-wise smaller word first).
        
        Args (positional only):
            texts: list of str, one document each.
            labels: list of str labels, at least one per text.
        
        Raises:
            ValueError: fewer labels than texts, or a negative vocab_size; nothing changes.
        """
    def load(self, path: str | os.PathLike[str] = 'multinomial_nb.json') -> None:
        """
        Replaces the model's fields with those of a save file (all or nothing).
        
        Raises:
            IndexError: the file cannot be opened (or a number is out of range).
            ValueError: a key is missing, a value is malformed, or a word's column lies outside vocab_size.
        """
    def predict(self, arg0: collections.abc.Sequence[str]) -> list[str]:
        """
        The label of every text, as predict_one.
        
        Args (positional only):
            texts: list of str.
        
        Returns:
            list of str, one per text.
        """
    def predict_one(self, arg0: str) -> str:
        """
        The class of highest score for one text (ties: the smaller label).
        
        Args (positional only):
            text: str.
        
        Returns:
            str ('' when there is no class or no score above -inf).
        """
    def save(self, path: str | os.PathLike[str] = 'multinomial_nb.json') -> None:
        """
        Writes the model to path as one line of text.
        
        Format: {"vocab_size":V,"n":N,"vocab":{"word":column,...},"class_ratio":{"label":count,...},
        "phi":{"label|column":p,...}}, the vocabulary in column order; either text model loads it.
        
        Raises:
            ValueError: a label holds '"' (nothing is written).
            OSError: the file cannot be written (the old file is left as it was).
        """
def LU_decomposition(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: typing.SupportsIndex) -> tuple[list[list[float]], list[list[float]]]:
    """
    LU factorisation A = L U without pivoting (Doolittle) of the leading n x n block of A.
    
    A zero pivot is not an error: it fills the rest of its column of L with inf and nan.
    
    Args (positional only):
        A: list of at least n rows of at least n floats.
        n: int, at least 0.
    
    Returns:
        (L, U): L (n, n) unit lower-triangular, U (n, n) upper-triangular.
    
    Raises:
        ValueError: n is negative ("vector") or A is smaller than n x n.
    """
def ReLU_derivative(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> list[list[float]]:
    """
    1.0 where an entry is above 0.0, else 0.0 (zero, negative and nan entries give 0.0).
    
    Args (positional only):
        M: (m, n) list of rows, at least one row.
    
    Returns:
        (m, n) list of lists of float.
    
    Raises:
        ValueError: M is empty or ragged.
    """
def calculate_determinant(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: typing.SupportsIndex) -> float:
    """
    The product of the first n diagonal entries; given the U of LU_decomposition, det(A).
    
    Args (positional only):
        U: list of at least n rows of at least n floats.
        n: int; n <= 0 gives 1.0.
    
    Returns:
        float (exactly 0.0 for an exactly zero pivot).
    
    Raises:
        ValueError: U is smaller than n x n.
    """
def calculate_vector(arg0: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer, arg1: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> list[float]:
    """
    The difference a - b over the entries of a.
    
    Args (positional only):
        a: list of floats.
        b: list of floats, at least as long as a (later entries are ignored).
    
    Returns:
        list of len(a) floats.
    
    Raises:
        ValueError: b is shorter than a.
    """
def cosine(arg0: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer, arg1: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> float:
    """
    Cosine distance 1 - a.b / (|b| |a|): 0 for one direction, 1 orthogonal, 2 opposite.
    
    An all-zero (or empty) vector gives nan, never an error.
    
    Args (positional only):
        a: list of floats.
        b: list of floats, at least as long as a (later entries are ignored).
    
    Returns:
        float.
    
    Raises:
        ValueError: b is shorter than a.
    """
def element_wise_division_two_matrices(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> list[list[float]]:
    """
    Element-wise quotient A / B; a zero divisor gives +-inf, and 0 / 0 gives nan (never an error).
    
    Args (positional only):
        A: (m, n) list of rows, at least one row.
        B: (m, n) list of rows.
    
    Returns:
        (m, n) list of lists of float.
    
    Raises:
        ValueError: A is empty or ragged, or B is smaller than A.
    """
def element_wise_multiplication(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> list[list[float]]:
    """
    Element-wise (Hadamard) product of A and B.
    
    Args (positional only):
        A: (m, n) list of rows, at least one row.
        B: (m, n) list of rows.
    
    Returns:
        (m, n) list of lists of float.
    
    Raises:
        ValueError: A is empty or ragged, or B is smaller than A.
    """
def element_wise_roots(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: typing.SupportsFloat | typing.SupportsIndex) -> list[list[float]]:
    """
    The degree-th root of every entry, pow(x, 1.0 / degree); a negative entry gives nan.
    
    Args (positional only):
        M: (m, n) list of rows, at least one row.
        degree: float; 0 makes the exponent inf.
    
    Returns:
        (m, n) list of lists of float.
    
    Raises:
        ValueError: M is empty or ragged.
    """
def euclidean(arg0: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer, arg1: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> float:
    """
    Euclidean distance sqrt(sum((a - b) ** 2)) over the entries of a.
    
    Args (positional only):
        a: list of floats; empty gives 0.0.
        b: list of floats, at least as long as a (later entries are ignored).
    
    Returns:
        float >= 0.
    
    Raises:
        ValueError: b is shorter than a.
    """
def manhattan(arg0: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer, arg1: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> float:
    """
    Manhattan distance sum(|a - b|) over the entries of a.
    
    Args (positional only):
        a: list of floats; empty gives 0.0.
        b: list of floats, at least as long as a (later entries are ignored).
    
    Returns:
        float >= 0.
    
    Raises:
        ValueError: b is shorter than a.
    """
def manual_seed(seed: typing.SupportsIndex) -> None:
    """
    Reseeds the network's three random sources from one integer.
    
    Weight initialisation, dropout masks and epoch shuffling each get a stream of their own derived
    from seed, so after manual_seed(s) the same calls build the same weights, draw the same masks and
    orders and give the same results bit for bit, in this process or any other. Without it each
    source seeds itself from the system random device on first use. Call it while no network is being
    built or trained.
    
    Args:
        seed: int (or any integer with __index__), 0 .. 2**64 - 1.
    
    Raises:
        ValueError: seed outside 0 .. 2**64 - 1.
        TypeError: seed is not an integer (a float, a str, None).
    """
def matrix_addition_and_sub(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg2: str) -> list[list[float]]:
    """
    A + B when operation is exactly "add", A - B for any other text ("sub", "Add", "").
    
    Args (positional only):
        A: (m, n) list of rows, at least one row.
        B: (m, n) list of rows.
        operation: str, compared byte for byte with "add".
    
    Returns:
        (m, n) list of lists of float.
    
    Raises:
        ValueError: A is empty or ragged, or B is smaller than A.
    """
def matrix_inverse(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg2: typing.SupportsIndex) -> list[list[float]]:
    """
    The inverse of L U by forward then back substitution (L's diagonal is taken as 1).
    
    A zero diagonal entry of U gives inf and nan in the result, never an error.
    
    Args (positional only):
        L: (n, n) unit lower-triangular, as returned by LU_decomposition.
        U: (n, n) upper-triangular.
        n: int, at least 0.
    
    Returns:
        (n, n) list of lists of float ([] for n = 0).
    
    Raises:
        ValueError: n is negative ("vector") or L or U is smaller than n x n.
    """
def matrix_product_from_vector_and_transpose(arg0: typing.SupportsIndex, arg1: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> list[list[float]]:
    """
    The outer product v v^T of the first n entries of v.
    
    Args (positional only):
        n: int, at least 0.
        v: list of at least n floats; later entries are ignored.
    
    Returns:
        (n, n) list of lists of float ([] for n = 0).
    
    Raises:
        ValueError: n is negative ("vector") or v has fewer than n entries.
    """
def matrix_product_with_matrix_and_vector(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer, arg2: typing.SupportsIndex, arg3: typing.SupportsIndex) -> list[float]:
    """
    The product of the leading rows x cols block of M with the first cols entries of v.
    
    Args (positional only):
        M: list of at least rows rows of at least cols floats.
        v: list of at least cols floats.
        rows: int, at least 0.
        cols: int, at least 0 (0 gives rows zeros).
    
    Returns:
        list of rows floats.
    
    Raises:
        ValueError: rows or cols is negative ("vector"), or M or v is too small.
    """
def matrix_with_matrix_multiplication(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> list[list[float]]:
    """
    Matrix product A @ B, computed by one BLAS dgemm call.
    
    Args (positional only):
        A: (m, k) list of rows, at least one row.
        B: (k, p) list of rows; only its first k rows are read.
    
    Returns:
        (m, p) list of lists of float.
    
    Raises:
        ValueError: A is empty or ragged, or B is empty, ragged or has fewer than k rows.
    """
def regularize(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: typing.SupportsIndex, arg2: typing.SupportsFloat | typing.SupportsIndex) -> list[list[float]]:
    """
    M with amount added to its first n diagonal entries.
    
    Args (positional only):
        M: list of at least n rows of at least n floats.
        n: int; n <= 0 returns M unchanged.
        amount: float.
    
    Returns:
        a new list of lists of float of M's shape.
    
    Raises:
        ValueError: M is smaller than n x n.
    """
def scalar_multiply_matrix(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer, arg1: typing.SupportsFloat | typing.SupportsIndex) -> list[list[float]]:
    """
    factor * M, entry by entry.
    
    Args (positional only):
        M: (m, n) list of rows; may be empty.
        factor: float.
    
    Returns:
        (m, n) list of lists of float (an empty M comes back empty).
    
    Raises:
        ValueError: M is ragged.
    """
def scalar_product_from_transpose_and_vector(arg0: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer, arg1: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] | typing_extensions.Buffer) -> float:
    """
    The dot product a . b over the entries of a, added in index order from 0.0.
    
    Args (positional only):
        a: list of floats; empty gives 0.0.
        b: list of floats, at least as long as a (later entries are ignored).
    
    Returns:
        float.
    
    Raises:
        ValueError: b is shorter than a.
    """
def sum_across_column(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> list[float]:
    """
    The sum of each row (the sum runs across the columns), added left to right from 0.0.
    
    Args (positional only):
        M: (m, n) list of rows; may be empty.
    
    Returns:
        list of m floats ([] for an empty M).
    
    Raises:
        ValueError: M is ragged.
    """
def transpose_matrix(arg0: collections.abc.Sequence[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex]] | typing_extensions.Buffer) -> list[list[float]]:
    """
    The transpose of M.
    
    Args (positional only):
        M: (m, n) list of rows, at least one row.
    
    Returns:
        (n, m) list of lists of float.
    
    Raises:
        ValueError: M is empty or ragged.
    """
RELU: FunctionType
SIGMOID: FunctionType
TANH: FunctionType
