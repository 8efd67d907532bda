#!/usr/bin/env python3
"""Advance widths of the printable ASCII characters in the two faces most often
behind the generic "sans-serif" family, DejaVu Sans and Liberation Sans (whose
metrics are those of Arial and Helvetica), in thousandths of an em: the larger of
the two, rounded up.  They are the width table of src/report/figures/figure_layout.cpp.
Reads the fonts' cmap (format 4) and hmtx tables directly; Debian packages
fonts-dejavu-core and fonts-liberation2."""
import struct, sys, math
def widths(path):
    data = open(path,'rb').read()
    num = struct.unpack('>H', data[4:6])[0]
    tables = {}
    for i in range(num):
        tag, cs, off, ln = struct.unpack('>4sIII', data[12+16*i:28+16*i])
        tables[tag.decode()] = (off, ln)
    upem = struct.unpack('>H', data[tables['head'][0]+18:tables['head'][0]+20])[0]
    nhm = struct.unpack('>H', data[tables['hhea'][0]+34:tables['hhea'][0]+36])[0]
    hoff = tables['hmtx'][0]
    adv = [struct.unpack('>H', data[hoff+4*i:hoff+4*i+2])[0] for i in range(nhm)]
    coff = tables['cmap'][0]
    n = struct.unpack('>H', data[coff+2:coff+4])[0]
    sub = None
    for i in range(n):
        pid, eid, off = struct.unpack('>HHI', data[coff+4+8*i:coff+12+8*i])
        if pid == 3 and eid == 1: sub = coff + off
    fmt, ln = struct.unpack('>HH', data[sub:sub+4])
    assert fmt == 4
    segx2 = struct.unpack('>H', data[sub+6:sub+8])[0]; seg = segx2//2
    ends = struct.unpack('>%dH'%seg, data[sub+14:sub+14+segx2])
    starts = struct.unpack('>%dH'%seg, data[sub+16+segx2:sub+16+2*segx2])
    deltas = struct.unpack('>%dh'%seg, data[sub+16+2*segx2:sub+16+3*segx2])
    roff_pos = sub+16+3*segx2
    roffs = struct.unpack('>%dH'%seg, data[roff_pos:roff_pos+segx2])
    def gid(c):
        for i in range(seg):
            if starts[i] <= c <= ends[i]:
                if roffs[i] == 0: return (c + deltas[i]) & 0xFFFF
                p = roff_pos + 2*i + roffs[i] + 2*(c - starts[i])
                g = struct.unpack('>H', data[p:p+2])[0]
                return (g + deltas[i]) & 0xFFFF if g else 0
        return 0
    out = {}
    for c in range(32, 127):
        g = gid(c); a = adv[min(g, nhm-1)]
        out[c] = a * 1000.0 / upem
    return out
a = widths('/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf')
b = widths('/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf')
m = [math.ceil(max(a[c], b[c])) for c in range(32,127)]
for i in range(0, 95, 16):
    print('    ' + ', '.join('%d' % v for v in m[i:i+16]) + ',')
