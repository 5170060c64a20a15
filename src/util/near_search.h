// lower_bound started from a position near the answer: jump targets lie
// mostly close to their jump, so a search from the jump's own place reads a
// few nearby entries instead of halving a whole procedure's arrays.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace quillet {

// std::lower_bound(first, last, value) over a sorted range, found by
// doubling steps away from `hint` and then halving: O(log d) for an answer
// d places from the hint. A hint outside [first, last] searches from `first`.
template <typename It, typename T>
It LowerBoundNear(It first, It last, It hint, const T& value) {
  if (hint < first || hint > last) hint = first;
  size_t step = 1;
  if (hint == last || !(*hint < value)) {
    // The answer is at or before the hint.
    It hi = hint;
    while (hi > first) {
      const It lo = static_cast<size_t>(hi - first) > step ? hi - static_cast<std::ptrdiff_t>(step) : first;
      if (*lo < value) return std::lower_bound(std::next(lo), hi, value);
      hi = lo;
      step *= 2;
    }
    return first;
  }
  // The answer is after the hint.
  It lo = std::next(hint);
  while (lo < last) {
    const It hi = static_cast<size_t>(last - lo) > step ? lo + static_cast<std::ptrdiff_t>(step) : last;
    if (hi == last || !(*hi < value)) return std::lower_bound(lo, hi, value);
    lo = std::next(hi);
    step *= 2;
  }
  return last;
}

}  // namespace quillet
