#!/usr/bin/env python3
"""Reference values for the permutation test and the bootstrap tests.

Reimplements, independently of the C++ code, the Park & Miller minimal-standard
generator with its Bays-Durham shuffle table, the forward Fisher-Yates shuffle,
the band counts of a permuted data set (fragment frequencies, method 1), the
percentile limits and P values of the resampled Fst, and the locus draws of the
bootstrap.  The Lynch & Milligan statistics come from ../stats/reference_values.py
(itself written from the formulas).  Run: python3 reference_values.py
"""
import contextlib
import io
import math
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "stats"))
with contextlib.redirect_stdout(io.StringIO()):
    import reference_values as lm  # noqa: E402

f32 = lm.f32


class Stream:
    IA, IM, IQ, IR, NTAB = 16807, 2147483647, 127773, 2836, 32

    def __init__(self, word):
        self.word, self.held, self.table = word, 0, [0] * 32

    def step(self):
        k = self.word // self.IQ
        self.word = self.IA * (self.word - k * self.IQ) - self.IR * k
        if self.word < 0:
            self.word += self.IM

    def uniform(self):
        if self.word <= 0 or self.held == 0:
            self.word = -self.word if self.word < 0 else 1
            for j in range(self.NTAB + 7, -1, -1):
                self.step()
                if j < self.NTAB:
                    self.table[j] = self.word
            self.held = self.table[0]
        self.step()
        j = self.held // 67108864
        self.held = self.table[j]
        self.table[j] = self.word
        t = self.held * 2.0 ** -31
        return f32(1 - 2.0 ** -23) if t > 0.99999988 else f32(t)

    def shuffle(self, v):
        for p in range(len(v) - 1):
            u = self.uniform()
            j = p + int(u * (len(v) - p))
            v[p], v[j] = v[j], v[p]


def permuted_fst(scores, bounds, perm):
    r, m = len(bounds) - 1, len(scores[0])
    N, q, Vq = [], [], []
    for j in range(r):
        rows = [scores[perm[k]] for k in range(bounds[j], bounds[j + 1])]
        N.append([]), q.append([]), Vq.append([])
        for i in range(m):
            n = sum(1 for row in rows if row[i] < 9)
            p = sum(1 for row in rows if row[i] == 1)
            f = f32(p / n) if n else 0.0
            N[j].append(n)
            q[j].append(f32(1.0 - f))
            Vq[j].append(f32(f * (1.0 - f) / n) if n else math.nan)
    Hloc, H, V, VI, VL, _ = lm.hj(N, q, Vq)
    Hw, Vw, VIw, VLw, VPw = lm.hw(H, VI, VL)
    n, D, VD, HB, Hb, VHb, _ = lm.hb(N, q, Hloc)
    return lm.ht_fst(r, n, HB, Hb, Hw, VHb, Vw, H)[1]


def summary(values, observed):
    v = sorted(values)
    n = len(v)
    nf = f32(n)
    k = [int(nf * f32(0.025)), int(nf * f32(0.975)) + 1, int(nf * f32(0.005)), int(nf * f32(0.995)) + 1]
    k[1], k[3] = min(k[1], n - 1), min(k[3], n - 1)
    lim95 = (v[k[0]], v[k[1]]) if n >= 40 else (0.0, 0.0)
    lim99 = (v[k[2]], v[k[3]]) if n >= 200 else (0.0, 0.0)
    low = sum(1 for x in v if x <= observed)
    high = sum(1 for x in v if x >= observed)
    pl = f32((low + 1) / (n + 1)) if low else 0.0
    ph = f32((high + 1) / (n + 1)) if high else 0.0
    return lim95 + lim99 + (pl, ph)


def table4(nperm, observed, s):
    out = "\n\nTable 4: Permutation test for genetic differentiation among populations\n"
    out += "\nResampling statistics based on %d random permutations of individuals among populations" % nperm
    out += "\n (individual estimates of FST for each permutation are written to file 'resample.txt')"
    out += "\n\n%-25s%9s" % ("statistic", "Fst")
    labels = ["observed", "lower 95% limit", "upper 95% limit", "lower 99% limit", "upper 99% limit",
              "P value (low)", "P value (high)"]
    for label, x in zip(labels, (observed,) + s):
        out += "\n%-30s%9.4f" % (label, x)
    return out


