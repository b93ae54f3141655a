#!/usr/bin/env python3
"""Writes the mixed test of tests/golden/polytomous: 30 right/wrong 3PL items
(key "1") and 10 four-category GRM items (key "+") for 400 examinees drawn
from N(0, 1), D = 1.7, in the sample layout (ID in columns 1-8, responses
from column 20), CR LF. A fixed seed makes the same file every time."""
import math
import random
import sys

rng = random.Random(20261209)
D = 1.7
binary = [(rng.uniform(0.7, 1.6), rng.uniform(-2, 2), 0.2) for _ in range(30)]
graded = []
for _ in range(10):
    first = rng.uniform(-1.8, -0.6)
    graded.append((rng.uniform(0.8, 1.6), [first, first + rng.uniform(0.6, 1.2),
                                            first + rng.uniform(1.8, 2.8)]))

def logistic(z):
    return 1 / (1 + math.exp(-z))

lines = ["KEY" + " " * 16 + "1" * 30 + "+" * 10]
for j in range(400):
    theta = rng.gauss(0, 1)
    cells = []
    for a, b, c in binary:
        p = c + (1 - c) * logistic(D * a * (theta - b))
        cells.append("1" if rng.random() < p else "0")
    for a, bs in graded:
        u = rng.random()
        score = sum(1 for b in bs if u < logistic(D * a * (theta - b)))
        cells.append(str(score))
    lines.append("P%07d" % (j + 1) + " " * 11 + "".join(cells))
sys.stdout.buffer.write(("\r\n".join(lines) + "\r\n").encode())
