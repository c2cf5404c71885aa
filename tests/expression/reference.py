#!/usr/bin/env python3
"""Independent reference for the Graph expression language.

Reads from stdin: a first line of 13 hexadecimal IEEE doubles (the variables
a b c d f g i j k l t w h), then one expression per line: "x" and its bytes hex-encoded.
Writes one line per expression: "0" when the text is not one complete
expression, else "1 " and the 64 bits of its value in hexadecimal.

The recognizer is an ordered-choice recursive descent written from the
grammar; functions come from the C maths library (ctypes), so values follow C
semantics bit for bit. Number literals are converted the way the real-number
reader of the grammar does it: at most 17 integer digits (leading zeros
included) are accumulated into a 64-bit integer, further integer digits only
scale, fraction digits are accumulated until the integer would overflow, and
the result is scaled by a table of powers of ten.
"""
import ctypes
import math
import struct
import sys

libm = ctypes.CDLL("libm.so.6")


def cfun(name, nargs):
    f = getattr(libm, name)
    f.restype = ctypes.c_double
    f.argtypes = [ctypes.c_double] * nargs
    return f


UNARY_NAMES = ["sinh", "cosh", "tanh", "sin", "cos", "tan", "asin", "acos", "atan", "exp",
               "log10", "log", "sqrt", "abs", "ceil", "floor"]
UNARY = {n: cfun("fabs" if n == "abs" else n, 1) for n in UNARY_NAMES}
BINARY_NAMES = ["atan2", "pow", "fmod", "min", "max", "rand"]
C_ATAN2, C_POW, C_FMOD = cfun("atan2", 2), cfun("pow", 2), cfun("fmod", 2)
C_SIN, C_FLOOR = cfun("sin", 1), cfun("floor", 1)
VARIABLES = "abcdfgijkltwh"
SPACE = " \t\n\v\f\r"
DIGITS = "0123456789"
POW10 = [float("1e%d" % k) for k in range(309)]
U64_MAX = 2 ** 64 - 1
INT_MIN, INT_MAX = -2 ** 31, 2 ** 31 - 1


def skip(s, i):
    while i < len(s) and s[i] in SPACE:
        i += 1
    return i


# ---------------------------------------------------------------- numbers
def digits_at(s, i):
    j = i
    while j < len(s) and s[j] in DIGITS:
        j += 1
    return j


def signed_int(s, i):
    """A signed 32-bit integer: (end, value) or None (no digits, overflow)."""
    j = i
    if j < len(s) and s[j] in "+-":
        j += 1
    k = digits_at(s, j)
    if k == j:
        return None
    v = int(s[j:k])
    if s[i] == "-":
        v = -v
    if v < INT_MIN or v > INT_MAX:
        return None
    return k, v