# The data set of the permutation tests (resample_test.cpp, kScores): three
# populations of 3, 4 and 3 individuals, five loci, a few missing scores.
SCORES = [[1, 0, 1, 9, 1], [1, 1, 0, 0, 1], [0, 1, 1, 1, 9],
          [0, 0, 1, 1, 1], [0, 1, 0, 1, 1], [1, 0, 0, 9, 0], [0, 0, 1, 1, 1],
          [1, 1, 1, 0, 0], [1, 1, 9, 0, 0], [1, 0, 1, 0, 1]]
BOUNDS = [0, 3, 7, 10]

if __name__ == "__main__":
    observed = f32(0.1)
    stream = Stream(-2436)
    perm = list(range(10))
    values = []
    for _ in range(40):
        stream.shuffle(perm)
        values.append(permuted_fst(SCORES, BOUNDS, perm))
    print("identity-permutation Fst %.9g" % permuted_fst(SCORES, BOUNDS, list(range(10))))
    print(repr(table4(40, observed, summary(values, observed))))
    print(repr("Resampled statistics with samplesize : 40\nActual value of FST:\t%8.4f\nFST" % observed
               + "".join("\n%11.7f" % x for x in sorted(values))))

    # Bootstrap continuing the same stream: three populations, four loci.
    names = ["Alpha", "Population12", "C"]
    est = [[0.30, 0.55, 0.80, 0.10], [0.42, 0.61, 0.25, 0.05], [0.70, 0.20, 0.95, 0.33]]
    var = [[0.0040, 0.0050, 0.0030, 0.0020], [0.0060, 0.0045, 0.0035, 0.0010], [0.0055, 0.0025, 0.0015, 0.0042]]
    Nreal = [[10, 12, 0, 11], [8, 8, 8, 8], [15, 14, 15, 13]]
    est = [[f32(x) for x in row] for row in est]
    var = [[f32(x) for x in row] for row in var]
    files = ["", "", ""]
    for _ in range(3):
        draw = [int(stream.uniform() * 4.0) for _ in range(4)]
        N = [[Nreal[j][d] for d in draw] for j in range(3)]
        q = [[f32(1.0 - est[j][d]) for d in draw] for j in range(3)]
        Vq = [[var[j][d] for d in draw] for j in range(3)]
        Hloc, H, V, VI, VL, _ = lm.hj(N, q, Vq)
        n, D, VD, HB, Hb, VHb, _ = lm.hb(N, q, Hloc)
        nei, fst = lm.distances(3, n, H, V, D, VD, HB)
        files[0] += lm.block(names, 3, nei, False, "\n\n")
        files[1] += lm.block(names, 3, fst, False, "\n\n")
        files[2] += lm.block(names, 3, fst, True, "\n\n")
        print("draw", draw)
    for text in files:
        print(repr(text))

    # m = 1: five populations at one locus, drawn every time.  A and B share
    # q = 0.5 with Vq = 0.01 (negative pairwise Fst); C (q = 0) and D (q = 1)
    # are fixed for different alleles (Fst = 1); E was never scored.
    names5 = ["A", "B", "C", "D", "E"]
    N = [[10], [10], [10], [10], [0]]
    q = [[0.5], [0.5], [0.0], [1.0], [0.0]]
    Vq = [[f32(0.01)], [f32(0.01)], [0.0], [0.0], [0.0]]
    Hloc, H, V, VI, VL, _ = lm.hj(N, q, Vq)
    n, D, VD, HB, Hb, VHb, _ = lm.hb(N, q, Hloc)
    nei, fst = lm.distances(5, n, H, V, D, VD, HB)
    print("m = 1 blocks")
    for mat, rey in ((nei, False), (fst, False), (fst, True)):
        print(repr(lm.block(names5, 5, mat, rey, "\n\n")))
