// Hand-built module images for the runner's tests: one Sub Initialize whose
// byte code the test writes, for code the compiler never emits.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/module_builder.h"
#include "util/bytes.h"

namespace quillet::testing {

// Symbol data: checksum word, the Sub entry at 4 (152 bytes), then one local
// variable entry at 156 (frame slot 0, Variant). String data: "INITIALIZE"
// at string offset 4, "V" after it.
inline std::vector<uint8_t> InitializeImage(const std::vector<uint8_t>& code) {
  sim::ModuleDescription d;
  d.header = sim::Bytes(512, 0);
  StoreU16(d.header.data() + 4, 3);    // format level
  StoreU16(d.header.data() + 26, 4);   // Initialize sub
  StoreU16(d.header.data() + 60, 1);   // module scope 1: count, first, last
  StoreU16(d.header.data() + 64, 4);
  StoreU16(d.header.data() + 66, 4);

  sim::Bytes strings;
  ByteWriter s(strings);
  s.PutU16(0xFFFF);
  s.PutU16(10);
  for (char c : std::string("INITIALIZE")) s.PutU16(static_cast<uint8_t>(c));
  s.PutU16(0);
  s.PutU16(0);  // pad to a multiple of 4: the next entry starts at 28
  s.PutU16(0xFFFF);
  s.PutU16(1);
  s.PutU16('V');
  s.PutU16(0);
  d.strings = {strings};

  sim::Bytes symbols(4 + 152 + 16, 0);
  uint8_t* proc = symbols.data() + 4;
  StoreU16(proc, 8);         // Sub
  StoreU16(proc + 8, 4);     // name
  StoreU16(proc + 16, 1);    // locals scope: one entry at 156
  StoreU16(proc + 20, 156);
  StoreU16(proc + 22, 156);
  StoreU32(proc + 84, 0);    // code offset
  StoreU16(proc + 88, 4);    // frame bytes
  uint8_t* var = symbols.data() + 156;
  StoreU16(var, 3);
  StoreU16(var + 2, 2);
  StoreU16(var + 8, 32);     // "V"
  StoreU16(var + 10, 4);     // Variant
  d.symbols = {symbols};
  d.byteCode = code;
  return sim::BuildModuleImage(d);
}

// Symbol handle of the local variable "V" of InitializeImage.
inline constexpr uint8_t kLocalV = 156;

}  // namespace quillet::testing
