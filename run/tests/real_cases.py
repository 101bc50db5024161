#!/usr/bin/env python3
"""Decimal texts and the bits of the doubles nearest to them, for the reader's test.

  real_cases.py gen OUT COUNT SEED   random texts: 1-17 digits, exponents -330..310,
                                     subnormals, exact halfway points and their neighbours
  real_cases.py eval IN OUT          the nearest double of each line of IN

Each output line is "TEXT HEX" (HEX: the 16 hex digits of the double's bits).  The
file appears whole: it is written beside OUT and renamed.
"""
import os
import random
import struct
import sys
from decimal import Decimal, getcontext

getcontext().prec = 1200


def bits(x):
    return struct.unpack('<Q', struct.pack('<d', x))[0]


def from_bits(b):
    return struct.unpack('<d', struct.pack('<Q', b))[0]


def plain(rng):
    n = rng.randint(1, 17)
    digits = str(rng.randint(1, 9)) + ''.join(rng.choice('0123456789') for _ in range(n - 1))
    e = rng.randint(-330, 310)
    form = rng.randrange(4)
    if form == 0:
        return digits + 'e' + str(e)
    if form == 1:
        text = digits[0] + ('.' + digits[1:] if n > 1 else '') + ('e%+d' % e)
        return text
    if form == 2:  # no exponent: a point somewhere
        k = rng.randint(0, n)
        return (digits[:k] or '0') + '.' + digits[k:]
    return '0.' + '0' * rng.randint(0, 30) + digits + 'E' + str(e)


def subnormal(rng):
    b = rng.randint(1, (1 << 52) - 1)
    x = from_bits(b)
    return '%.*e' % (rng.randint(0, 16), x)


def halfway(rng):
    b = rng.choice([rng.randint(1, 0x7FEFFFFFFFFFFFFF), rng.randint(1, (1 << 52) + 10)])
    lo, hi = Decimal(from_bits(b)), Decimal(from_bits(b + 1))
    mid = (lo + hi) / 2
    text = format(mid, 'e')
    which = rng.randrange(3)
    if which == 0:
        return text
    # just above or below the halfway point: one more digit
    mant, exp = text.split('e')
    mant = mant + ('1' if which == 1 else '')
    if which == 2:
        mid = mid - Decimal(10) ** (int(exp) - 800)
        return format(mid, 'e')
    return mant + 'e' + exp


def gen(out, count, seed):
    rng = random.Random(seed)
    makers = [plain] * 6 + [subnormal, halfway]
    lines = []
    for _ in range(count):
        text = rng.choice(makers)(rng)
        if rng.randrange(2):
            text = '-' + text
        lines.append(text)
    return lines


def write(out, texts):
    tmp = out + '.part'
    with open(tmp, 'w') as f:
        for t in texts:
            f.write('%s %016x\n' % (t, bits(float(t))))
    os.replace(tmp, out)


def main():
    if sys.argv[1] == 'gen':
        write(sys.argv[2], gen(sys.argv[2], int(sys.argv[3]), int(sys.argv[4])))
    else:
        with open(sys.argv[2]) as f:
            write(sys.argv[3], [line.strip() for line in f if line.strip()])


main()
