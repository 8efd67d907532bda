# Reference AMOVA values from R's ade4 for tests/amova/amova_test.cpp.
#
#   Rscript tests/amova/ade4_reference.R > tests/data/amova/ade4_reference.txt
#
# ade4's conventions (ade4 1.7-22, function amova):
#   - `samples` is a data frame of counts with one row per haplotype and one
#     column per population; here every individual is its own haplotype, so
#     it is the N x P 0/1 membership matrix.
#   - `distances` must be a "dist" object that passes is.euclid(); amova
#     squares it (as.matrix(distances)^2) before use.  Our AMOVA distance is
#     the number of differing bands, the squared Euclidean distance, so ade4
#     gets dist(scores), the Euclidean distance, which it squares back.
#   - `structures` is a data frame with one row per population (column of
#     samples) and one factor column giving its group.
#   - The sums of squares are (1 / 2n) sum_ij d_ij^2 over each set; the rows
#     of $results and $componentsofcovariance run from the highest level down
#     (between groups, between samples within groups, within samples, total);
#     $statphi lists Phi-samples-total (PhiPT), Phi-samples-group (PhiPR) and
#     Phi-group-total (PhiRT), or only Phi-samples-total for two levels.
#
# Output, one block per data set (group numbers 0-based, scores one line per
# individual in population order):
#   dataset NAME
#   sizes N_1 ... N_P
#   groups g_1 ... g_P
#   scores LOCI, then N lines of 0/1
#   two   SS_among SS_within sigma2_among sigma2_within PhiPT
#   three SS_groups SS_pops SS_within sigma2_a sigma2_b sigma2_c PhiRT PhiPR PhiPT
#   end
suppressPackageStartupMessages(library(ade4))

emit <- function(name, scores, sizes, groups) {
  P <- length(sizes)
  pop <- rep(seq_len(P), sizes)
  samples <- as.data.frame(sapply(seq_len(P), function(p) as.numeric(pop == p)))
  names(samples) <- paste0("pop", seq_len(P))
  d <- dist(scores)
  two <- amova(samples, d)
  three <- amova(samples, d, data.frame(group = factor(groups)))
  f <- function(v) paste(sprintf("%.17g", v), collapse = " ")
  cat("dataset", name, "\n")
  cat("sizes", sizes, "\n")
  cat("groups", groups, "\n")
  cat("scores", ncol(scores), "\n")
  cat(apply(scores, 1, paste, collapse = ""), sep = "\n")
  cat("two", f(c(two$results[1:2, "Sum Sq"], two$componentsofcovariance$Sigma[1:2],
                 two$statphi$Phi)), "\n")
  cat("three", f(c(three$results[1:3, "Sum Sq"], three$componentsofcovariance$Sigma[1:3],
                   three$statphi$Phi[c(3, 2, 1)])), "\n")
  cat("end\n")
}

# Structured random scores: each locus has a base band frequency shifted on
# the logit scale by a group effect and a population effect.
simulate <- function(sizes, groups, loci) {
  base <- qlogis(runif(loci, 0.15, 0.85))
  group_effect <- matrix(rnorm((max(groups) + 1) * loci, sd = 0.8), ncol = loci)
  rows <- lapply(seq_along(sizes), function(p) {
    prob <- plogis(base + group_effect[groups[p] + 1, ] + rnorm(loci, sd = 0.6))
    t(replicate(sizes[p], rbinom(loci, 1, prob)))
  })
  do.call(rbind, rows)
}

# 14 individuals in populations of 3, 4, 3 and 4, the first two in one group:
# n = 24/7, n' = 25/7, n'' = 7, sigma2 = 111/140, 59/60, 13/15.  Found by a
# local search for 0/1 profiles whose within-population, within-group and
# total difference counts give these components.
example <- c("001001101100", "001001001100", "001011001100",
             "011000001010", "111000011110", "011000001110", "011000001110",
             "000000010101", "000001010111", "000001010111",
             "000001010100", "000001010100", "011011010110", "000001011100")
emit("example14", t(sapply(strsplit(example, ""), as.numeric)), c(3, 4, 3, 4), c(0, 0, 1, 1))

set.seed(20240615)
sizes <- c(4, 7, 5, 6, 3); groups <- c(0, 1, 0, 1, 1)
emit("interleaved", simulate(sizes, groups, 30), sizes, groups)
sizes <- c(2, 5, 3, 8, 4, 6, 3); groups <- c(0, 0, 1, 1, 1, 2, 0)
emit("three_groups", simulate(sizes, groups, 60), sizes, groups)
sizes <- c(15, 12, 20, 13); groups <- c(0, 0, 1, 1)
emit("larger", simulate(sizes, groups, 200), sizes, groups)
