#!/usr/bin/env python3
"""Expected channels of interleaved sample bytes, computed independently of the C++ code.

Reads cases from the file named by the first argument, one a line: SOURCE DESTINATION byteOrder
channelCount hexBytes ("-" for no bytes). Prints one line per case: the frame count, then for each
channel ";" its values separated by " " and "|" its peak. Integers are decimal, floating values
"%.17g" (NaN as "nan"), complex and point values "real,imaginary".
"""
import math
import struct
import sys

INTEGER = {  # name: (zero, maximum)
    "INTEGER8S": (0, 127),
    "INTEGER8": (128, 255),
    "INTEGER16": (0, 32767),
    "INTEGER24": (0, 8388607),
    "INTEGER32": (0, 2147483647),
}
SIZE = {"INTEGER8S": 1, "INTEGER8": 1, "INTEGER16": 2, "INTEGER24": 3, "INTEGER32": 4, "FLOAT32": 4,
        "FLOAT64": 8, "COMPLEX32": 8, "COMPLEX64": 16, "POINT64": 16}
KIND = {name: "real" for name in INTEGER}
KIND.update({"FLOAT32": "real", "FLOAT64": "real", "COMPLEX32": "complex", "COMPLEX64": "complex",
             "POINT64": "point"})
FLT_MAX = struct.unpack("<f", b"\xff\xff\x7f\x7f")[0]


def f32(x):
    """Nearest float; beyond the float range, the infinity that float arithmetic gives."""
    try:
        return struct.unpack("<f", struct.pack("<f", x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


def decode(fmt, raw, little):
    e = "<" if little else ">"
    if fmt == "INTEGER8S":
        return struct.unpack("b", raw)[0]
    if fmt == "INTEGER8":
        return raw[0]
    if fmt == "INTEGER16":
        return struct.unpack(e + "h", raw)[0]
    if fmt == "INTEGER24":
        return int.from_bytes(raw, "little" if little else "big", signed=True)
    if fmt == "INTEGER32":
        return struct.unpack(e + "i", raw)[0]
    if fmt == "FLOAT32":
        return struct.unpack(e + "f", raw)[0]
    if fmt == "FLOAT64":
        return struct.unpack(e + "d", raw)[0]
    if fmt == "COMPLEX32":
        return (struct.unpack(e + "f", raw[:4])[0], struct.unpack(e + "f", raw[4:])[0])
    return (struct.unpack(e + "d", raw[:8])[0], struct.unpack(e + "d", raw[8:])[0])


def normalise(fmt, x):
    if fmt in INTEGER:
        zero, maximum = INTEGER[fmt]
        return (float(x) - float(zero)) / float(maximum - zero)
    return float(x)


def to_float32_clamped(x):
    if x < -FLT_MAX:
        return -FLT_MAX
    if not x <= FLT_MAX:
        return FLT_MAX
    return f32(x)


def real_rule(src, dst, x):
    n = normalise(src, x)
    if dst in INTEGER:
        zero, maximum = INTEGER[dst]
        lo, hi = 2 * zero - maximum, maximum
        v = n * float(maximum - zero) + float(zero)
        if math.isnan(v) or v >= 2.0 ** 63:
            return hi
        if v <= -2.0 ** 63:
            return lo
        r = math.ceil(v - 0.5) if v < 0 else math.floor(v + 0.5)
        return min(max(r, lo), hi)
    if dst == "FLOAT64":
        return n
    if src == "FLOAT32":
        return x
    if src == "FLOAT64":
        return to_float32_clamped(x)
    return f32(n)


def convert(src, dst, x):
    if KIND[src] != KIND[dst]:
        return 0 if dst in INTEGER else (0.0, 0.0) if KIND[dst] != "real" else 0.0
    if KIND[src] == "real":
        return real_rule(src, dst, x)
    if KIND[src] == "point":
        return x
    part = "FLOAT32" if src == "COMPLEX32" else "FLOAT64"
    to = "FLOAT32" if dst == "COMPLEX32" else "FLOAT64"
    return (real_rule(part, to, x[0]), real_rule(part, to, x[1]))


def magnitude(fmt, x):
    if fmt in INTEGER:
        return abs(x - INTEGER[fmt][0])
    if fmt in ("FLOAT32", "FLOAT64"):
        return abs(x)
    if fmt == "COMPLEX32":
        return f32(f32(x[0] * x[0]) + f32(x[1] * x[1]))
    return x[0] * x[0] + x[1] * x[1]


def peak(fmt, x):
    if fmt in INTEGER:
        zero, maximum = INTEGER[fmt]
        return abs((x - zero) / (maximum - zero))
    if fmt in ("FLOAT32", "FLOAT64"):
        return abs(x)
    return math.hypot(x[0], x[1])


def text(v):
    if isinstance(v, tuple):
        return text(v[0]) + "," + text(v[1])
    if isinstance(v, int):
        return str(v)
    if math.isnan(v):
        return "nan"
    return "%.17g" % v


def run(src, dst, order, channels, data):
    little = order == 1
    size = SIZE[src]
    frames = len(data) // (size * channels)
    out = [str(frames)]
    for c in range(channels):
        values = []
        for k in range(frames):
            at = (k * channels + c) * size
            values.append(convert(src, dst, decode(src, data[at:at + size], little)))
        best, best_value = 0, None
        for v in values:
            m = magnitude(dst, v)
            if m > best:
                best, best_value = m, v
        p = 0.0 if best_value is None else peak(dst, best_value)
        out.append(" ".join(text(v) for v in values) + "|" + text(p))
    return ";".join(out)


def main():
    with open(sys.argv[1]) as cases:
        for line in cases:
            src, dst, order, channels, hexbytes = line.split()
            data = b"" if hexbytes == "-" else bytes.fromhex(hexbytes)
            print(run(src, dst, int(order), int(channels), data))


main()
