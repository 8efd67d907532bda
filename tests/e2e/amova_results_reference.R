# Checks the AMOVA, principal coordinates and band-pattern tables that a run
# with --results wrote against values computed here independently, with R's
# ade4 (amova), stats (cmdscale) and plain R for the band counts.  The expected
# files in tests/data/e2e/expected/results_* were written by the program and
# accepted after this script reported them equal; its output is stored beside
# them as r_check.txt.  Run from the repository root:
#
#   Rscript tests/e2e/amova_results_reference.R DATA FOLDER [SUBSET] > FOLDER/r_check.txt
#
# DATA is the data file, FOLDER the results folder (with the run's report as
# FOLDER/report.txt for the Nei and Fst matrices), SUBSET the subset file whose
# groups make the AMOVA three-level.  The run must use -m 1 so that both
# Shannon columns are from the band frequencies.
#
# What is computed here:
#   - the AMOVA distance: loci with 20 * missing <= N kept; differences over
#     the kept loci scored in both, times kept / scored in both;
#   - ade4's amova on sqrt(distance) (it squares it back).  ade4 refuses a
#     distance that is not Euclidean, which the scaling for missing scores
#     can make; its check is switched off (the sums of squares do not need it);
#   - pairwise PhiPT: ade4's two-level amova on each pair's individuals;
#   - cmdscale of sqrt(distance) for the individuals and of each population
#     matrix, negative cells counted as 0; Nei and Fst as the report prints
#     them (4 decimals), so those coordinates agree to about 1e-4 only;
#   - the band patterns from their definitions.
suppressPackageStartupMessages(library(ade4))
args <- commandArgs(TRUE)
data_file <- args[1]
folder <- args[2]
subset_file <- if (length(args) >= 3) args[3] else NA

lines <- readLines(data_file)
m <- as.integer(strsplit(lines[1], "\t")[[1]][2])
rows <- strsplit(lines[-1], "\t")
rows <- rows[sapply(rows, length) >= m + 2]
pop <- sapply(rows, `[`, 1)
X <- t(sapply(rows, function(v) as.integer(v[3:(m + 2)])))
pops <- unique(pop)
r <- length(pops)
N <- nrow(X)

keep <- 20 * colSums(X == 9) <= N
Y <- X[, keep, drop = FALSE]
K <- ncol(Y)
D <- matrix(0, N, N)
for (i in 1:N) for (j in 1:N) {
  both <- Y[i, ] != 9 & Y[j, ] != 9
  D[i, j] <- sum(Y[i, both] != Y[j, both]) * K / sum(both)
}

amova_any <- ade4::amova
environment(amova_any) <- local({
  e <- new.env(parent = asNamespace("ade4"))
  e$is.euclid <- function(...) TRUE
  e
})
membership <- function(labels, levels) {
  s <- as.data.frame(sapply(levels, function(p) as.numeric(labels == p)))
  names(s) <- levels
  s
}
groups <- NULL
if (!is.na(subset_file)) {
  sub <- read.delim(subset_file, header = FALSE, skip = 1, colClasses = "character")
  groups <- factor(sub[match(pops, sub[[1]]), 2])
}
fit <- amova_any(membership(pop, pops), as.dist(sqrt(D)),
                 if (is.null(groups)) NULL else data.frame(group = groups))

report <- function(what, ours, theirs, tolerance) {
  difference <- max(abs(ours - theirs))
  cat(sprintf("%-40s max |difference| %.3g (tolerance %g)\n", what, difference, tolerance))
  if (!(difference <= tolerance)) stop(what, " differs")
}
read_table <- function(name) read.delim(file.path(folder, name), na.strings = "NA", check.names = FALSE)

amova <- read_table("amova.tsv")
levels_rows <- if (is.null(groups)) 1:3 else 1:4
components <- amova[levels_rows, ]
report("AMOVA df", components$df, fit$results$Df, 0)
report("AMOVA SS", components$ss, fit$results$"Sum Sq", 1e-9)
report("AMOVA MS", components$ms, fit$results$"Mean Sq", 1e-9)
report("AMOVA sigma2", components$sigma2, fit$componentsofcovariance$Sigma, 1e-9)
report("AMOVA percent", components$percent, fit$componentsofcovariance$"%", 1e-9)
phi <- setNames(amova$value, amova$term)
ade_phi <- fit$statphi$Phi
if (is.null(groups)) {
  report("PhiPT", phi[["PhiPT"]], ade_phi[1], 1e-9)
} else {
  report("PhiPT PhiPR PhiRT", c(phi[["PhiPT"]], phi[["PhiPR"]], phi[["PhiRT"]]), ade_phi[1:3], 1e-9)
}
report("loci used", phi[["loci_used"]], K, 0)

