// Call-tree bookkeeping of the timer events.
#include "timing/profile_data.h"

#include <utility>

#include "platform/platform.h"

namespace quillet {

CProfileData::CProfileData()
    : CProfileData(&platform::PerformanceCounter, platform::PerformanceFrequency()) {}

CProfileData::CProfileData(CounterFn counter, int64_t frequency) : frequency_(frequency), counter_(counter) {
  frames_.resize(64);
}

CProfileData::~CProfileData() = default;

void CProfileData::Enter(const ProcedureKey& key) {
  // Inside a call that failed to open, nothing can be placed in the tree.
  if (failedDepth_ != 0) {
    ++failedDepth_;
    return;
  }
  try {
    Open(key);
  } catch (...) {
    // The throw ends the timer event, but its exit still comes: counting the
    // failed call lets that exit close it instead of its caller. A count
    // needs no memory, so it holds whether the record or the stack failed.
    ++failedDepth_;
    throw;
  }
}

void CProfileData::Open(const ProcedureKey& key) {
  const int64_t now = counter_();
  if (depth_ == frames_.size()) frames_.resize(frames_.size() * 2);
  OpenCall* parent = depth_ != 0 ? &frames_[depth_ - 1] : nullptr;
  CallRecord* r = nullptr;
  if ((parent == nullptr || parent->Record != nullptr) && pool_.BytesReserved() < memoryLimit_) {
    r = pool_.NewRecord();
    r->Key = key.Key;
    r->ProcedureId = static_cast<uint16_t>(key.ProcedureId);
    if (parent != nullptr) {
      ++parent->Record->ChildCount;
      if (parent->LastChild != nullptr) {
        parent->LastChild->NextSibling = r;
      } else {
        parent->Record->FirstChild = r;
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
  } else {
    ++dropped_;
  }
  OpenCall& call = frames_[depth_++];
  call = OpenCall{};
  call.Record = r;
  call.EntryTime = now;
}

void CProfileData::CloseLine(OpenCall& call, int64_t now) {
  pool_.LineSlot(*call.Record, call.LineCapacity, call.LineHint, call.CurrentLine).AddPass(now - call.LineStart);
}

void CProfileData::Exit() {
  const int64_t now = counter_();
  if (failedDepth_ != 0) {
    --failedDepth_;
    return;
  }
  if (depth_ == 0) return;
  OpenCall& call = frames_[--depth_];  // the record stays owned by its parent or the roots
  CallRecord* r = call.Record;
  if (r == nullptr) return;
  if (call.LineOpen != 0) CloseLine(call, now);
  pool_.FitLines(*r, call.LineCapacity);
  r->Elapsed = now - call.EntryTime;
}

void CProfileData::Line(int32_t line) {
  const int64_t now = counter_();
  if (depth_ == 0 || failedDepth_ != 0) return;
  OpenCall& call = frames_[depth_ - 1];
  if (call.Record == nullptr) return;
  if (call.LineOpen != 0) CloseLine(call, now);
  // The same reading starts the new line: the few nanoseconds of bookkeeping
  // above count toward it (finer than a tick of the usual 10 MHz Windows
  // counter), and a line event costs one reading instead of two.
  call.LineStart = now;
  call.CurrentLine = line;
  call.LineOpen = 1;
}

void CProfileData::AddProcedure(uint32_t key, ProcedureInfo info) {
  const ProcedureKey at{key, info.ProcedureId};
  info.Key = key;
  procedures_.insert_or_assign(at, std::make_unique<ProcedureInfo>(std::move(info)));
}

void CProfileData::Clear() {
  procedures_.clear();
  depth_ = 0;
  failedDepth_ = 0;
  dropped_ = 0;
  firstRoot_ = lastRoot_ = nullptr;
  rootCount_ = 0;
  pool_.Clear();
}

}  // namespace quillet
