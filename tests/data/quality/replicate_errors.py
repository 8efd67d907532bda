"""Oracle for the replicate error rates and the consensus merge
(tests/quality/replicates_test.cpp), written from the definitions of Bonin
et al. (2004): per pair of replicate profiles, the loci scored in both are
compared, a mismatch is a band in one and none in the other, and the error
rate is mismatches / comparisons; every pair of a group of more than two;
per locus and overall summed over the pairs.  Consensus merge: a score on
which every scored replicate agrees is kept, a disagreement is missing.

Makes, from a fixed seed: replicates_data.txt (native data file: 2
populations, 30 loci, 13 samples), replicates_groups.tsv (sample, individual),
and the expected replicate_pairs.tsv, replicate_loci.tsv, replicate_overall.tsv
and replicates_consensus.txt (the merged profiles, one line per individual).
Run from this folder: python3 replicate_errors.py
"""
import random

rng = random.Random(2004)
LOCI = 30
# sample name, population, individual it replicates (None: not replicated)
samples = [
    ("A_r1", "north", "A"), ("A_r2", "north", "A"), ("A_r3", "north", "A"),
    ("B_r1", "north", "B"), ("X1", "north", None), ("B_r2", "north", "B"),
    ("C_r1", "north", "C"), ("C_r2", "north", "C"),
    ("X2", "south", None), ("D_r1", "south", "D"), ("D_r2", "south", "D"),
    ("X3", "south", None), ("X4", "south", None),
]
truth = {}
profiles = []
for name, pop, individual in samples:
    key = individual or name
    if key not in truth:
        truth[key] = [1 if rng.random() < 0.5 else 0 for _ in range(LOCI)]
    row = list(truth[key])
    if individual in ("A", "B", "D"):
        for u in range(LOCI):  # about 10% missing
            if rng.random() < 0.1:
                row[u] = 9
    profiles.append(row)
# Planted mismatches: flip a few scored cells of later replicates.
planted = {"A_r2": [0, 5, 11], "A_r3": [5, 20], "B_r2": [3, 4, 29], "D_r2": [7]}
for k, (name, _, _) in enumerate(samples):
    for u in planted.get(name, []):
        if profiles[k][u] == 9:
            profiles[k][u] = 1
        profiles[k][u] = 1 - profiles[k][u]

with open("replicates_data.txt", "w") as f:
    f.write("2\t%d\t" % LOCI + "\t".join("L%d" % (u + 1) for u in range(LOCI)) + "\n")
    for (name, pop, _), row in zip(samples, profiles):
        f.write("%s\t%s\t%s\n" % (pop, name, "\t".join(str(s) for s in row)))
    f.write("END\n")
with open("replicates_groups.tsv", "w") as f:
    f.write("sample\tindividual\n")
    for name, _, individual in samples:
        if individual:
            f.write("%s\t%s\n" % (name, individual))

groups = {}
for k, (name, _, individual) in enumerate(samples):
    if individual:
        groups.setdefault(individual, []).append(k)

def rate(mismatches, comparisons):
    return "NA" if comparisons == 0 else repr(mismatches / comparisons)

locus_c = [0] * LOCI
locus_m = [0] * LOCI
pairs = []
for individual, rows in groups.items():
    for x in range(len(rows)):
        for y in range(x + 1, len(rows)):
            a, b = profiles[rows[x]], profiles[rows[y]]
            c = m = 0
            for u in range(LOCI):
                if a[u] == 9 or b[u] == 9:
                    continue
                c += 1
                locus_c[u] += 1
                if a[u] != b[u]:
                    m += 1
                    locus_m[u] += 1
            pairs.append((individual, samples[rows[x]][0], samples[rows[y]][0], c, m))
with open("replicate_pairs.tsv", "w") as f:
    f.write("individual\tsample_a\tsample_b\tcomparisons\tmismatches\terror_rate\n")
    for individual, sa, sb, c, m in pairs:
        f.write("%s\t%s\t%s\t%d\t%d\t%s\n" % (individual, sa, sb, c, m, rate(m, c)))
with open("replicate_loci.tsv", "w") as f:
    f.write("locus\tcomparisons\tmismatches\terror_rate\n")
    for u in range(LOCI):
        f.write("L%d\t%d\t%d\t%s\n" % (u + 1, locus_c[u], locus_m[u], rate(locus_m[u], locus_c[u])))
total_c = sum(p[3] for p in pairs)
total_m = sum(p[4] for p in pairs)
with open("replicate_overall.tsv", "w") as f:
    f.write("comparisons\tmismatches\terror_rate\n%d\t%d\t%s\n" % (total_c, total_m, rate(total_m, total_c)))

with open("replicates_consensus.txt", "w") as f:
    done = set()
    for k, (name, pop, individual) in enumerate(samples):
        if individual in done:
            continue
        if individual is None:
            row, label = profiles[k], name
        else:
            done.add(individual)
            label = individual
            row = []
            for u in range(LOCI):
                scored = {profiles[r][u] for r in groups[individual] if profiles[r][u] != 9}
                row.append(scored.pop() if len(scored) == 1 else 9)
        f.write("%s\t%s\t%s\n" % (pop, label, "\t".join(str(s) for s in row)))
