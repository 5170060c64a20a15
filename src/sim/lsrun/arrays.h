// Arrays of several dimensions: the bounds text a variable entry carries,
// element positions from subscripts, and the bounds LBound/UBound report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/lsrun/value.h"

namespace quillet::lsrun {

// The most dimensions an array has, as in the language.
inline constexpr size_t kMaxArrayDims = 8;
// The most elements an array has.
inline constexpr int64_t kMaxArrayElements = 1 << 24;
// The most elements a declaration gives a fixed array (ReDim may make more).
inline constexpr size_t kMaxDeclaredElements = 16384;

// Reads "lower:upper,lower:upper..." (1 to kMaxArrayDims pairs, each upper
// not below its lower, at most `maxElements` in all); false for any other
// text.
[[nodiscard]] bool ParseArrayBounds(std::string_view text, size_t maxElements, std::vector<ArrayBound>& out);

// The position in `rep.items` of the element at `subscripts` (one per
// dimension); 0 or an error number ("Subscript out of range" for a wrong
// count or a subscript outside its bounds).
[[nodiscard]] int ElementPosition(const ArrayRep& rep, const Value* subscripts, size_t count, size_t& position);

// A new array of `bounds` that keeps the elements of `old` whose subscripts
// it still has, converted to `element`; for one dimension the elements keep
// their places from the start, as a ReDim Preserve of a list of values does.
[[nodiscard]] int PreserveInto(const ArrayRep& old, ArrayRep& fresh);

// A new array with the bounds and elements of `array` (arrays its Variant
// elements hold are copied too): what a Variant gets when an array is
// assigned to it, so that changing one does not change the other.
ArrayRep* CopyOfArray(const ArrayRep& array);

}  // namespace quillet::lsrun
