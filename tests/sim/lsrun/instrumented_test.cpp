// A compiled module rewritten through the module model the way the
// instrumentation rewrites one (timer declarations, the timer class with its
// NEW and DELETE bodies, entry code in a profiled Sub, a line call), then
// serialised and run.
#include <gtest/gtest.h>

#include "bytecode/opcodes.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsrun/run_helpers.h"

namespace quillet {
namespace {

template <typename T, typename... Args>
void Add(InstructionList& list, Args... args) {
  list.push_back(std::make_unique<T>(args...));
}

TEST(RunInstrumented, InjectedClassDeclarationsAndEntryCodeReportEveryCall) {
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(testing::Compile("Sub Work\n  Print \"w\"\nEnd Sub\n"
                                       "Sub Initialize\n  Work\n  Work\nEnd Sub\n")));
  std::vector<ProcedureDescriptor> procs;
  m.ListProcedures(procs);
  uint32_t work = 0;
  for (const ProcedureDescriptor& p : procs) {
    if (p.codeOffset == 0) work = p.symbol;  // the first procedure compiled
  }
  ASSERT_NE(work, 0u);

  const std::vector<uint32_t> six(6, 0x0801), seven(7, 0x0801);
  const uint32_t fn = m.FindOrAddDeclaration("KVXFunctionTimer", "KVXFunctionTimer", "nquillet", six);
  const uint32_t line = m.FindOrAddDeclaration("KVXLineTimer", "KVXLineTimer", "nquillet", seven);
  const uint32_t cls = m.FindOrAddClass("CKVXTimerManager");
  ASSERT_TRUE(fn != 0 && line != 0 && cls != 0);
  const auto symbols = m.SymbolTable().Data();
  const uint16_t ctor = LoadU16(symbols.data() + cls + 84);
  const uint16_t dtor = LoadU16(symbols.data() + cls + 86);
  const char* params[] = {"dwFnName_low", "dwFnName_high", "dwFnId", "dwNoteID_low", "dwNoteID_hi"};
  const char* members[] = {"dwFnName_low", "dwFnName_high", "dwFnId", "dwNoteID_low", "dwNoteID_high"};
  uint16_t p[5], mem[5];
  for (int i = 0; i < 5; ++i) p[i] = static_cast<uint16_t>(m.AddConstructorParameter(ctor, params[i]));
  for (int i = 0; i < 5; ++i) mem[i] = static_cast<uint16_t>(m.AddMemberVariable(cls, members[i]));

  auto timerCall = [&](InstructionList& list, int16_t type) {
    Add<OpLine>(list, uint16_t{0xFFFF});
    Add<OpLoadProc>(list, static_cast<uint16_t>(fn));
    for (uint16_t h : mem) Add<OpTLoadObj>(list, h);
    Add<OpInteger>(list, type);
    Add<OpCallProc>(list);
  };
  InstructionList newBody, deleteBody, entry;
  for (int i = 0; i < 5; ++i) {
    Add<OpLine>(newBody, uint16_t{0xFFFF});
    Add<OpTLoadObjPtr>(newBody, mem[i]);
    Add<OpPLoadObj>(newBody, p[i]);
    Add<OpAssign>(newBody);
  }
  timerCall(newBody, 1);
  timerCall(deleteBody, 2);
  ASSERT_TRUE(m.InsertAtProcedureStart(ctor, newBody));
  ASSERT_TRUE(m.InsertAtProcedureStart(dtor, deleteBody));

  const uint16_t v = static_cast<uint16_t>(m.AddLocalVariable(work, "KVXTimerMgr", cls));
  Add<OpLine>(entry, uint16_t{0xFFFF});
  Add<OpLLoadObjPtr>(entry, v);
  Add<OpLoadCtor>(entry, static_cast<uint16_t>(cls));
  for (int16_t w : {int16_t{0x1234}, int16_t{-1}, static_cast<int16_t>(work), int16_t{42}, int16_t{0}}) {
    Add<OpInteger>(entry, w);
  }
  Add<OpCallProc>(entry);
  Add<OpSet>(entry);
  Add<OpStmtSep>(entry);
  Add<OpLine>(entry, uint16_t{0xFFFF});
  Add<OpLoadProc>(entry, static_cast<uint16_t>(line));
  for (int16_t w : {int16_t{0x1234}, int16_t{-1}, static_cast<int16_t>(work), int16_t{42}, int16_t{0}, int16_t{3},
                    int16_t{2}}) {
    Add<OpInteger>(entry, w);
  }
  Add<OpCallProc>(entry);
  Add<OpStmtSep>(entry);
  ASSERT_TRUE(m.InsertAtProcedureStart(work, entry));
  const std::vector<uint8_t> rewritten = m.Serialize();

  std::vector<std::vector<int32_t>> calls;
  RunOptions options;
  options.natives.Register("nquillet", "KVXFunctionTimer", [&](std::span<const lsrun::Value> a, lsrun::Value&) {
    calls.push_back({a[0].n(), a[1].n(), a[2].n(), a[3].n(), a[4].n(), a[5].n()});
    return 0;
  });
  options.natives.Register("nquillet", "KVXLineTimer", [&](std::span<const lsrun::Value> a, lsrun::Value&) {
    calls.push_back({a[2].n(), a[5].n(), a[6].n()});
    return 0;
  });
  const RunResult r = RunModule(rewritten, options);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.output, "w\nw\n");
  const int32_t id = static_cast<int16_t>(work);
  const std::vector<int32_t> enter = {0x1234, -1, id, 42, 0, 1}, leave = {0x1234, -1, id, 42, 0, 2};
  const std::vector<int32_t> lineCall = {id, 3, 2};
  EXPECT_EQ(calls, (std::vector<std::vector<int32_t>>{enter, lineCall, leave, enter, lineCall, leave}));
}

}  // namespace
}  // namespace quillet
