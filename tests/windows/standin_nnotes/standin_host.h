// The stand-in nnotes.dll's one simulated host and the host memory it hands
// out: value blocks of queried items, blocks from OSMemAlloc and access
// lists read by NSFDbReadACL, each behind a handle of its own. Test-only:
// built for the Wine tests, never shipped.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/nnotes/c_api.h"
#include "config/nnotes/host_values.h"
#include "sim/scoped_sim_host.h"

// The stand-in's exports: C names, undecorated (the DLL links with --kill-at).
#define STANDIN_EXPORT extern "C" __declspec(dllexport)
// Each export keeps the prototype the binding calls it with.
#define STANDIN_CHECK(name) \
  static_assert(std::is_same_v<decltype(&::name), ::quillet::nnotes::name##Fn>, #name " differs from c_api.h")

namespace quillet::standin {

using nnotes::DHANDLE;

// The running host; null before StandInStart and after StandInStop.
sim::SimHost* Host();
bool Start();
void Stop();

// Host memory handles live apart from the host's database and note handles.
inline constexpr DHANDLE kFirstMemoryHandle = 0x40000000;

// A new block of `size` zero bytes, or of `bytes`; 0 when out of handles.
DHANDLE NewBlock(size_t size);
DHANDLE NewBlock(std::span<const uint8_t> bytes);
// The block's bytes while the handle lives (null for an unknown handle).
uint8_t* LockBlock(DHANDLE handle, size_t* size = nullptr);
bool FreeBlock(DHANDLE handle);
// The block that holds the value of `item` (type word first), refreshed with
// `value`; the same handle for the same item until its note is closed.
DHANDLE ValueBlock(ItemId item, std::span<const uint8_t> value);
// Frees the value blocks of the items of `note`.
void ReleaseValueBlocks(uint32_t note);

// An access list read from a database, kept under a memory handle.
DHANDLE NewAclBlock(const sim::SimAcl& acl);
sim::SimAcl* AclOf(DHANDLE handle);

// Copies `text` into the C buffer of `size` bytes, always terminated; the
// number of bytes copied (the terminator not counted).
uint16_t CopyOut(std::string_view text, char* buffer, size_t size);

// Runs `body` against the host: `fallback` when no host runs or the body
// throws, since nothing may escape into the caller.
template <typename Result, typename Body>
Result Guarded(Result fallback, Body body) {
  sim::SimHost* host = Host();
  if (host == nullptr) return fallback;
  try {
    return body(*host);
  } catch (...) {
    return fallback;
  }
}

// A status body: no host answers "function not available".
template <typename Body>
StatusWord GuardedStatus(Body body) {
  return Guarded<StatusWord>(kErrFunctionNotAvailable, [&](sim::SimHost& host) -> StatusWord { return body(host); });
}

}  // namespace quillet::standin

// The export files name the seam's and the C API's types as the C API does.
using namespace quillet;
using namespace quillet::nnotes;
using quillet::standin::CopyOut;
using quillet::standin::Guarded;
using quillet::standin::GuardedStatus;
