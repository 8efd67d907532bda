# Reference values for the spatial analyses (tests/spatial/*_test.cpp), from
# R: vegan::mantel for the Mantel tests, geosphere::distGeo for geodesic
# distances on WGS84, and direct transcriptions of the formulas of the
# autocorrelation (Smouse & Peakall 1999) and of the dominant-marker kinship
# with Sp (Hardy 2003; Vekemans & Hardy 2004).
#
#   Rscript tests/data/spatial/spatial_reference.R > tests/data/spatial/spatial_reference.txt
#
# Output, one block per data set:
#   dataset NAME
#   n N                       individuals
#   loci L
#   scores                    then N lines of L characters 0/1 (9 missing)
#   xy                        then N lines "x_km y_km" (planar)
#   mantel_km r slope intercept vegan_p        band differences against km
#   mantel_ln pairs r slope intercept          against ln km, 0-km pairs left out
#   limits u_1 ... u_H        upper limits of the classes
#   autocorrelation H lines "pairs r"
#   equal_classes H' lines "lower upper pairs r" (10 classes of equal counts)
#   fis F
#   kinship P values, pairs (i<j) row after row
#   kinship_classes H lines "pairs mean"
#   sp b F1 Sp se_Sp
#   end
# and one block of geodesic distances:
#   geodesic lat1 lon1 lat2 lon2 km
# (left out where geosphere is not installed: the rest needs vegan only).
suppressPackageStartupMessages(library(vegan))
f <- function(v) paste(sprintf("%.17g", v), collapse = " ")

# Smouse & Peakall's r for each class of pairs (upper limits, half-open, the
# last one closed, first from 0).
class_of <- function(g, limits) {
  h <- findInterval(g, limits, left.open = FALSE) + 1  # pairs at a limit go above
  h[g == limits[length(limits)]] <- length(limits)
  h[g > limits[length(limits)]] <- NA
  h
}
autocorrelation <- function(D, G, limits) {
  n <- nrow(D)
  C <- -0.5 * (D - outer(rowMeans(D), rep(1, n)) - outer(rep(1, n), colMeans(D)) + mean(D))
  up <- which(upper.tri(D), arr.ind = TRUE)
  up <- up[order(up[, 1], up[, 2]), ]
  h <- class_of(G[up], limits)
  cij <- C[up]
  den <- diag(C)[up[, 1]] + diag(C)[up[, 2]]
  t(sapply(seq_along(limits), function(k) {
    s <- which(h == k)
    c(length(s), 2 * sum(cij[s]) / sum(den[s]))
  }))
}
equal_limits <- function(G, count = 10) {
  g <- sort(G[upper.tri(G)])
  P <- length(g)
  starts <- 0
  for (h in 1:(count - 1)) {
    s <- g[floor(h * P / count) + 1]
    if (s > starts[length(starts)]) starts <- c(starts, s)
  }
  upper <- c(starts[-1], g[P])
  if (length(upper) >= 2 && upper[length(upper) - 1] == upper[length(upper)]) {
    upper <- upper[-length(upper)]
    starts <- starts[-length(starts)]
  }
  list(lower = starts, upper = upper)
}

# Kinship at Fis F over the loci with 0 < a < 1; X is N x L with NA missing.
kinship_parts <- function(X, F) {
  scored <- colSums(!is.na(X))
  a <- colSums(X == 0, na.rm = TRUE) / scored
  keep <- scored >= 2 & a > 0 & a < 1
  X <- X[, keep, drop = FALSE]; a <- a[keep]; nl <- scored[keep]
  s <- sqrt(F^2 + 4 * (1 - F) * a)
  h2 <- 2 / (1 + F) * (s + F) / (s + 2 - F)
  D <- a * (1 - a) * h2
  Z <- sweep(X, 2, 1 - a)  # a where present, -(1 - a) where absent
  S <- !is.na(X)
  Z[!S] <- 0
  list(Z = Z, S = S * 1, D = D, nl = nl)
}
kinship_matrix <- function(parts, F, drop = 0) {
  Z <- parts$Z; S <- parts$S; D <- parts$D; nl <- parts$nl
  if (drop > 0) { Z <- Z[, -drop, drop = FALSE]; S <- S[, -drop, drop = FALSE]; D <- D[-drop]; nl <- nl[-drop] }
  num <- Z %*% t(Z) + S %*% diag(D / (nl - 1), length(D)) %*% t(S)
  den <- S %*% diag(D, length(D)) %*% t(S)
  num / den * (1 + F) / 2
}
sp_statistics <- function(K, G, h) {
  up <- upper.tri(K)
  k <- K[up]; g <- G[up]; hh <- h
  use <- g > 0 & is.finite(k)
  b <- coef(lm(k[use] ~ log(g[use])))[2]
  F1 <- mean(k[which(hh == 1 & is.finite(k))])
  c(b, F1, -b / (1 - F1))
}

