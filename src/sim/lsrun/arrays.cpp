// Arrays of several dimensions: bounds text, subscripts and Preserve.
#include "sim/lsrun/arrays.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "sim/lsrun/errors.h"
#include "sim/lsrun/operators.h"

namespace quillet::lsrun {
namespace {

bool ReadNumber(std::string_view& text, int32_t& out) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, out);
  if (ec != std::errc() || p == text.data()) return false;
  text.remove_prefix(static_cast<size_t>(p - text.data()));
  return true;
}

bool Expect(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

}  // namespace

bool ParseArrayBounds(std::string_view text, size_t maxElements, std::vector<ArrayBound>& out) {
  out.clear();
  uint64_t total = 1;
  do {
    ArrayBound b;
    int32_t upper = 0;
    if (!ReadNumber(text, b.lower) || !Expect(text, ':') || !ReadNumber(text, upper)) return false;
    const int64_t count = int64_t{upper} - b.lower + 1;
    if (count < 1 || out.size() == kMaxArrayDims) return false;
    total *= static_cast<uint64_t>(count);
    if (total > maxElements) return false;
    b.count = static_cast<int32_t>(count);
    out.push_back(b);
  } while (Expect(text, ','));
  return text.empty();
}

int ElementPosition(const ArrayRep& rep, const Value* subscripts, size_t count, size_t& position) {
  if (count != rep.dims.size()) return err::kSubscriptOutOfRange;
  size_t at = 0;
  size_t stride = 1;
  for (size_t d = 0; d < count; ++d) {
    int32_t i = 0;
    if (int e = ToLong(subscripts[d], i)) return e;
    const int64_t offset = int64_t{i} - rep.dims[d].lower;
    if (offset < 0 || offset >= rep.dims[d].count) return err::kSubscriptOutOfRange;
    at += static_cast<size_t>(offset) * stride;
    stride *= static_cast<size_t>(rep.dims[d].count);
  }
  if (at >= rep.items.size()) return err::kSubscriptOutOfRange;  // a never-sized array
  position = at;
  return 0;
}

int PreserveInto(const ArrayRep& old, ArrayRep& fresh) {
  if (old.items.empty()) return 0;
  if (old.dims.size() != fresh.dims.size()) return err::kSubscriptOutOfRange;
  if (fresh.dims.size() == 1) {
    const size_t keep = std::min(old.items.size(), fresh.items.size());
    for (size_t k = 0; k < keep; ++k) {
      if (int e = Convert(old.items[k], fresh.element, fresh.items[k])) return e;
    }
    return 0;
  }
  // Walk the new array's subscripts (as offsets from each lower bound) and
  // copy each element the old array has at the same offsets.
  std::vector<int32_t> offset(fresh.dims.size(), 0);
  for (size_t k = 0; k < fresh.items.size(); ++k) {
    size_t from = 0, stride = 1;
    bool inside = true;
    for (size_t d = 0; d < offset.size(); ++d) {
      if (offset[d] >= old.dims[d].count) inside = false;
      from += static_cast<size_t>(offset[d]) * stride;
      stride *= static_cast<size_t>(old.dims[d].count);
    }
    if (inside) {
      if (int e = Convert(old.items[from], fresh.element, fresh.items[k])) return e;
    }
    for (size_t d = 0; d < offset.size() && ++offset[d] == fresh.dims[d].count; ++d) offset[d] = 0;
  }
  return 0;
}

ArrayRep* CopyOfArray(const ArrayRep& array) {
  auto* copy = new ArrayRep(array.dims, array.element);
  copy->dynamic = array.dynamic;
  copy->record = array.record;
  for (size_t i = 0; i < array.items.size(); ++i) {
    const ArrayRep* inner = array.items[i].array();
    copy->items[i] = inner != nullptr ? Value::Array(CopyOfArray(*inner)) : array.items[i];
  }
  return copy;
}

}  // namespace quillet::lsrun
