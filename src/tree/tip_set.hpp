// Sets of tips, as bits packed in 64-bit words: the clades and the splits
// (bipartitions) of a tree.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bandscape {

class TipSet {
 public:
  TipSet() = default;
  // The empty set over tips 0..tips-1.
  explicit TipSet(int tips) : tips_(tips), words_((static_cast<std::size_t>(tips) + 63) / 64, 0) {}

  int tips() const { return tips_; }
  void insert(int tip) { words_[tip / 64] |= std::uint64_t{1} << (tip % 64); }
  bool contains(int tip) const { return (words_[tip / 64] >> (tip % 64)) & 1; }
  int count() const;
  TipSet& operator|=(const TipSet& other);
  // The tips not in the set.
  TipSet complement() const;
  // The side of the split {set, complement} that does not hold tip 0: one
  // name for a bipartition whichever side a tree shows.
  TipSet split_side() const { return contains(0) ? complement() : *this; }
  bool is_subset_of(const TipSet& other) const;
  // The smallest tip in the set (tips() when empty).
  int first() const;
  std::size_t hash() const;

  bool operator==(const TipSet&) const = default;
  std::strong_ordering operator<=>(const TipSet&) const = default;

 private:
  int tips_ = 0;
  std::vector<std::uint64_t> words_;
};

struct TipSetHash {
  std::size_t operator()(const TipSet& set) const { return set.hash(); }
};

}  // namespace bandscape
