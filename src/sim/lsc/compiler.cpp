// The compiler driver: parse, resolve, generate every procedure, write the
// module image. Nothing escapes as an exception.
#include "sim/lsc/compiler.h"

#include <algorithm>
#include <exception>

#include "sim/lsc/codegen.h"
#include "sim/lsc/module_writer.h"
#include "sim/lsc/parser.h"
#include "sim/lsc/resolver.h"
#include "util/line_breaks.h"

namespace quillet {
namespace {

// Line markers carry 16-bit line numbers and 0xFFFF means "synthetic".
constexpr size_t kMaxLines = 0xFFFE;

bool Compile(std::string_view source, std::vector<uint8_t>& image, std::vector<CompileError>& errors) {
  if (CountLineBreaks(source) >= kMaxLines) {
    errors.push_back({static_cast<int>(kMaxLines), 1, "source has more than 65534 lines"});
    return false;
  }
  lsc::Module module;
  lsc::ModuleSymbols syms;
  if (!lsc::ParseModule(source, module, errors)) return false;
  if (!lsc::ResolveModule(module, syms, errors)) return false;
  std::vector<lsc::CompiledProcedure> procs;
  auto generate = [&](const lsc::Symbol* p) {
    procs.emplace_back();
    procs.back().sym = p;
    lsc::GenerateProcedure(*p, procs.back().code, procs.back().labelIndex);
    if (module.compareText) procs.back().code.UseTextComparisons();
  };
  for (const lsc::Symbol* p : syms.procs) generate(p);
  for (const lsc::Symbol* c : syms.classes) {
    for (const lsc::Symbol* m : c->members) {
      if (m->kind == lsc::SymKind::kProc) generate(m);
    }
  }
  return lsc::WriteModuleImage(syms, procs, image, errors);
}

}  // namespace

bool CompileLotusScript(std::string_view source, std::vector<uint8_t>& image, std::vector<CompileError>& errors) {
  image.clear();
  errors.clear();
  bool ok = false;
  try {
    ok = Compile(source, image, errors);
  } catch (const std::exception& e) {
    errors.push_back({0, 0, std::string("internal compiler error: ") + e.what()});
  } catch (...) {
    errors.push_back({0, 0, "internal compiler error"});
  }
  if (!ok || !errors.empty()) {
    if (errors.empty()) errors.push_back({0, 0, "internal compiler error"});
    image.clear();
    return false;
  }
  return true;
}

}  // namespace quillet
