#!/usr/bin/env python3
"""Independent reference values for the diversity, structure and distance tests.

Written from the Lynch & Milligan (1994) formulas, with single-precision stores
imitated by packing through struct ('f').  Run: python3 reference_values.py
It prints the expected texts that the C++ tests compare against.
"""
import math
import struct


def f32(x):
    try:
        return struct.unpack('f', struct.pack('f', x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


def div(a, b):
    """IEEE-754 division (Python raises on a zero divisor)."""
    if b != 0:
        return a / b
    if a == 0 or math.isnan(a):
        return math.nan
    return math.copysign(math.inf, a) * math.copysign(1.0, b)


def sq(x):  # square of a value first rounded to single precision
    x = f32(x)
    return x * x


def poly(N, q):
    nloc, plp = [], []
    lo, hi = f32(0.05), f32(0.95)
    for Nj, qj in zip(N, q):
        d = sum(1 for n in Nj if n)
        p = sum(1 for n, x in zip(Nj, qj) if n and lo <= x <= hi)
        nloc.append(p)
        plp.append(f32(p / (d if d else 1) * 100.0))
    return nloc, plp


def hj(N, q, Vq):
    r, m = len(N), len(N[0])
    Hloc = [[0.0] * m for _ in range(r)]
    H, V, VI, VL, msgs = [0.0] * r, [0.0] * r, [0.0] * r, [0.0] * r, []
    for j in range(r):
        L = sum(1 for n in N[j] if n)
        for i in range(m):
            if not N[j][i]:
                continue
            x, v = q[j][i], Vq[j][i]
            Hloc[j][i] = f32(2 * (x * (1 - x) + v))
            vh = f32(4 * sq(1 - 2 * x) * v)
            H[j] = f32(H[j] + Hloc[j][i])
            VI[j] = f32(VI[j] + vh)
        if L == 0:
            continue
        H[j] = f32(H[j] / L)
        VI[j] = f32(VI[j] / (L * L))
        if L == 1:
            V[j] = 999.0
        else:
            V[j] = f32(sum(sq(Hloc[j][i] - H[j]) for i in range(m) if N[j][i]) / (L * (L - 1)))
        VL[j] = f32(V[j] - VI[j])
        if VL[j] < 0:
            msgs.append("\nnegative value for VarL(Hj) for pop %d" % (j + 1))
    return Hloc, H, V, VI, VL, msgs


def hw(H, VI, VL):
    r = len(H)
    Hw = f32(sum(H) / r)
    VIw = f32(sum(VI) / r ** 2)
    VLw = f32(sum(x for x in VL if x > 0) / r ** 2)
    Vw = f32(sum(sq(h - Hw) for h in H) / (r * (r - 1)))
    VPw = f32(Vw - VLw - VIw)
    return Hw, Vw, VIw, VLw, VPw


def hb(N, q, Hloc):
    r, m = len(N), len(N[0])
    n, D, VD, HB = {}, {}, {}, {}
    msgs = []
    for a in range(r):
        for b in range(a + 1, r):
            ds, hs = [], []
            for i in range(m):
                if N[a][i] and N[b][i]:
                    d = f32(q[a][i] + q[b][i] - 2 * q[a][i] * q[b][i])
                    ds.append(d)
                    hs.append(f32(d - (Hloc[a][i] + Hloc[b][i]) / 2))
            n[a, b] = len(ds)
            if not ds:
                continue
            D[a, b] = f32(sum(ds) / len(ds))
            HB[a, b] = f32(sum(hs) / len(hs))
            VD[a, b] = 999.0 if len(ds) == 1 else f32(
                sum(sq(d - D[a, b]) for d in ds) / (len(ds) * (len(ds) - 1)))
    withdata = [k for k in HB]
    Hb = f32(sum(HB[k] for k in withdata) / len(withdata)) if withdata else 0.0
    if len(withdata) != r * (r - 1) // 2:
        msgs.append("\ncountpq: %d   r*(r-1)/2: %d" % (len(withdata), r * (r - 1) // 2))
    disjoint = [HB[a, a + 1] for a in range(0, r - 1, 2) if n[a, a + 1]]
    if disjoint:
        M = sum(disjoint) / len(disjoint)
        t = sum(sq(x - M) for x in disjoint) / len(disjoint)
    else:
        t = 999.0
    obs = []
    for a in range(r):
        for b in range(a + 1, r):
            for k in range(b + 1, r):
                if n[a, b] and n[a, k]:
                    obs.append((HB[a, b], HB[a, k]))
                if n[a, b] and n[b, k]:
                    obs.append((HB[a, b], HB[b, k]))
    if obs:
        mx = sum(x for x, _ in obs) / len(obs)
        my = sum(y for _, y in obs) / len(obs)
        A = sum((y - my) * (x - mx) for x, y in obs) / len(obs)
    else:
        A = 999.0
    VHb = 999.0 if r == 1 else f32(2 * (t + 2 * (r - 2) * A) / (r * (r - 1)))
    return n, D, VD, HB, Hb, VHb, msgs


def ht_fst(r, n, HB, Hb, Hw, VHb, VHw, H):
    Ht = f32(Hw + Hb)
    S = 0.0
    for i in range(r):
        e = 0.0
        for k in range(r):
            if k != i and n[min(i, k), max(i, k)] > 0:
                e += HB[min(i, k), max(i, k)]
        S += H[i] * e
    Cwb = f32((S / (r * (r - 1)) - Hw * Hb) / r)
    Fst = f32(div(Hb, Ht * (1 + div((Hb - Hw) * Cwb - Hw * VHb + Hb * VHw, Hb * sq(Ht)))))
    if not math.isfinite(Fst):
        return Ht, 999.0, 999.0
    ratio = f32(div(Hw, Hb))
    VF = f32(sq(div(Fst, Hb)) * (VHw + sq(ratio) * VHb - 2 * ratio * Cwb))
    return Ht, Fst, VF if math.isfinite(VF) else 999.0


def distances(r, n, H, V, D, VD, HB):
    nei, fst = {}, {}
    for a in range(r):
        for b in range(a + 1, r):
            if not n[a, b]:
                nei[a, b] = fst[a, b] = 999.0
                continue
            x = math.sqrt((1 - H[b]) * (1 - H[a]))
            dist = x
            if x != 0:
                ratio = (1 - D[a, b]) / x
                dist = math.inf if ratio == 0 else -math.log(ratio)
            if dist != 0:
                dist += -0.5 * div(VD[a, b], sq(1 - D[a, b]))
            if dist != 0:
                dist += 0.25 * V[a] / sq(1 - H[a])
            if dist != 0:
                dist += 0.25 * V[b] / sq(1 - H[b])
            else:
                dist = 999.0
            nei[a, b] = f32(dist) if math.isfinite(f32(dist)) else 999.0
            ht = 0.5 * (H[a] + H[b]) + HB[a, b]
            fst[a, b] = 999.0 if ht == 0 else f32(HB[a, b] / ht)
    return nei, fst


def cell(v, reynolds):
    if v == 999.0:
        return "%10s" % "undefined"
    if v < 0:
        return "%10.4f" % 0.0
    if not reynolds:
        return "%10.4f" % v
    y = 1 - v
    return "%10.4f" % -math.log(y) if y > 0 else "%10s" % "undefined"


def block(names, r, mat, reynolds, lead="\n"):
    out = lead + "%d" % r
    for i in range(r):
        out += "\n%-10.10s" % names[i]
        for j in range(r):
            out += "%10.4f" % 0.0 if i == j else cell(mat[min(i, j), max(i, j)], reynolds)
    return out


def table1(names, N, nloc, plp, H, V, VI, VL):
    out = "\n\nTable 1: Population data [Lynch & Milligan method]\n\n"
    out += "%10s%5s%7s%7s%7s%8s%10s%10s%10s%8s%10s%8s\n" % (
        "Population", "n", "#loc.", "#loc_P", "PLP", "Hj", "S.E.(Hj)", "Var(Hj)", "VarI(Hj)", "VarI%",
        "VarL(Hj)", "VarL%")
    for j in range(len(N)):
        L = sum(1 for x in N[j] if x)
        nbar = sum(N[j]) // (L if L else 1)
        pi = 0.0 if V[j] == 0 else 100 * VI[j] / V[j]
        pl = 0.0 if V[j] == 0 else 100 * VL[j] / V[j]
        out += "\n%10s%5i" % (names[j], nbar)
        out += "%5i  %5i  %7.1f%8.5f%10.5f%10.6f%10.6f%8.1f%10.6f%8.1f" % (
            L, nloc[j], plp[j], H[j], math.sqrt(V[j]), V[j], VI[j], pi, VL[j], pl)
    return out + "\n\n"


def table2(r, Hw, Vw, VIw, VLw, VPw):
    out = "Table 2: Gene diversity within populations [Lynch & Milligan method]\n\n"
    out += "%5s%8s%10s%10s%10s%10s%10s\n" % ("n", "Hw", "S.E.(Hw)", "Var(Hw)", "VarI(Hw)", "VarL(Hw)", "VarP(Hw)")
    out += "\n%5i" % r + "%8.4f%10.5f%10.6f%10.6f%10.6f%10.6f" % (
        Hw, math.sqrt(Vw) if Vw > 0 else 0.0, Vw, VIw, VLw, VPw)
    pct = [0.0 if Vw == 0 else 100 * x / Vw for x in (VIw, VLw, VPw)]
    out += "\n%33s%10.2f%10.2f%10.2f" % ("Percent of Var(Hw)", *pct)
    return out + "\n\n"


def table3(r, Ht, Hw, Hb, Fst, VHw, VHb, VF):
    se = lambda v: math.sqrt(v) if v > 0 else 0.0
    out = "Table 3: Population genetic structure [Lynch & Milligan method]\n\n"
    out += "%5s%10s%10s%10s%10s\n" % ("n", "Ht", "Hw", "Hb", "Fst")
    out += "\n%5i" % r + "%10.4f%10.4f%10.4f%10.4f" % (Ht, Hw, Hb, Fst)
    out += "\n%5s%20.6f%10.6f%10.6f" % ("S.E.", se(VHw), se(VHb), se(VF))
    out += "\n%5s%20.6f%10.6f%10.6f" % ("Var", VHw, VHb, VF)
    return out + "\n"


def run(title, names, N, q, Vq):
    q = [[f32(x) for x in row] for row in q]
    Vq = [[f32(x) for x in row] for row in Vq]
    r = len(N)
    print("=" * 20, title)
    nloc, plp = poly(N, q)
    Hloc, H, V, VI, VL, msgs = hj(N, q, Vq)
    print("Hj messages:", repr("".join(msgs)))
    print(repr(table1(names, N, nloc, plp, H, V, VI, VL)))
    if r < 2:
        return
    Hw, Vw, VIw, VLw, VPw = hw(H, VI, VL)
    n, D, VD, HB, Hb, VHb, msgs = hb(N, q, Hloc)
    print("Hb messages:", repr("".join(msgs)))
    print("Hb %.9g VarHb %.9g" % (Hb, VHb))
    Ht, Fst, VF = ht_fst(r, n, HB, Hb, Hw, VHb, Vw, H)
    print(repr(table2(r, Hw, Vw, VIw, VLw, VPw)))
    print(repr(table3(r, Ht, Hw, Hb, Fst, Vw, VHb, VF)))
    nei, fst = distances(r, n, H, V, D, VD, HB)
    text = "\n\nNei_s genetic distance after Lynch and Milligan - 1994 (Phylip format)" + block(names, r, nei, False)
    text += "\n\nPairwise Fst between populations (Phylip format)" + block(names, r, fst, False)
    text += "\n\nReynolds et al. genetic distance between populations (Phylip format)" + block(names, r, fst, True)
    print(repr(text))


run("three populations", ["North", "South", "East"],
    [[10, 12, 9, 11], [8, 8, 8, 8], [15, 14, 15, 13]],
    [[0.30, 0.55, 0.80, 0.10], [0.42, 0.61, 0.25, 0.05], [0.70, 0.20, 0.95, 0.33]],
    [[0.0040, 0.0050, 0.0030, 0.0020], [0.0060, 0.0045, 0.0035, 0.0010], [0.0055, 0.0025, 0.0015, 0.0042]])

run("edge populations", ["Alpha", "Polymorphic_bounds", "Single", "Empty"],
    [[5, 5, 5, 5], [7, 7, 7, 7], [0, 6, 0, 0], [0, 0, 0, 0]],
    [[0.2, 0.8, 0.21, 0.79], [0.05, 0.95, 0.0499, 0.9501], [0.0, 0.4, 0.0, 0.0], [0.0, 0.0, 0.0, 0.0]],
    [[0.01, 0.01, 0.01, 0.01], [0.002, 0.003, 0.002, 0.003], [0.0, 0.003, 0.0, 0.0], [0.0, 0.0, 0.0, 0.0]])

run("two populations", ["P1", "P2"],
    [[9, 9, 9], [11, 11, 11]],
    [[0.35, 0.60, 0.15], [0.50, 0.40, 0.30]],
    [[0.003, 0.004, 0.002], [0.0035, 0.0025, 0.003]])

run("two populations without a shared locus", ["P1", "P2"],
    [[5, 0], [0, 5]],
    [[0.35, 0.0], [0.0, 0.40]],
    [[0.003, 0.0], [0.0, 0.0025]])

run("five populations", ["A", "B", "C", "D", "E"],
    [[6, 6, 6, 6], [7, 7, 0, 7], [9, 9, 9, 9], [5, 5, 5, 5], [8, 8, 8, 8]],
    [[0.30, 0.55, 0.80, 0.10], [0.42, 0.61, 0.5, 0.05], [0.70, 0.20, 0.95, 0.33],
     [0.15, 0.45, 0.60, 0.25], [0.50, 0.35, 0.40, 0.85]],
    [[0.004, 0.005, 0.003, 0.002], [0.006, 0.0045, 0.0, 0.001], [0.0055, 0.0025, 0.0015, 0.0042],
     [0.003, 0.006, 0.004, 0.005], [0.002, 0.003, 0.004, 0.001]])

# Distances from hand-made pairwise quantities: a Nei distance exactly 0 before
# its corrections (1,2), a negative Nei distance and Fst (1,3), no shared locus
# (1,4), (4,5), Hj = 1 (1,5), (2,5), D = 1 (2,3), Fst = 0 (2,4), Fst = 1 (3,4),
# Ht_ab = 0 (3,5).
H = [f32(x) for x in (0.3, 0.3, 0.0, 0.0, 1.0)]
V = [f32(x) for x in (0.01, 0.02, 0.0, 0.0, 0.0)]
pairs = {(0, 1): (4, 0.3, 0.001, 0.05), (0, 2): (4, 0.2, 0.5, -0.02), (0, 3): (0, 0, 0, 0),
         (0, 4): (3, 0.6, 0.01, 0.1), (1, 2): (2, 1.0, 0.01, 0.2), (1, 3): (5, 0.4, 0.002, 0.0),
         (1, 4): (4, 0.5, 0.01, 0.2), (2, 3): (6, 0.4, 0.003, 0.25), (2, 4): (3, 0.5, 0.002, -0.5),
         (3, 4): (0, 0, 0, 0)}
n = {k: v[0] for k, v in pairs.items()}
D = {k: f32(v[1]) for k, v in pairs.items()}
VD = {k: f32(v[2]) for k, v in pairs.items()}
HB = {k: f32(v[3]) for k, v in pairs.items()}
nei, fst = distances(5, n, H, V, D, VD, HB)
print("=" * 20, "hand-made pairs")
print({k: "%.9g" % v for k, v in nei.items()})
print({k: "%.9g" % v for k, v in fst.items()})
names = ["LongPopulationName", "Pop", "abcdefghij", "x", "y"]
print(repr(block(names, 5, nei, False)))
print(repr(block(names, 5, fst, False)))
print(repr(block(names, 5, fst, True, "\n\n")))
