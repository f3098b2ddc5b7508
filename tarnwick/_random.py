"""The process-wide lock around the network's random sources.

`_cpp.manual_seed` reseeds the three sources and must not run while a network is being built or
trained; `training()` is held by every fit of `tarnwick.sklearn.MLPClassifier` from its seeding to
its last epoch, so that seeded fits in several threads each draw their own whole streams.
"""

from __future__ import annotations

import threading
from typing import SupportsIndex

import _cpp

training = threading.RLock()


def manual_seed(seed: SupportsIndex) -> None:
    """Reseeds the network's weight, dropout and shuffle sources from one integer.

    After `manual_seed(s)` the same calls build the same weights, draw the same dropout masks and
    epoch orders and so give the same results bit for bit, in this process or any other. Waits for
    a fit of `tarnwick.sklearn.MLPClassifier` running in another thread to finish first.

    Raises:
        ValueError: seed outside 0 .. 2**64 - 1.
        TypeError: seed is not an integer.
    """
    with training:
        _cpp.manual_seed(seed)
