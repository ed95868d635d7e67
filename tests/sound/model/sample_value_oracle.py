#!/usr/bin/env python3
"""Expected sample value conversions, computed independently of the C++ code with Python's IEEE doubles.

Prints one line per case: SOURCE DESTINATION input expected. Integers are decimal, floating values are
float.hex() (or inf, -inf, nan). The inputs are every value of the 8- and 16-bit formats, and chosen
edge and pseudo-random values of the 24-bit, 32-bit and floating formats, each to all seven formats.
"""
import math
import random
import struct
import sys

# name: (zero, maximum, smallest value of the type, largest value of the type)
INTEGER = {
    "INTEGER8S": (0, 127, -128, 127),
    "INTEGER8": (128, 255, 0, 255),
    "INTEGER16": (0, 32767, -32768, 32767),
    "INTEGER24": (0, 8388607, -8388608, 8388607),
    "INTEGER32": (0, 2147483647, -2147483648, 2147483647),
}
FORMATS = ["INTEGER8S", "INTEGER8", "INTEGER16", "INTEGER24", "INTEGER32", "FLOAT32", "FLOAT64"]
FLT_MAX = struct.unpack("<f", b"\xff\xff\x7f\x7f")[0]


def to_float32(x):
    """Nearest float, as C's (float) cast does for values within the float range."""
    return struct.unpack("<f", struct.pack("<f", x))[0]


def normalise(fmt, x):
    if fmt in INTEGER:
        zero, maximum, _, _ = INTEGER[fmt]
        return (float(x) - float(zero)) / float(maximum - zero)
    return float(x)


def round_half_away(v):
    """Half away from zero; the sum or difference is a double before floor or ceil."""
    if v < 0:
        return math.ceil(v - 0.5)
    return math.floor(v + 0.5)


def to_integer(fmt, n):
    zero, maximum, _, _ = INTEGER[fmt]
    lo, hi = 2 * zero - maximum, maximum
    v = n * float(maximum - zero) + float(zero)
    if math.isnan(v) or v == math.inf:
        return hi
    if v == -math.inf:
        return lo
    return min(max(round_half_away(v), lo), hi)


def convert(src, dst, x):
    if dst in INTEGER:
        return to_integer(dst, normalise(src, x))
    if dst == "FLOAT64":
        return normalise(src, x)
    # FLOAT32
    if src == "FLOAT32":
        return x
    if src == "FLOAT64":
        if x < -FLT_MAX:
            return -FLT_MAX
        if not x <= FLT_MAX:
            return FLT_MAX
        return to_float32(x)
    return to_float32(normalise(src, x))


def text(fmt, v):
    if fmt in INTEGER:
        return str(v)
    if math.isnan(v):
        return "nan"
    if math.isinf(v):
        return "inf" if v > 0 else "-inf"
    return float.hex(v)


def inputs(fmt, rng):
    if fmt in ("INTEGER8S", "INTEGER8", "INTEGER16"):
        _, _, lo, hi = INTEGER[fmt]
        return list(range(lo, hi + 1))
    if fmt in INTEGER:
        _, maximum, lo, hi = INTEGER[fmt]
        edges = [lo, lo + 1, lo + 2, -1, 0, 1, 127, 128, 129, 255, 256, 32767, 32768, 65535, 65536,
                 65537, maximum // 2, -(maximum // 2), hi - 1, hi]
        edges = [e for e in edges if lo <= e <= hi]
        return edges + [rng.randint(lo, hi) for _ in range(2000)]
    values = [0.0, -0.0, 0.5, -0.5, 1.0, -1.0, 1.5, -1.5, 2.0, -2.0, 0.25, -0.25, 1e-300, -1e-300,
              0.49999999999999994, -0.49999999999999994, 1.0 / 254, -1.0 / 254, 1.0 / 65534,
              -1.0 / 65534, 0.5 / 127, 1.5 / 127, -1.5 / 127, 2.5 / 32767, -2.5 / 32767,
              1e10, -1e10, 3e9, -3e9, FLT_MAX, -FLT_MAX, math.inf, -math.inf, math.nan]
    if fmt == "FLOAT64":
        values += [1e300, -1e300, 3.5e38, -3.5e38, FLT_MAX * (1 + 2.0 ** -40), 1e-320]
    values += [rng.uniform(-1.5, 1.5) for _ in range(2000)]
    if fmt == "FLOAT32":
        values = [to_float32(v) for v in values]
    return values


def main():
    rng = random.Random(20261210)
    out = []
    for src in FORMATS:
        for x in inputs(src, rng):
            for dst in FORMATS:
                out.append("%s %s %s %s" % (src, dst, text(src, x), text(dst, convert(src, dst, x))))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
