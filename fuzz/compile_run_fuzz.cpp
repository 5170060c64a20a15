// LotusScript source: the compiler either refuses it with diagnostics or
// gives a module that parses; that module then runs under tight limits of
// steps, time, string length and call depth.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsc/compiler.h"
#include "sim/lsrun/runner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  std::vector<uint8_t> image;
  std::vector<quillet::CompileError> errors;
  if (!quillet::CompileLotusScript(source, image, errors)) {
    FUZZ_CHECK(!errors.empty() && image.empty());
    return 0;
  }
  FUZZ_CHECK(errors.empty());
  quillet::CLSScriptModule module;
  FUZZ_CHECK(module.Parse(image));

  quillet::RunOptions options;
  options.maxSteps = 20'000;
  options.maxSeconds = 2;
  options.maxStringLength = 1 << 16;
  options.maxCallDepth = 64;
  options.timerEntries = false;
  const quillet::RunResult result = quillet::RunModule(image, options);
  FUZZ_CHECK(result.ok || !result.error.empty());
  return 0;
}