emit <- function(name, X, xy, limits, F) {
  n <- nrow(X); L <- ncol(X)
  cat("dataset", name, "\n")
  cat("n", n, "\nloci", L, "\nscores\n")
  Xc <- X; Xc[is.na(Xc)] <- 9
  for (i in 1:n) cat(paste(Xc[i, ], collapse = ""), "\n", sep = "")
  cat("xy\n")
  for (i in 1:n) cat(f(xy[i, ]), "\n")
  G <- as.matrix(dist(xy))
  # Band differences (complete data only): the squared Euclidean distance.
  Xd <- X; Xd[is.na(Xd)] <- 0
  D <- as.matrix(dist(Xd))^2
  m <- mantel(as.dist(D), as.dist(G), permutations = 9999)
  fit <- coef(lm(as.dist(D) ~ as.dist(G)))
  cat("mantel_km", f(c(m$statistic, fit[2], fit[1], m$signif)), "\n")
  dv <- as.vector(as.dist(D)); gv <- as.vector(as.dist(G)); use <- gv > 0
  fit <- coef(lm(dv[use] ~ log(gv[use])))
  cat("mantel_ln", sum(use), f(c(cor(dv[use], log(gv[use])), fit[2], fit[1])), "\n")
  cat("limits", f(limits), "\n")
  a <- autocorrelation(D, G, limits)
  cat("autocorrelation", nrow(a), "\n")
  for (k in 1:nrow(a)) cat(a[k, 1], f(a[k, 2]), "\n")
  e <- equal_limits(G)
  a <- autocorrelation(D, G, e$upper)
  cat("equal_classes", nrow(a), "\n")
  for (k in 1:nrow(a)) cat(f(c(e$lower[k], e$upper[k])), a[k, 1], f(a[k, 2]), "\n")
  cat("fis", f(F), "\n")
  parts <- kinship_parts(X, F)
  K <- kinship_matrix(parts, F)
  up <- which(upper.tri(K), arr.ind = TRUE)
  up <- up[order(up[, 1], up[, 2]), ]
  cat("kinship", f(K[up]), "\n")
  h <- class_of(G[upper.tri(G)], limits)
  cat("kinship_classes", length(limits), "\n")
  kv <- K[upper.tri(K)]
  for (k in seq_along(limits)) {
    s <- which(h == k & is.finite(kv))
    cat(length(s), f(mean(kv[s])), "\n")
  }
  st <- sp_statistics(K, G, h)
  Lk <- length(parts$D)
  jack <- sapply(1:Lk, function(l) sp_statistics(kinship_matrix(parts, F, l), G, h)[3])
  se <- sqrt((Lk - 1) / Lk * sum((jack - mean(jack))^2))
  cat("sp", f(c(st, se)), "\n")
  cat("end\n")
}

set.seed(2603)
# Structured: 5 sites along a transect, 8 individuals each, band frequencies
# drifting along it; two individuals of each site share its exact location.
sites <- cbind(c(0, 3, 7, 12, 20), c(0, 1, -1, 2, 0))
n <- 40; L <- 60
site <- rep(1:5, each = 8)
xy <- sites[site, ] + matrix(rnorm(2 * n, sd = 0.4), n, 2)
xy[seq(2, n, by = 8), ] <- xy[seq(1, n, by = 8), ]
p0 <- runif(L, 0.2, 0.8); p1 <- runif(L, 0.2, 0.8)
p <- t(sapply(1:n, function(i) { w <- sites[site[i], 1] / 20; (1 - w) * p0 + w * p1 }))
X <- matrix(as.integer(runif(n * L) < p), n, L)
emit("structured", X, xy, c(1, 3, 6, 10, 25), 0.1)
# Unstructured: the same locations, scores independent of them, a few scores
# missing (kinship only: the band differences of the block count them as 0).
X <- matrix(as.integer(runif(n * L) < 0.5), n, L)
emit("unstructured", X, xy, c(1, 3, 6, 10, 25), 0)
X[sample(n * L, 60)] <- NA
emit("missing", X, xy, c(1, 3, 6, 10, 25), 0.25)

pts <- rbind(c(40.6, -73.8, 51.6, -0.5), c(0, 0, 0, 1), c(0, 0, 90, 0), c(-33.9, 151.2, 51.5, -0.1),
             c(47.37, 8.54, 47.38, 8.55), c(-45, 179.9, -45, -179.9), c(10, 20, 10, 20))
if (requireNamespace("geosphere", quietly = TRUE)) {
  for (k in 1:nrow(pts)) {
    cat("geodesic", f(pts[k, ]), f(geosphere::distGeo(pts[k, 1:2][2:1], pts[k, 3:4][2:1]) / 1000), "\n")
  }
}
