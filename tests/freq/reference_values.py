# Independent reference values for tests/freq/bayes_estimator_test.cpp (python3, no packages).
import math, struct
def f32(x): return struct.unpack('f', struct.pack('f', x))[0]
C = [76.18009172947146, -86.50532032941678, 24.01409824083091, -1.231739572450155, 0.001208650973866179, -0.000005395239384953]
def lnG(x):
    y = x; tmp = x + 5.5; tmp -= (x + 0.5) * math.log(tmp); ser = 1.000000000190015
    for c in C:
        y += 1; ser += c / y
    return math.log(2.5066282746310007 * ser / x) - tmp
def B(z, w):  # float intermediates as the single-precision beta function keeps them
    z = f32(z); w = f32(w); zw = f32(z + w)
    lz = f32(lnG(z)); ratio = f32(lz - lnG(zw))
    return math.exp(ratio + lnG(w))
def m3(X, N):
    w = N - X + 1.0; d = B(X + 0.5, w); mean = B(X + 1.0, w) / d; m2 = B(X + 1.5, w) / d
    return f32(1 - mean), f32(m2 - mean * mean)
def m4(X, N, a, b):
    s = X + a; w = (N - X) + b; d = B(f32(s), w)
    mean = B(f32(s + 0.5), w) / d; m2 = B(f32(s + 1.0), w) / d
    return f32(1 - mean), f32(m2 - mean * mean)
def prior(cells):
    SX = sum(x for x, n in cells); SN = sum(n for x, n in cells); SQ = sum(x * x / n for x, n in cells if n)
    mu = SX / SN; s2 = SQ / SN - mu * mu
    v = (1 - mu) * mu / s2 - 1
    return mu * v, (1 - mu) * v
print('m3 N=1 X=0', ['%.9g' % v for v in m3(0, 1)])
print('m3 N=1 X=1', ['%.9g' % v for v in m3(1, 1)])
print('m3 N=0 X=0', ['%.9g' % v for v in m3(0, 0)])
a, b = prior([(2, 4), (1, 4)]); print('prior', a, b)
print('m4 (2,4)', ['%.9g' % v for v in m4(2, 4, a, b)], '(1,4)', ['%.9g' % v for v in m4(1, 4, a, b)])
print('m3 as m4 fallback X=0,N=1 via m4', ['%.9g' % v for v in m4(0, 1, 0.5, 1.0)])

def posterior(X, N, F, a, b, lower_num, lower_den, lower_sec, n=200000):
    """Posterior moments of q, integrand divided by its peak, substitution q = lo + (1 - lo) u^2."""
    e1 = X + a - 1; e2 = N - X + b - 1
    def logk(q):
        h = (1 - F) * q * q + F * q
        return e1 * math.log(h) + (e2 * math.log(1 - h) if h < 1 else (0 if e2 == 0 else -math.inf)), 2 * q * (1 - F) + F
    grid = [i / n for i in range(n + 1)]
    ref = max(logk(0.001 + 0.998 * i / 1000)[0] for i in range(1001))
    def integral(power, lo):
        s = 0.0
        for i, u in enumerate(grid):
            q = lo + (1 - lo) * u * u
            if q <= 0: continue
            lk, hp = logk(q)
            val = math.exp(lk - ref) * hp * q ** power * 2 * (1 - lo) * u
            s += val * (1 if i in (0, n) else (4 if i % 2 else 2))
        return s / (3 * n)
    num = integral(1, lower_num); den = integral(0, lower_den); sec = integral(2, lower_sec)
    mean = num / den
    return 1 - mean, sec / den - mean * mean
print('m3 F=.3 X=1 N=1', posterior(1, 1, 0.3, 0.5, 1.0, 0, 0, 0, 20000))
print('m3 F=.3 X=0 N=1', posterior(0, 1, 0.3, 0.5, 1.0, 0.0001, 0.0001, 0, 20000))
cells = [(10, 25), (11, 25)] * 3
a, b = prior(cells); print('homog prior', a, b, a + b)
print('homog (10,25)', posterior(10, 25, 0.3, a, b, 0, 0, 0, 20000))
print('homog (11,25)', posterior(11, 25, 0.3, a, b, 0, 0, 0, 20000))
cells = [(40, 100), (41, 100)] * 2
a, b = prior(cells); print('big prior', a, b, a + b)
def m4log(X, N, a, b):
    s = X + a; w = f32((N - X) + b); a0 = f32(s)
    lb = lambda z, w: lnG(z) + lnG(w) - lnG(z + w)
    mean = math.exp(lb(f32(s + 0.5), w) - lb(a0, w)); m2 = math.exp(lb(f32(s + 1.0), w) - lb(a0, w))
    return f32(1 - mean), f32(m2 - mean * mean)
print('big (40,100)', ['%.9g' % v for v in m4log(40, 100, a, b)], '(41,100)', ['%.9g' % v for v in m4log(41, 100, a, b)])
print('big beta values', B(f32(40 + a), f32(60 + b)))
print('m3 F=.3 X=3 N=5', posterior(3, 5, 0.3, 0.5, 1.0, 0, 0, 0, 20000))
print('m3 F=.3 X=2 N=7', posterior(2, 7, 0.3, 0.5, 1.0, 0, 0, 0, 20000))
