// Derived classes: which procedure a method call runs on an instance of a
// class that overrides it, and the chain of a class's bases.
#include <cctype>
#include <memory>

#include "sim/lsrun/machine.h"

namespace quillet::lsrun {
namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    if (std::toupper(static_cast<unsigned char>(a[k])) != std::toupper(static_cast<unsigned char>(b[k]))) return false;
  }
  return true;
}

}  // namespace

std::vector<const ClassInfo*> Machine::ClassChain(uint32_t classOffset) {
  std::vector<const ClassInfo*> chain;
  for (uint32_t at = classOffset; at != 0; at = chain.back()->base) {
    const ClassInfo* cls = ClassAt(at);
    if (cls == nullptr || chain.size() == kMaxClassChain) return {};
    chain.push_back(cls);
  }
  return chain;
}

ClassRuntime& Machine::RuntimeOf(uint32_t classOffset) {
  if (ClassRuntime* recent = recentRuntimes_.Find(classOffset)) return *recent;
  std::unique_ptr<ClassRuntime>& held = runtimes_[classOffset];
  if (held == nullptr) {
    held = std::make_unique<ClassRuntime>();
    ClassRuntime& r = *held;
    r.chain = ClassChain(classOffset);
    if (!r.chain.empty()) {
      r.memberDefaults.assign(r.chain.front()->slots, Value());
      for (const ClassInfo* c : r.chain) {
        AddDefaults(c->members, r.memberDefaults, r.freshMembers);
        if (r.ctor == 0) r.ctor = c->ctor;
        if (c->dtor != 0) r.dtors.push_back({c->dtor, nullptr});
      }
    }
  }
  recentRuntimes_.At(classOffset) = {classOffset, held.get()};
  return *held;
}

uint32_t Machine::Override(uint32_t classOffset, uint32_t proc) {
  const uint64_t key = (uint64_t{classOffset} << 32) | proc;
  if (auto it = overrides_.find(key); it != overrides_.end()) return it->second;
  uint32_t chosen = proc;
  ProcedureInfo info;
  if (view_.ReadProcedure(proc, info) && info.ownerClass != classOffset) {
    // From the instance's class up to the method's own: the first of the
    // same name and kind, and for a Property the same side (its Get and Set
    // share name and kind; the Set carries flag 0x0200).
    const uint16_t side = view_.FlagsAt(proc) & symbol::kSetAccessor;
    for (const ClassInfo* cls : ClassChain(classOffset)) {
      if (cls->offset == info.ownerClass) break;
      bool found = false;
      for (uint32_t m : cls->methods) {
        const bool sameSide = info.kind != kind::kProperty || (view_.FlagsAt(m) & symbol::kSetAccessor) == side;
        if (view_.KindAt(m) == info.kind && sameSide && SameName(view_.NameAt(m), info.name)) {
          chosen = m;
          found = true;
          break;
        }
      }
      if (found) break;
    }
  }
  overrides_.emplace(key, chosen);
  return chosen;
}

}  // namespace quillet::lsrun
