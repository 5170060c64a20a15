// An independent rendering of the control-structure marking passes, used to
// check that compiled loops, Ifs and Selects are classified as intended.
#pragma once

#include <set>
#include <stdexcept>

#include "instrument/opcodes.h"
#include "sim/lsc/code.h"

namespace quillet::lsc::testing {

inline int IndexAt(const InstructionList& l, int target) {
  for (size_t i = 0; i < l.size(); ++i) {
    if (l[i]->offset == target) return static_cast<int>(i);
  }
  throw std::out_of_range("Invalid jump target");
}

template <class T>
T* As(const std::unique_ptr<COpCode>& p) {
  return dynamic_cast<T*>(p.get());
}

inline int CondTarget(const COpCode& in) {
  if (auto* z = dynamic_cast<const OpJZ*>(&in)) return z->offset + 3 + z->relTarget;
  return in.offset + 3 + static_cast<const OpJNZ&>(in).relTarget;
}

inline void MarkControlStructures(InstructionList& l, const std::set<int>& labelOffsets) {
  const int n = static_cast<int>(l.size());
  for (auto& in : l) {  // 1
    if (auto* j = As<OpJmp>(in); j && !labelOffsets.count(j->target())) j->setKind(3);
  }
  for (auto& in : l) {  // 2, 3
    if (!As<OpJZ>(in) && !As<OpJNZ>(in)) continue;
    const int t = CondTarget(*in);
    if (t >= in->offset) continue;
    if (auto* sep = As<OpStmtSep>(l[IndexAt(l, t)])) {
      sep->mark = 1;
      if (auto* z = As<OpJZ>(in)) z->mark = 1;
      if (auto* z = As<OpJNZ>(in)) z->mark = 1;
    }
  }
  for (auto& in : l) {  // 4
    auto* j = As<OpJmp>(in);
    if (!j || j->target() >= j->offset) continue;
    const int i = IndexAt(l, j->target());
    auto* sep = As<OpStmtSep>(l[i]);
    if (!sep) continue;
    j->setKind(1);
    if (i + 1 < n && (As<OpLine>(l[i + 1]) || As<OpStmtSep>(l[i + 1]))) {
      sep->mark = 1;
    } else {
      for (int k = i + 1; k < n; ++k) {
        if (auto* z = As<OpJZ>(l[k])) { z->mark = 2; break; }
        if (auto* z = As<OpJNZ>(l[k])) { z->mark = 2; break; }
      }
    }
  }
  for (auto& in : l) {  // 5
    auto* j = As<OpJmp>(in);
    if (!j || j->kind() != 3) continue;
    const auto& p = l[IndexAt(l, j->target()) - 1];
    if (p->opcode() == kOpNext) j->setKind(5);
    else if (p->opcode() == kOpNextForAll) j->setKind(6);
    else if ((As<OpJmp>(p) && As<OpJmp>(p)->kind() == 1) || (As<OpJNZ>(p) && As<OpJNZ>(p)->mark == 1) ||
             (As<OpJZ>(p) && As<OpJZ>(p)->mark == 1))
      j->setKind(7);
  }
  for (int i = 0; i < n; ++i) {  // 6
    auto* j = As<OpJmp>(l[i]);
    if (!j || j->kind() != 3) continue;
    int k = IndexAt(l, j->target());
    if (As<OpStmtSep>(l[k])) ++k;
    for (; k < n; ++k) {
      const auto& x = l[k];
      if (As<OpLine>(x) || As<OpStmtSep>(x) || As<OpJZ>(x) || As<OpJNZ>(x)) break;
      if (auto* back = As<OpJmp>(x)) {
        if (i + 1 < n && back->target() == l[i + 1]->offset) {
          j->setKind(8);
          back->setKind(9);
        }
        break;
      }
    }
  }
  for (int j = 0; j < n; ++j) {  // 7
    const auto& x = l[j];
    const COpCode* next = j + 1 < n ? l[j + 1].get() : nullptr;
    if (auto* z = As<OpJZ>(x); z && next && dynamic_cast<const OpPop*>(next)) z->mark = 3;
    if (auto* z = As<OpJNZ>(x); z && next && next->opcode() == kOpDup) z->mark = 3;
    if (auto* jmp = As<OpJmp>(x); jmp && next && dynamic_cast<const OpPop*>(next)) {
      jmp->setKind(2);
      const auto& t = l[IndexAt(l, jmp->target())];
      if (auto* line = As<OpLine>(t)) line->annotations.emplace_back(jmp->offset, "End Select");
      if (auto* sep = As<OpStmtSep>(t)) sep->mark = 3;
    }
    if (x->opcode() == kOpDup && j > 1) {
      auto* before = As<OpJmp>(l[j - 2]);
      if (!before || before->kind() == 8) {
        if (auto* line = As<OpLine>(l[j - 1])) line->isCaseLine = 1;
        if (auto* sep = As<OpStmtSep>(l[j - 1])) sep->mark = 4;
      }
    }
    if (auto* pop = As<OpPop>(x); pop && j > 0 && !As<OpJmp>(l[j - 1]) && !As<OpJZ>(l[j - 1])) pop->mark = 1;
  }
  for (int j = 0; j < n; ++j) {  // 8
    auto* z = As<OpJZ>(l[j]);
    if (!z || j + 1 >= n || !(As<OpLine>(l[j + 1]) || As<OpStmtSep>(l[j + 1]))) continue;
    if (CondTarget(*z) < z->offset || z->mark != 0) continue;
    z->mark = 4;
    const int t = IndexAt(l, CondTarget(*z));
    auto* p = As<OpJmp>(l[t - 1]);
    const bool overElse = p && p->kind() == 3;
    const int e = overElse ? IndexAt(l, p->target()) - 1 : t;
    auto* eLine = As<OpLine>(l[e]);
    auto* eSep = As<OpStmtSep>(l[e]);
    if (!eLine && !eSep) {
      z->mark = 0;
      continue;
    }
    if (overElse) p->setKind(4);
    if (e + 1 < n) {
      const int v = l[e + 1]->offset;
      for (int k = t - 2; k >= 0; --k) {
        if (auto* q = As<OpJmp>(l[k]); q && q->kind() == 4 && q->target() == v) {
          q->setKind(3);
          break;
        }
      }
    }
    if (eLine) {
      bool has = false;
      for (auto& a : eLine->annotations) has = has || a.second == "End If";
      if (has) z->mark = 5;
      else eLine->annotations.emplace_back(z->offset, "End If");
    } else if (eSep->mark == 2) {
      z->mark = 5;
    } else {
      eSep->mark = 2;
    }
  }
}

}  // namespace quillet::lsc::testing
