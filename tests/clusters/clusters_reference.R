# Expected values for the cluster, DAPC and assignment tests, from adegenet
# 2.1 (dapc, find.clusters), MASS and stats::kmeans, and the assignment
# log-likelihoods written out from their formula.  Run from the repository root:
#   Rscript tests/clusters/clusters_reference.R > tests/data/clusters/clusters_reference.txt
# The K-means check reads the program's own final centres from
# tests/data/clusters/kmeans_centres.txt, written by
#   BANDSCAPE_WRITE_CENTRES=tests/data/clusters/kmeans_centres.txt \
#     ./build/bandscape_tests --gtest_filter='GeneticClusters.*'
# One value list per line: a name, then whitespace-separated numbers.
suppressMessages(library(adegenet))
set.seed(28)
out <- function(name, x) cat(name, sprintf("%.17g", as.vector(x)), "\n")

# Three populations of 20, 25 and 15 individuals over 80 loci: band
# frequencies drawn around a common value, one locus without bands.
sizes <- c(20, 25, 15)
m <- 80
base <- runif(m, 0.15, 0.85)
freq <- sapply(1:3, function(p) pmin(pmax(base + rnorm(m, 0, 0.2), 0.02), 0.98))
complete <- do.call(rbind, lapply(1:3, function(p) t(replicate(sizes[p], rbinom(m, 1, freq[, p])))))
complete[, 17] <- 0
missing <- complete
missing[sample(length(missing), 0.03 * length(missing))] <- NA
pop <- factor(rep(c("A", "B", "C"), sizes), levels = c("A", "B", "C"))
n <- nrow(complete)

for (case in c("complete", "missing")) {
  x <- get(case)
  colnames(x) <- sprintf("L%02d", 1:m)
  rownames(x) <- sprintf("i%02d", 1:n)
  g <- suppressWarnings(df2genind(x, ploidy = 1, type = "PA", pop = pop))
  scores <- x
  scores[is.na(scores)] <- 9
  out(paste0(case, ".sizes"), sizes)
  out(paste0(case, ".scores"), t(scores))

  d <- dapc(g, pop, n.pca = 10, n.da = 2)
  out(paste0(case, ".kept_loci"), match(locNames(g), colnames(x)) - 1)  # df2genind drops locus 17
  out(paste0(case, ".pca_eig"), d$pca.eig)
  out(paste0(case, ".pca_scores"), t(as.matrix(d$tab)))
  out(paste0(case, ".pca_loadings"), t(d$pca.loadings))
  out(paste0(case, ".dapc_eig"), d$eig)
  out(paste0(case, ".dapc_coord"), t(d$ind.coord))
  out(paste0(case, ".dapc_posterior"), t(d$posterior))
  out(paste0(case, ".dapc_contr"), t(d$var.contr))
  out(paste0(case, ".dapc_assign"), as.integer(d$assign) - 1)
  d1 <- dapc(g, pop, n.pca = 10, n.da = 1)
  out(paste0(case, ".dapc1_posterior"), t(d1$posterior))

  for (pcs in c(10, n)) {
    f <- suppressWarnings(find.clusters(g, n.pca = pcs, method = "ward", max.n.clust = 10, choose.n.clust = FALSE,
                       criterion = "min"))
    out(paste0(case, ".ward", pcs, "_bic"), f$Kstat)
  }
}

# Fewer loci than individuals: the first 30 loci of the complete set.
few <- complete[, 1:30]
colnames(few) <- sprintf("L%02d", 1:30)
d <- dapc(suppressWarnings(df2genind(few, ploidy = 1, type = "PA", pop = pop)), pop, n.pca = 8, n.da = 2)
out("few_loci.pca_eig", d$pca.eig)
out("few_loci.pca_scores", t(as.matrix(d$tab)))

# K-means on the first 10 components of the complete set: the lowest WSS R
# finds from 500 random starts per K, and R's Hartigan-Wong run from the
# program's final centres for the K it chose.
xu <- as.matrix(dapc(suppressWarnings(df2genind(complete, ploidy = 1, type = "PA", pop = pop)), pop, n.pca = 10, n.da = 2)$tab)
# Each axis turned as the program turns it: the first individual with a
# clearly non-zero score scores positive.
xu <- apply(xu, 2, function(v) if (v[which(abs(v) > 1e-6 * max(abs(v)))[1]] < 0) -v else v)
best <- sapply(2:10, function(k) kmeans(xu, k, nstart = 500, iter.max = 1000)$tot.withinss)
out("kmeans.best_wss", best)
centres_file <- "tests/data/clusters/kmeans_centres.txt"
if (file.exists(centres_file)) {
  ours <- scan(centres_file, quiet = TRUE)
  k <- ours[1]
  start <- matrix(ours[-1], k, ncol(xu), byrow = TRUE)
  fit <- kmeans(xu, start, iter.max = 1000)
  out("kmeans.from_ours", c(k, fit$tot.withinss, n * log(fit$tot.withinss / n) + k * log(n)))
}

# Assignment log-likelihoods, leave-one-out band frequencies with 0 and 1
# replaced by (b + 1) / (n + 2).
assignment <- function(x, sizes) {
  p_of <- rep(seq_along(sizes), sizes)
  ll <- matrix(0, nrow(x), length(sizes))
  for (i in seq_len(nrow(x))) {
    for (p in seq_along(sizes)) {
      rows <- which(p_of == p & seq_len(nrow(x)) != i)
      for (l in which(!is.na(x[i, ]))) {
        v <- x[rows, l]
        b <- sum(v, na.rm = TRUE)
        s <- sum(!is.na(v))
        f <- if (b == 0 || b == s) (b + 1) / (s + 2) else b / s
        ll[i, p] <- ll[i, p] + x[i, l] * log(f) + (1 - x[i, l]) * log(1 - f)
      }
    }
  }
  ll
}
small <- rbind(c(1, 0, 1, NA), c(1, 1, 0, 0), c(1, 0, NA, 1),
               c(0, 1, 0, 1), c(0, 1, 1, 1), c(NA, 0, 0, 1), c(0, 1, 0, NA))
small_scores <- small
small_scores[is.na(small_scores)] <- 9
out("small.sizes", c(3, 4))
out("small.scores", t(small_scores))
out("small.assignment_ll", t(assignment(small, c(3, 4))))
out("missing.assignment_ll", t(assignment(missing, sizes)))
