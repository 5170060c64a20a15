// The stand-in's host and its memory handles.
#include "standin_host.h"

#include <algorithm>

namespace quillet::standin {
namespace {

struct State {
  std::mutex mu;
  std::unique_ptr<sim::ScopedSimHost> scoped;
  std::map<DHANDLE, std::vector<uint8_t>> blocks;
  std::map<DHANDLE, sim::SimAcl> acls;
  std::map<std::pair<uint32_t, uint32_t>, DHANDLE> valueBlocks;  // (note, item) -> block
  DHANDLE next = kFirstMemoryHandle;
};

State& state() {
  static State s;
  return s;
}

DHANDLE NextHandleLocked(State& s) { return s.next == 0 ? 0 : s.next++; }

}  // namespace

sim::SimHost* Host() {
  State& s = state();
  std::lock_guard guard(s.mu);
  return s.scoped ? &s.scoped->host() : nullptr;
}

bool Start() {
  State& s = state();
  std::lock_guard guard(s.mu);
  if (!s.scoped) s.scoped = std::make_unique<sim::ScopedSimHost>();
  return true;
}

void Stop() {
  State& s = state();
  std::lock_guard guard(s.mu);
  s.scoped.reset();
  s.blocks.clear();
  s.acls.clear();
  s.valueBlocks.clear();
}

DHANDLE NewBlock(size_t size) { return NewBlock(std::vector<uint8_t>(size, 0)); }

DHANDLE NewBlock(std::span<const uint8_t> bytes) {
  State& s = state();
  std::lock_guard guard(s.mu);
  const DHANDLE handle = NextHandleLocked(s);
  if (handle != 0) s.blocks.emplace(handle, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  return handle;
}

uint8_t* LockBlock(DHANDLE handle, size_t* size) {
  State& s = state();
  std::lock_guard guard(s.mu);
  auto found = s.blocks.find(handle);
  if (found == s.blocks.end()) return nullptr;
  if (size != nullptr) *size = found->second.size();
  return found->second.data();
}

bool FreeBlock(DHANDLE handle) {
  State& s = state();
  std::lock_guard guard(s.mu);
  std::erase_if(s.valueBlocks, [&](const auto& entry) { return entry.second == handle; });
  return s.blocks.erase(handle) + s.acls.erase(handle) > 0;
}

DHANDLE ValueBlock(ItemId item, std::span<const uint8_t> value) {
  State& s = state();
  std::lock_guard guard(s.mu);
  const auto key = std::make_pair(item.note, item.item);
  if (auto found = s.valueBlocks.find(key); found != s.valueBlocks.end()) {
    s.blocks[found->second].assign(value.begin(), value.end());
    return found->second;
  }
  const DHANDLE handle = NextHandleLocked(s);
  if (handle == 0) return 0;
  s.blocks.emplace(handle, std::vector<uint8_t>(value.begin(), value.end()));
  s.valueBlocks.emplace(key, handle);
  return handle;
}

void ReleaseValueBlocks(uint32_t note) {
  State& s = state();
  std::lock_guard guard(s.mu);
  for (auto entry = s.valueBlocks.begin(); entry != s.valueBlocks.end();) {
    if (entry->first.first != note) {
      ++entry;
      continue;
    }
    s.blocks.erase(entry->second);
    entry = s.valueBlocks.erase(entry);
  }
}

DHANDLE NewAclBlock(const sim::SimAcl& acl) {
  State& s = state();
  std::lock_guard guard(s.mu);
  const DHANDLE handle = NextHandleLocked(s);
  if (handle != 0) s.acls.emplace(handle, acl);
  return handle;
}

sim::SimAcl* AclOf(DHANDLE handle) {
  State& s = state();
  std::lock_guard guard(s.mu);
  auto found = s.acls.find(handle);
  return found == s.acls.end() ? nullptr : &found->second;
}

uint16_t CopyOut(std::string_view text, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const size_t length = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return static_cast<uint16_t>(length);
}

}  // namespace quillet::standin
