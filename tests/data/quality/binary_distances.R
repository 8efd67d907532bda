# Oracle for the binary distances between individuals (tests/quality/
# binary_distances_test.cpp): a random complete 0/1 matrix (9 individuals, 25
# loci) and its distances from vegan and ade4.  Run from this folder:
#   Rscript binary_distances.R
# vegdist(binary = TRUE, "jaccard") is 1 - a/(a+b+c); ade4's dist.binary
# returns sqrt(1 - S) with method 1 Jaccard, 5 Dice (Sorensen) and 2 simple
# matching (Sokal & Michener), so the test squares those.
suppressMessages({ library(vegan); library(ade4) })
set.seed(2704)
X <- matrix(rbinom(9 * 25, 1, 0.45), nrow = 9)
X[1, ] <- X[2, ]          # two identical profiles: distance 0
X[3, ] <- 1 - X[4, ]      # two complementary profiles: a = d = 0
write.table(X, "binary_profiles.tsv", sep = "\t", row.names = FALSE, col.names = FALSE)
lower <- function(d) { m <- as.matrix(d); m[lower.tri(m)] }
idx <- which(lower.tri(matrix(0, 9, 9)), arr.ind = TRUE)
out <- data.frame(
  i = idx[, "col"] - 1, j = idx[, "row"] - 1,  # from 0, i < j
  jaccard_vegan = lower(vegdist(X, method = "jaccard", binary = TRUE)),
  jaccard_ade4 = lower(dist.binary(X, method = 1)),
  dice_ade4 = lower(dist.binary(X, method = 5)),
  simple_matching_ade4 = lower(dist.binary(X, method = 2)))
write.table(format(out, digits = 17), "binary_distances.tsv", sep = "\t", row.names = FALSE, quote = FALSE)
