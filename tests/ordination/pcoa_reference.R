# Expected principal coordinates for pcoa_test.cpp, from R's cmdscale (stats)
# and ape's pcoa.  Run from the repository root:
#   Rscript tests/ordination/pcoa_reference.R > tests/data/ordination/pcoa_reference.txt
# Per case, whitespace-separated: name n axes ape_count, the n x n distances,
# cmdscale's n eigenvalues, ape's Eigenvalues and Relative_eig (ape_count each),
# cmdscale's points (n x axes, row after row).
suppressMessages(library(ape))
set.seed(15)
profiles <- matrix(rbinom(14 * 30, 1, 0.4), 14, 30)
profiles[14, ] <- profiles[3, ]                          # a duplicate individual: distance 0
few_loci <- matrix(rbinom(9 * 3, 1, 0.5), 9, 3)            # rank 3: three positive axes
random_d <- matrix(runif(64, 0.5, 2), 8, 8)              # violates Euclidean embedding
ties_d <- matrix(sample(1:3, 49, replace = TRUE), 7, 7)  # three distinct distances
symmetric <- function(m) { m[lower.tri(m)] <- t(m)[lower.tri(m)]; diag(m) <- 0; m }
cases <- list(profiles = as.matrix(dist(profiles)), few_loci = as.matrix(dist(few_loci)),
              non_euclidean = symmetric(random_d), ties = symmetric(ties_d))
out <- function(x) cat(sprintf("%.17g", x), "\n")
for (name in names(cases)) {
  d <- cases[[name]]
  n <- nrow(d)
  eig <- suppressWarnings(cmdscale(d, n - 1, eig = TRUE))$eig
  axes <- min(10, n - 1, sum(eig > sqrt(.Machine$double.eps) * max(abs(eig))))
  gaps <- diff(eig[1:(axes + 1)])
  stopifnot(all(abs(gaps) > 1e-3 * max(abs(eig))))      # distinct leading eigenvalues: axes unique up to sign
  fit <- cmdscale(d, axes, eig = TRUE)
  ape <- pcoa(d)$values
  cat(name, n, axes, nrow(ape), "\n")
  out(d); out(fit$eig); out(ape$Eigenvalues); out(ape$Relative_eig); out(t(fit$points))
}
