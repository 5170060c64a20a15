// RunModule: parse the image, pick the entry procedures, run them, unload.
#include "sim/lsrun/runner.h"

#include <exception>

#include "lsobject/ls_script_module.h"
#include "sim/lsrun/machine.h"

namespace quillet {
namespace {

using lsrun::Machine;
using lsrun::Status;

// The entries to run, in order; false with a message when a named entry is
// missing.
bool Entries(const lsrun::ModuleView& view, const RunOptions& options, std::vector<uint32_t>& out,
             std::string& error) {
  if (options.entry.empty()) {
    for (size_t at : {header::kInitializeSub, header::kTerminateSub}) {
      const uint16_t handle = view.HeaderU16(at);
      if (handle != 0) out.push_back(view.Resolve(handle));
    }
    return true;
  }
  for (uint32_t offset : view.ModuleScope()) {
    const uint16_t k = view.KindAt(offset);
    if ((k == lsrun::kind::kSub || k == lsrun::kind::kFunction) && lsrun::SameName(view.NameAt(offset), options.entry)) {
      out.push_back(offset);
      return true;
    }
  }
  error = "the module has no procedure named '" + options.entry + "'";
  return false;
}

void Run(std::span<const uint8_t> image, const RunOptions& options, RunResult& result) {
  CLSScriptModule module;
  if (!module.Parse(image)) {
    result.error = "the image is not a readable compiled module";
    return;
  }
  std::vector<uint32_t> entries;
  if (!Entries(lsrun::ModuleView(module), options, entries, result.error)) return;
  Machine machine(module, options);
  machine.Load();
  Status s = Status::kOk;
  for (uint32_t entry : entries) {
    s = machine.RunProcedure(entry);
    if (s != Status::kOk) break;
  }
  const Status unloaded = machine.Unload();
  if (s == Status::kOk || s == Status::kEnd) s = unloaded;
  result.output = machine.output();
  result.steps = machine.steps();
  result.ok = s == Status::kOk || s == Status::kEnd;
  if (!result.ok) result.error = machine.error();
}

}  // namespace

RunResult RunModule(std::span<const uint8_t> image, const RunOptions& options) noexcept {
  RunResult result;
  try {
    Run(image, options, result);
  } catch (const std::exception& e) {
    result = RunResult{};
    result.error = std::string("internal error: ") + e.what();
  } catch (...) {
    result = RunResult{};
    result.error = "internal error";
  }
  return result;
}

}  // namespace quillet
