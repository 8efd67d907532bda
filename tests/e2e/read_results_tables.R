# Reads every table of a results folder with read.delim's defaults and writes,
# for each, "file<TAB>rows<TAB>columns", then the populations of
# populations.tsv, one a line (UTF-8), to the file named second; reads every
# Newick file with ape::read.tree and writes "file<TAB>tip" for each tip to
# the file named third.  Used by tests/e2e/results_safety_test.cpp.
args <- commandArgs(trailingOnly = TRUE)
folder <- args[1]
out <- file(args[2], open = "w", encoding = "UTF-8")
for (f in sort(list.files(folder, pattern = "\\.tsv$"))) {
  d <- read.delim(file.path(folder, f), encoding = "UTF-8")
  writeLines(paste(f, nrow(d), ncol(d), sep = "\t"), out)
}
p <- read.delim(file.path(folder, "populations.tsv"), encoding = "UTF-8")
writeLines(enc2utf8(as.character(p$population)), out, useBytes = TRUE)
close(out)
library(ape)
trees <- file(args[3], open = "w", encoding = "UTF-8")
for (f in sort(list.files(folder, pattern = "\\.nwk$"))) {
  t <- read.tree(file.path(folder, f))
  writeLines(enc2utf8(paste(f, t$tip.label, sep = "\t")), trees, useBytes = TRUE)
}
close(trees)
