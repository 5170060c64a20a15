// Call-tree bookkeeping of the timer events.
#include "timing/profile_data.h"

#include <utility>

#include "platform/platform.h"

namespace quillet {

CProfileData::CProfileData()
    : CProfileData(&platform::PerformanceCounter, platform::PerformanceFrequency()) {}

CProfileData::CProfileData(CounterFn counter, int64_t frequency) : frequency_(frequency), counter_(counter) {
  callStack_.reserve(64);
}

CProfileData::~CProfileData() = default;

void CProfileData::Enter(const ProcedureKey& key) {
  const int64_t now = counter_();
  CallRecord* r = pool_.NewRecord();
  r->Key = key.Key;
  r->ProcedureId = key.ProcedureId;
  r->EntryTime = now;
  if (!callStack_.empty()) {
    CallRecord* parent = callStack_.back();
    if (parent->LastChild != nullptr) {
      parent->LastChild->NextSibling = r;
    } else {
      parent->FirstChild = r;
    }
    parent->LastChild = r;
  } else {
    r->IsRoot = 1;
    if (lastRoot_ != nullptr) {
      lastRoot_->NextSibling = r;
    } else {
      firstRoot_ = r;
    }
    lastRoot_ = r;
    ++rootCount_;
  }
  callStack_.push_back(r);
}

void CProfileData::CloseLine(CallRecord& r, int64_t now) {
  if (r.LineOpen == 0) return;
  LineEntry& stat = pool_.LineSlot(r.Lines, r.CurrentLine);
  stat.Count += 1;
  stat.Total += now - r.LineStart;
  r.CurrentLine = kNoCurrentLine;
  r.LineOpen = 0;
  r.LineStart = 0;
}

void CProfileData::Exit() {
  const int64_t now = counter_();
  if (callStack_.empty()) return;
  CallRecord& r = *callStack_.back();
  CloseLine(r, now);
  r.Elapsed = now - r.EntryTime;
  callStack_.pop_back();  // the record stays owned by its parent or the roots
}

void CProfileData::Line(int32_t line) {
  const int64_t now = counter_();
  if (callStack_.empty()) return;
  CallRecord& r = *callStack_.back();
  CloseLine(r, now);
  // The new line starts after the bookkeeping, from a second reading.
  r.LineStart = counter_();
  r.CurrentLine = line;
  r.LineOpen = 1;
}

void CProfileData::AddProcedure(uint32_t key, ProcedureInfo info) {
  const ProcedureKey at{key, info.ProcedureId};
  info.Key = key;
  procedures_.insert_or_assign(at, std::make_unique<ProcedureInfo>(std::move(info)));
}

void CProfileData::Clear() {
  procedures_.clear();
  callStack_.clear();
  firstRoot_ = lastRoot_ = nullptr;
  rootCount_ = 0;
  pool_.Clear();
}

}  // namespace quillet
