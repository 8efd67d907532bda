// Estimates shared between population-locus cells.
//
// The estimate of a cell depends only on its own counts (and on Fis, and for
// the non-uniform prior on the population's alpha and beta), so cells with the
// same counts get the same numbers.  The estimators compute each distinct key
// once and copy the result; an EstimateCache kept by the caller carries the
// results of one method and one Fis over many calls (all permutations of a
// resampling test), where the same counts keep coming back.
//
// Thread use: an EstimateCache is not synchronised.  Give each thread its own
// (the number of distinct keys is small, so the duplicated work is slight).
//
// A cell whose computation gave console notes (an integral that did not
// converge, a root not bracketed) shows them again each time its result is
// reused, so the console reads as if every cell had been computed, whichever
// cells a cache happened to hold.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/message_log.hpp"

namespace bandscape {

// The two outputs of one population-locus cell, as stored.
struct CellEstimate {
  float estimate = 0.0f;
  float variance = 0.0f;
};

// Whether the estimators share results between cells with equal counts
// (kShared, the normal use) or compute every cell on its own (kPerCell, for
// comparison: the outputs are bit-identical).
enum class CellSharing { kShared, kPerCell };

// Key of a cell: the scored count in the high word and a second 32-bit
// quantity (the band-absent count, or the bits of the fragment frequency) in
// the low word.
inline std::uint64_t cell_key(int scored, std::uint32_t second) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(scored)) << 32) | second;
}
inline std::uint64_t cell_key(int scored, int absent) {
  return cell_key(scored, static_cast<std::uint32_t>(absent));
}
inline std::uint64_t cell_key(int scored, float fraction) {
  std::uint32_t bits;
  std::memcpy(&bits, &fraction, sizeof bits);
  return cell_key(scored, bits);
}

struct CellKeyHash {
  std::size_t operator()(std::uint64_t k) const noexcept {
    // Mix the two words so that keys differing in either spread over buckets.
    k ^= k >> 29;
    k *= 0xbf58476d1ce4e5b9ULL;
    k ^= k >> 32;
    return static_cast<std::size_t>(k);
  }
};

// The cells computed so far, and aside from them the console notes of the
// few whose computation gave any, so that the lookups of the hot path stay
// on 8-byte values and look for notes only when some cell has them.
struct CellMemo {
  std::unordered_map<std::uint64_t, CellEstimate, CellKeyHash> cells;
  std::unordered_map<std::uint64_t, std::vector<std::string>, CellKeyHash> notes;

  std::size_t size() const { return cells.size(); }
  void clear() {
    cells.clear();
    notes.clear();
  }
};

// Passes every message on to `target` and keeps a copy of the console notes.
class NoteKeeper : public MessageLog {
 public:
  explicit NoteKeeper(MessageLog& target) : target_(target) {}
  void echo(const std::string& text) override { target_.echo(text); }
  void echo_about(int population, const std::string& text) override { target_.echo_about(population, text); }
  void append(const std::string& text) override { target_.append(text); }
  void console(const std::string& text) override {
    target_.console(text);
    notes.push_back(text);
  }
  std::vector<std::string> notes;

 private:
  MessageLog& target_;
};

// The first computation of the cell of `key`, kept with its notes; out of
// line, so that the lookup around it stays small enough to inline.
template <class Compute>
[[gnu::noinline]] void compute_and_keep(CellMemo& memo, std::uint64_t key, MessageLog& log, float& estimate,
                                        float& variance, Compute& compute) {
  NoteKeeper keeper(log);
  compute(static_cast<MessageLog&>(keeper), estimate, variance);
  memo.cells.emplace(key, CellEstimate{estimate, variance});
  if (!keeper.notes.empty()) memo.notes.emplace(key, std::move(keeper.notes));
}

// Reuse of kept notes: shown again through `log` as if computed anew.
[[gnu::noinline]] inline void repeat_notes(const CellMemo& memo, std::uint64_t key, MessageLog& log) {
  const auto noted = memo.notes.find(key);
  if (noted == memo.notes.end()) return;
  for (const std::string& note : noted->second) log.console(note);
}

// The cell of `key`: the first time compute(log, estimate, variance) fills the
// two outputs and they are kept in `memo` with the notes the computation gave;
// later the kept values are copied and the notes shown again through `log`.
template <class Compute>
inline void memoised_cell(CellMemo& memo, std::uint64_t key, MessageLog& log, float& estimate, float& variance,
                          Compute&& compute) {
  const auto found = memo.cells.find(key);
  if (found == memo.cells.end()) {
    compute_and_keep(memo, key, log, estimate, variance, compute);
    return;
  }
  if (!memo.notes.empty()) repeat_notes(memo, key, log);
  estimate = found->second.estimate;
  variance = found->second.variance;
}

// Results of the square-root (method 2) or uniform-prior (method 3) estimator
// for one Fis value, kept across calls.  An estimator refuses (std::invalid_argument)
// a cache made for another method or Fis.
class EstimateCache {
 public:
  EstimateCache(int method, float fis) : method_(method), fis_(fis) {}
  int method() const { return method_; }
  float fis() const { return fis_; }
  // True when this cache was made for `method` and exactly this Fis value.
  bool serves(int method, float fis) const {
    return method == method_ && std::memcmp(&fis, &fis_, sizeof fis) == 0;
  }
  std::size_t size() const { return memo_.size(); }
  void clear() { memo_.clear(); }
  CellMemo& memo() { return memo_; }

 private:
  int method_;
  float fis_;
  CellMemo memo_;
};

}  // namespace bandscape