pairwise <- read_table("phipt_pairwise.tsv")
expected_pairs <- NULL
phipt <- matrix(0, r, r)
for (a in 1:(r - 1)) for (b in (a + 1):r) {
  rows_ab <- pop %in% pops[c(a, b)]
  f <- amova_any(membership(pop[rows_ab], pops[c(a, b)]), as.dist(sqrt(D[rows_ab, rows_ab])))
  expected_pairs <- c(expected_pairs, f$statphi$Phi[1])
  phipt[a, b] <- phipt[b, a] <- max(0, f$statphi$Phi[1])
}
report("pairwise PhiPT", pairwise$PhiPT, expected_pairs, 1e-9)

# Our axes against cmdscale's, each turned to agree in sign.
compare_ordination <- function(name, d, tolerance) {
  n <- nrow(d)
  eig <- suppressWarnings(cmdscale(d, n - 1, eig = TRUE))$eig
  ours_eig <- read_table(paste0(name, "_eigenvalues.tsv"))
  report(paste(name, "eigenvalues"), ours_eig$eigenvalue, eig, tolerance)
  # Shares of the positive eigenvalues (NA for a negative one; rounding noise
  # around 0 counts as 0, as the program reports it) and of the trace.
  clean <- ifelse(abs(eig) <= sqrt(.Machine$double.eps) * max(abs(eig)), 0, eig)
  positive <- ifelse(clean >= 0, clean / sum(clean[clean > 0]), NA)
  if (!identical(is.na(ours_eig$share), is.na(positive))) stop(name, " shares: NA elsewhere")
  report(paste(name, "shares (positive)"), ours_eig$share[!is.na(positive)], positive[!is.na(positive)], tolerance)
  report(paste(name, "shares of the trace"), ours_eig$share_of_trace, eig / sum(eig), tolerance)
  coords <- read_table(paste0(name, ".tsv"))
  axes <- grep("^axis", names(coords))
  points <- cmdscale(d, length(axes))
  ours <- as.matrix(coords[, axes])
  signs <- sign(colSums(ours * points))
  report(paste(name, "coordinates"), ours, sweep(points, 2, signs, `*`), tolerance)
}
compare_ordination("pcoa_individuals", sqrt(D), 1e-9)
compare_ordination("pcoa_phipt", phipt, 1e-9)

# The Nei and Fst blocks of the report: the r lines after each title's count line.
report_lines <- readLines(file.path(folder, "report.txt"), warn = FALSE)
block <- function(title) {
  at <- grep(title, report_lines, fixed = TRUE)[1]
  at <- at + which(trimws(report_lines[(at + 1):length(report_lines)]) == as.character(r))[1]
  values <- sapply(report_lines[(at + 1):(at + r)], function(l) as.numeric(strsplit(trimws(substring(l, 11)), " +")[[1]]))
  pmax(t(values), 0)
}
nei <- block("Nei_s genetic distance")
fst <- block("Pairwise Fst between populations")
compare_ordination("pcoa_nei", nei, 2e-3)
compare_ordination("pcoa_fst", fst, 2e-3)
compare_ordination("pcoa_reynolds", -log(1 - fst), 2e-3)

# Band patterns.
bands <- read_table("bands.tsv")
scored <- sapply(pops, function(p) colSums(X[pop == p, , drop = FALSE] != 9))
carriers <- sapply(pops, function(p) colSums(X[pop == p, , drop = FALSE] == 1))
freq <- ifelse(scored > 0, carriers / pmax(scored, 1), 0)
present <- freq > 0
common <- freq >= 0.05
populations_with <- rowSums(present)
shannon <- function(p) ifelse(p <= 0 | p >= 1, 0, -(p * log(p) + (1 - p) * log(1 - p)))
all_carriers <- rowSums(carriers)
down_weighted <- colSums(sweep(carriers, 1, pmax(all_carriers, 1), `/`))  # 0 / 1 where no carrier
individuals <- as.vector(table(factor(pop, levels = pops)))
report("bands: individuals", bands$individuals, individuals, 0)
report("bands: loci with data", bands$loci_with_data, colSums(scored > 0), 0)
report("bands: present", bands$bands_present, colSums(present), 0)
report("bands: common", bands$bands_common, colSums(common), 0)
report("bands: private", bands$private_bands, colSums(present & populations_with == 1), 0)
report("bands: locally common 25%", bands$locally_common_25, colSums(common & populations_with <= 0.25 * r), 0)
report("bands: locally common 50%", bands$locally_common_50, colSums(common & populations_with <= 0.5 * r), 0)
# Frequencies are held in single precision: Shannon's index to about 1e-7.
expected_shannon <- sapply(1:r, function(j) mean(shannon(freq[scored[, j] > 0, j])))
report("bands: Shannon (bands)", bands$shannon_bands, expected_shannon, 1e-6)
report("bands: Shannon (estimates, -m 1)", bands$shannon_estimates, expected_shannon, 1e-6)
report("bands: down-weighted", bands$down_weighted, down_weighted, 1e-12)
report("bands: down-weighted per individual", bands$down_weighted_per_individual, down_weighted / individuals, 1e-12)
cat("all values agree\n")
