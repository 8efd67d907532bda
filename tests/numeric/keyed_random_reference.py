#!/usr/bin/env python3
"""Reference values for tests/numeric/keyed_random_test.cpp.

An independent transcription of SplitMix64 and xoshiro256** from their
authors' published C code, with the key derivation, the bounded draw and the
shuffle as documented in src/numeric/keyed_random.hpp, in Python's exact
integers masked to 64 bits.
"""
M = (1 << 64) - 1


def splitmix64(state):
    state = (state + 0x9E3779B97F4A7C15) & M
    z = state
    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & M
    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & M
    return state, z ^ (z >> 31)


def mix(z):
    return splitmix64(z)[1]


def rotl(x, k):
    return ((x << k) | (x >> (64 - k))) & M


class Xoshiro:
    def __init__(self, key):
        self.s = []
        for _ in range(4):
            key, v = splitmix64(key)
            self.s.append(v)

    def next(self):
        s = self.s
        result = (rotl((s[1] * 5) & M, 7) * 9) & M
        t = (s[1] << 17) & M
        s[2] ^= s[0]; s[3] ^= s[1]; s[1] ^= s[2]; s[0] ^= s[3]; s[2] ^= t
        s[3] = rotl(s[3], 45)
        return result

    def below(self, n):
        m = (self.next() >> 32) * n
        if (m & 0xFFFFFFFF) < n:
            threshold = (1 << 32) % n
            while (m & 0xFFFFFFFF) < threshold:
                m = (self.next() >> 32) * n
        return m >> 32


def stream_key(seed, statistic, subset, index):
    return mix(mix(mix(mix(seed) ^ statistic) ^ subset) ^ index)


state = 0
out = []
for _ in range(3):
    state, v = splitmix64(state)
    out.append(v)
print("splitmix64 from 0:", out)
print("stream_key(12345, 1, 0, 7):", stream_key(12345, 1, 0, 7))
g = Xoshiro(42)
print("xoshiro from key 42:", [g.next() for _ in range(3)])
g = Xoshiro(stream_key(12345, 1, 0, 7))
print("below 10, 3, 1000000007, 2^32 - 1:", [g.below(n) for n in (10, 3, 1000000007, 4294967295)])
g = Xoshiro(stream_key(12345, 4, 2, 0))
v = list(range(10))
for i in range(9, 0, -1):
    j = g.below(i + 1)
    v[i], v[j] = v[j], v[i]
print("shuffle of 0..9, key (12345, 4, 2, 0):", v)