def scale(exp, acc):
    """(ok, value) as the reader scales an accumulated integer by 10**exp."""
    if exp >= 0:
        if exp > 308:
            return False, None
        return True, float(acc) * POW10[exp]
    if exp < -307:
        n = float((acc // 10) * 10)
        n += float(acc % 10)
        n /= POW10[307]
        exp += 307
        if exp < -307:
            return False, n
        return True, n / POW10[-exp]
    return True, float(acc) / POW10[-exp]


def match_word(s, i, word):
    if len(s) - i < len(word):
        return False
    return all(s[i + k] in (word[k], word[k].upper()) for k in range(len(word)))


def real(s, i):
    """The real-number reader: (end, value) or None."""
    n = len(s)
    neg = False
    if i < n and s[i] in "+-":
        neg = s[i] == "-"
        i += 1
    # integer part: leading zeros then digits, 17 at most together
    it = i
    zeros = 0
    while it < n and s[it] == "0" and zeros < 17:
        it += 1
        zeros += 1
    acc = 0
    count = 0
    while count + zeros < 17 and it < n and s[it] in DIGITS:
        acc = acc * 10 + int(s[it])
        it += 1
        count += 1
    got = count + zeros >= 1
    excess = 0
    if got:
        i = it
        j = digits_at(s, i)
        excess = j - i
        i = j
    else:
        if match_word(s, i, "nan"):
            i += 3
            if i < n and s[i] == "(":
                close = s.find(")", i + 1)
                if close < 0:
                    return None
                i = close + 1
            v = math.nan
            return i, (-v if neg else v)
        if match_word(s, i, "inf"):
            i += 3
            if match_word(s, i, "inity"):
                i += 5
            return i, (-math.inf if neg else math.inf)
    frac = 0
    if i < n and s[i] == ".":
        i += 1
        if excess:
            i = digits_at(s, i)
        else:
            j = i
            overflow = False
            while j < n and s[j] in DIGITS:
                d = int(s[j])
                if acc > U64_MAX // 10 or acc * 10 > U64_MAX - d:
                    overflow = True
                    break
                acc = acc * 10 + d
                j += 1
            if j > i or overflow:
                frac = j - i
                i = digits_at(s, j)
            elif not got:
                return None
    elif not got:
        return None
    e_pos = i
    e_hit = i < n and s[i] in "eE"
    if e_hit:
        r = signed_int(s, i + 1)
        if r is not None:
            i, exp = r
            ok, v = scale(exp + excess - frac, acc)
            if not ok:
                return None
        else:
            i = e_pos
            _, v = scale(-frac, acc)
    elif frac:
        _, v = scale(-frac, acc)
    elif excess:
        ok, v = scale(excess, acc)
        if not ok:
            return None
    else:
        v = float(acc)
    return i, (-v if neg else v)


def number(s, i):
    i = skip(s, i)
    r = real(s, i)
    if r is not None:
        return r[0], ("num", r[1])
    r = signed_int(s, i)
    if r is not None:
        return r[0], ("num", float(r[1]))
    return None


# ---------------------------------------------------------------- grammar
def lit(s, i, ch):
    i = skip(s, i)
    if i < len(s) and s[i] == ch:
        return i + 1
    return None


def name(s, i, names):
    i = skip(s, i)
    for nm in names:
        if s.startswith(nm, i):
            return i + len(nm), nm
    return None


def chain(s, i, operand, ops):
    r = operand(s, i)
    if r is None:
        return None
    i, v = r
    while True:
        j = skip(s, i)
        if j < len(s) and s[j] in ops:
            r2 = operand(s, j + 1)
            if r2 is not None:
                i, v = r2[0], ("bin", s[j], v, r2[1])
                continue
        return i, v


def expression(s, i):
    return chain(s, i, term, "+-")


def term(s, i):
    return chain(s, i, factor, "*/")


def factor(s, i):
    # 1. unary function call
    r = name(s, i, UNARY_NAMES)
    if r is not None:
        j = lit(s, r[0], "(")
        a = expression(s, j) if j is not None else None
        k = lit(s, a[0], ")") if a is not None else None
        if k is not None:
            return k, ("un", r[1], a[1])
    # 2. binary function call
    r = name(s, i, BINARY_NAMES)
    if r is not None:
        j = lit(s, r[0], "(")
        a = expression(s, j) if j is not None else None
        k = lit(s, a[0], ",") if a is not None else None
        b = expression(s, k) if k is not None else None
        m = lit(s, b[0], ")") if b is not None else None
        if m is not None:
            return m, ("bf", r[1], a[1], b[1])
    # 3. constants
    r = name(s, i, ["pi", "e"])
    if r is not None:
        return r[0], ("num", 3.141592653589793 if r[1] == "pi" else 2.718281828459045)
    # 4. variable
    j = skip(s, i)
    if j < len(s) and s[j] in VARIABLES:
        return j + 1, ("var", s[j])
    # 5. parentheses
    j = lit(s, i, "(")
    if j is not None:
        a = expression(s, j)
        k = lit(s, a[0], ")") if a is not None else None
        if k is not None:
            return k, a[1]
    # 6. sign
    j = skip(s, i)
    if j < len(s) and s[j] in "+-":
        r = factor(s, j + 1)
        if r is not None:
            return r[0], ("sign", s[j], r[1])
    # 7. number
    return number(s, i)


# ---------------------------------------------------------------- evaluation
def divide(a, b):
    if b != 0.0:
        return a / b
    if math.isnan(a) or a == 0.0:
        return math.nan
    negative = (math.copysign(1.0, a) < 0) != (math.copysign(1.0, b) < 0)
    return -math.inf if negative else math.inf


def evaluate(node, env):
    kind = node[0]
    if kind == "num":
        return node[1]
    if kind == "var":
        return env[node[1]]
    if kind == "sign":
        v = evaluate(node[2], env)
        return -v if node[1] == "-" else v
    if kind == "un":
        return UNARY[node[1]](evaluate(node[2], env))
    if kind == "bin":
        a = evaluate(node[2], env)
        b = evaluate(node[3], env)
        op = node[1]
        if op == "+":
            return a + b
        if op == "-":
            return a - b
        if op == "*":
            return a * b
        return divide(a, b)
    a = evaluate(node[2], env)
    b = evaluate(node[3], env)
    fn = node[1]
    if fn == "atan2":
        return C_ATAN2(a, b)
    if fn == "pow":
        return C_POW(a, b)
    if fn == "fmod":
        return C_FMOD(a, b)
    if fn == "min":
        return a if a < b else b
    if fn == "max":
        return a if a > b else b
    v = C_SIN(a * 12.9898 + b * 78.233) * 43758.5453
    return v - C_FLOOR(v)


def parse(s):
    # Texts longer than a Graph data field are refused outright.
    if not s or len(s) > 255:
        return None
    r = expression(s, 0)
    if r is None or skip(s, r[0]) != len(s):
        return None
    return r[1]


def main():
    sys.setrecursionlimit(100000)
    lines = sys.stdin.read().split("\n")
    values = [struct.unpack(">d", bytes.fromhex(h))[0] for h in lines[0].split()]
    env = dict(zip(VARIABLES, values))
    out = []
    for line in lines[1:]:
        if not line.startswith("x"):
            continue
        text = bytes.fromhex(line[1:]).decode("latin-1")
        tree = parse(text)
        if tree is None:
            out.append("0")
        else:
            out.append("1 " + struct.pack(">d", evaluate(tree, env)).hex())
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
