// Timer entries registered as runner natives.
#include "sim/client/timer_natives.h"

#include "hook/hooks.h"
#include "hook/quillet_app.h"
#include "sim/lsrun/errors.h"

namespace quillet::sim {
namespace {

inline constexpr size_t kFunctionTimerArgs = 6;
inline constexpr size_t kLineTimerArgs = 7;

// The 16-bit words the entries take, as the exported functions read their
// 32-bit argument slots.
uint32_t Word(const lsrun::Value& v) { return static_cast<uint16_t>(v.n()); }
int32_t Signed(const lsrun::Value& v) { return static_cast<int16_t>(v.n()); }

}  // namespace

void AddTimerEntries(RunOptions& options) {
  options.timerEntries = false;
  options.natives.Register(std::string(kModuleName), "KVXFunctionTimer",
                           [](std::span<const lsrun::Value> a, lsrun::Value&) {
                             if (a.size() != kFunctionTimerArgs) return lsrun::err::kErrorInLoadingDll;
                             KVXFunctionTimer(Word(a[0]), Word(a[1]), Word(a[2]), Word(a[3]), Word(a[4]),
                                              Signed(a[5]));
                             return 0;
                           });
  options.natives.Register(std::string(kModuleName), "KVXLineTimer",
                           [](std::span<const lsrun::Value> a, lsrun::Value&) {
                             if (a.size() != kLineTimerArgs) return lsrun::err::kErrorInLoadingDll;
                             KVXLineTimer(Word(a[0]), Word(a[1]), Word(a[2]), Word(a[3]), Word(a[4]), Signed(a[5]),
                                          Signed(a[6]));
                             return 0;
                           });
}

}  // namespace quillet::sim
