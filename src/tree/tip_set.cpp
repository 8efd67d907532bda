#include "tree/tip_set.hpp"

#include <bit>

namespace bandscape {

int TipSet::count() const {
  int total = 0;
  for (std::uint64_t w : words_) total += std::popcount(w);
  return total;
}

TipSet& TipSet::operator|=(const TipSet& other) {
  for (std::size_t k = 0; k < words_.size(); ++k) words_[k] |= other.words_[k];
  return *this;
}

TipSet TipSet::complement() const {
  TipSet out = *this;
  for (auto& w : out.words_) w = ~w;
  // Clear the bits beyond the last tip so that equal sets compare equal.
  if (tips_ % 64 != 0) out.words_.back() &= (std::uint64_t{1} << (tips_ % 64)) - 1;
  return out;
}

bool TipSet::is_subset_of(const TipSet& other) const {
  for (std::size_t k = 0; k < words_.size(); ++k) {
    if (words_[k] & ~other.words_[k]) return false;
  }
  return true;
}

int TipSet::first() const {
  for (std::size_t k = 0; k < words_.size(); ++k) {
    if (words_[k]) return static_cast<int>(k * 64) + std::countr_zero(words_[k]);
  }
  return tips_;
}

std::size_t TipSet::hash() const {
  std::uint64_t h = 0x9e3779b97f4a7c15ULL ^ static_cast<std::uint64_t>(tips_);
  for (std::uint64_t w : words_) {
    h ^= w + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  }
  return static_cast<std::size_t>(h);
}

}  // namespace bandscape
