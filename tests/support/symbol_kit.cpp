// Writer of realistic symbol tables, byte code and label offsets for tests.
#include "support/symbol_kit.h"

#include <array>

#include "sim/string_table_builder.h"
#include "util/bytes.h"

namespace quillet::kit {
namespace {

constexpr uint32_t kSecondSegment = 0x10000;
constexpr uint16_t kLabelKind = 5;  // label entries: common fields, label-offset index at 12

// One entry to be laid out: where it goes and what links to it.
struct Slot {
  std::string key;
  size_t size = 0;
  uint32_t offset = 0;
  uint32_t handle = 0;
  size_t name = 0;  // string index
};

class Kit {
 public:
  explicit Kit(const KitModule& m) : m_(m) {}

  KitImage Build() {
    for (const std::string& s : m_.extraStrings) Name(s);
    Plan();
    const sim::StringTableImage strings = strings_.Build();
    handles_ = strings.handles;
    Layout();
    Write();

    KitImage out;
    sim::ModuleDescription& d = out.description;
    d.header = sim::Bytes(m_.headerSize, 0);
    d.strings = strings.strings;
    d.extendedStrings = strings.extendedStrings;
    for (size_t b = 0; b < 7; ++b) StoreU16(&d.header[40 + 2 * b], strings.heads[b]);
    WriteModuleScopes(d.header);
    d.byteCode = code_;
    if (!labelOffsets_.empty()) {
      sim::Bytes table(labelOffsets_.size() * 4);
      for (size_t i = 0; i < labelOffsets_.size(); ++i) StoreU32(&table[4 * i], labelOffsets_[i]);
      d.labelOffsets = {table};
    }
    if (m_.entriesBeyond64K) {
      d.symbols = {sim::Bytes(data_.begin(), data_.begin() + 4 + m_.filler),
                   sim::Bytes(data_.begin() + kSecondSegment, data_.end())};
      sim::Bytes table(extended_.size() * 4);
      for (size_t i = 0; i < extended_.size(); ++i) StoreU32(&table[4 * i], extended_[i]);
      d.extendedSymbols = {table};
    } else {
      d.symbols = {data_};
    }
    for (const Slot& s : slots_) {
      out.handle[s.key] = s.handle;
      out.offset[s.key] = s.offset;
    }
    out.code = codeOffsets_;
    out.image = sim::BuildModuleImage(d);
    return out;
  }

 private:
  size_t Name(const std::string& text) {
    const auto it = names_.find(text);
    if (it != names_.end()) return it->second;
    const size_t index = strings_.Add(text);
    names_.emplace(text, index);
    return index;
  }

  size_t AddSlot(const std::string& key, size_t size, const std::string& name) {
    slots_.push_back(Slot{key, size, 0, 0, Name(name)});
    slotByKey_[key] = slots_.size() - 1;
    return slots_.size() - 1;
  }

  // Entries in table order: each procedure or class, then what it holds.
  void PlanProcedure(const KitProcedure& p, const std::string& key) {
    AddSlot(key, 152, p.name);
    if (p.kind == 9 && p.setAccessor) AddSlot(key + "#set", 152, p.name);
    for (const KitVariable& v : p.variables) AddSlot(key + "/" + v.name, 16, v.name);
    for (const KitLabel& l : p.labels) AddSlot(key + ":" + l.name, 16, l.name);
  }

  void Plan() {
    for (const KitProcedure& p : m_.procedures) PlanProcedure(p, p.name);
    for (const KitClass& c : m_.classes) {
      AddSlot(c.name, 92, c.name);
      for (const KitVariable& v : c.members) AddSlot(c.name + "/" + v.name, 16, v.name);
      for (const KitProcedure& p : c.procedures) PlanProcedure(p, c.name + "::" + p.name);
    }
  }

  // Offsets, then handles: offsets themselves in the first segment, indices
  // from 5 on beyond it, skipping indices whose position looks like an entry.
  void Layout() {
    uint32_t at = static_cast<uint32_t>(4 + m_.filler);
    if (m_.entriesBeyond64K) at = kSecondSegment;
    for (Slot& s : slots_) {
      s.offset = at;
      at += static_cast<uint32_t>(s.size);
    }
    data_.assign(at, 0);
    std::fill(data_.begin() + 4, data_.begin() + 4 + m_.filler, m_.fillerByte);
    for (size_t i = 0; i < 5; ++i) extended_.push_back(static_cast<uint32_t>(i));
    for (Slot& s : slots_) {
      if (!m_.entriesBeyond64K) {
        s.handle = s.offset;
        continue;
      }
      while (extended_.size() + 2 <= 4 + m_.filler && LoadU16(&data_[extended_.size()]) <= 38)
        extended_.push_back(static_cast<uint32_t>(extended_.size()));
      s.handle = static_cast<uint32_t>(extended_.size());
      extended_.push_back(s.offset);
    }
  }

  const Slot& At(const std::string& key) const { return slots_[slotByKey_.at(key)]; }
  uint8_t* Bytes(const Slot& s) { return &data_[s.offset]; }
  uint16_t NameHandle(const Slot& s) const { return handles_[s.name]; }

  // A scope record over `chain`: count, first, last, and the hash buckets
  // with the entries' hash links, in chain order.
  void WriteScope(uint8_t* scope, const std::vector<const Slot*>& chain) {
    StoreU16(scope, static_cast<uint16_t>(chain.size()));
    StoreU16(scope + 4, chain.empty() ? 0 : static_cast<uint16_t>(chain.front()->handle));
    StoreU16(scope + 6, chain.empty() ? 0 : static_cast<uint16_t>(chain.back()->handle));
    for (size_t i = 0; i + 1 < chain.size(); ++i) StoreU16(Bytes(*chain[i]) + 4, static_cast<uint16_t>(chain[i + 1]->handle));
    std::array<std::vector<const Slot*>, 13> buckets;
    for (const Slot* s : chain) {
      std::u16string units;
      for (char c : NameText(*s)) units.push_back(static_cast<unsigned char>(c));
      buckets[sim::KitNameHash(units) % 13].push_back(s);
    }
    for (size_t b = 0; b < 13; ++b) {
      if (buckets[b].empty()) continue;
      StoreU16(scope + 8 + 4 * b, static_cast<uint16_t>(buckets[b].front()->handle));
      StoreU16(scope + 10 + 4 * b, static_cast<uint16_t>(buckets[b].back()->handle));
      for (size_t i = 0; i + 1 < buckets[b].size(); ++i)
        StoreU16(Bytes(*buckets[b][i]) + 6, static_cast<uint16_t>(buckets[b][i + 1]->handle));
    }
  }

  std::string NameText(const Slot& s) const {
    for (const auto& [text, index] : names_)
      if (index == s.name) return text;
    return {};
  }

  uint32_t AppendBody(size_t lines) {
    const auto start = static_cast<uint32_t>(code_.size());
    for (size_t i = 0; i < lines; ++i) {
      code_.push_back(26);  // line
      code_.push_back(static_cast<uint8_t>(i + 1));
      code_.push_back(0);
    }
    code_.push_back(0x1D);  // end of procedure
    return start;
  }

  void WriteProcedureEntry(const Slot& s, const KitProcedure& p, uint16_t flags, uint32_t owner, uint32_t codeAt) {
    uint8_t* e = Bytes(s);
    StoreU16(e, p.kind);
    StoreU16(e + 2, flags);
    StoreU16(e + 8, NameHandle(s));
    StoreU16(e + 12, static_cast<uint16_t>(owner));
    StoreU32(e + 84, codeAt);
  }

  // Returns the number of parameters.
  uint16_t WriteProcedure(const KitProcedure& p, const std::string& key, uint32_t owner) {
    const Slot& s = At(key);
    const uint16_t accessor = p.kind == 9 ? 0x0400 : 0;
    const uint32_t codeAt = AppendBody(p.lines);
    codeOffsets_[key] = codeAt;
    WriteProcedureEntry(s, p, p.flags | accessor, owner, codeAt);
    if (p.kind == 9 && p.setAccessor) {
      const uint32_t setAt = AppendBody(p.lines);
      codeOffsets_[key + "#set"] = setAt;
      WriteProcedureEntry(At(key + "#set"), p, p.flags | 0x0600, owner, setAt);
    }
    uint8_t* e = Bytes(s);
    std::vector<const Slot*> locals;
    uint16_t parameters = 0, frame = 0;
    for (const KitVariable& v : p.variables) {
      const Slot& vs = At(key + "/" + v.name);
      uint8_t* ve = Bytes(vs);
      StoreU16(ve, 3);
      StoreU16(ve + 2, v.parameter ? 1 : 2);
      StoreU16(ve + 8, NameHandle(vs));
      StoreU16(ve + 10, v.dataType);
      StoreU16(ve + 12, v.parameter ? parameters++ : frame);
      if (!v.parameter) frame += 4;
      locals.push_back(&vs);
    }
    StoreU16(e + 76, parameters);
    StoreU16(e + 88, frame);
    WriteScope(e + 16, locals);
    std::vector<const Slot*> labels;
    for (const KitLabel& l : p.labels) {
      const Slot& ls = At(key + ":" + l.name);
      uint8_t* le = Bytes(ls);
      StoreU16(le, kLabelKind);
      StoreU16(le + 8, NameHandle(ls));
      StoreU16(le + 12, static_cast<uint16_t>(labelOffsets_.size()));
      labelOffsets_.push_back(codeAt + l.at);
      labels.push_back(&ls);
    }
    WriteScope(e + 92, labels);
    return parameters;
  }

  void Write() {
    for (const KitProcedure& p : m_.procedures) {
      WriteProcedure(p, p.name, 0);
      scope1_.push_back(&At(p.name));
    }
    for (const KitClass& c : m_.classes) {
      const Slot& cs = At(c.name);
      uint8_t* e = Bytes(cs);
      StoreU16(e, 11);
      StoreU16(e + 8, NameHandle(cs));
      std::vector<const Slot*> members;
      uint16_t slot = 0;
      for (const KitVariable& v : c.members) {
        const Slot& vs = At(c.name + "/" + v.name);
        uint8_t* ve = Bytes(vs);
        StoreU16(ve, 3);
        StoreU16(ve + 2, 3);
        StoreU16(ve + 8, NameHandle(vs));
        StoreU16(ve + 10, v.dataType);
        StoreU16(ve + 12, slot);
        slot += 4;
        members.push_back(&vs);
      }
      StoreU16(e + 10, static_cast<uint16_t>(c.members.size()));
      StoreU16(e + 76, slot);
      const uint32_t owner = m_.classesInScope4 ? 0 : cs.handle;
      for (const KitProcedure& p : c.procedures) {
        const std::string key = c.name + "::" + p.name;
        const uint16_t parameters = WriteProcedure(p, key, owner);
        members.push_back(&At(key));
        if (p.name == "NEW") {
          StoreU16(e + 84, static_cast<uint16_t>(At(key).handle));
          StoreU16(e + 88, parameters);
        }
        if (p.name == "DELETE") StoreU16(e + 86, static_cast<uint16_t>(At(key).handle));
      }
      WriteScope(e + 16, members);
      classes_.push_back(&cs);
    }
  }

  void WriteModuleScopes(sim::Bytes& header) {
    WriteScope(&header[60], scope1_);
    WriteScope(&header[m_.classesInScope4 ? 240 : 180], classes_);
  }

  const KitModule& m_;
  sim::StringTableBuilder strings_;
  std::map<std::string, size_t> names_;
  std::vector<uint16_t> handles_;
  std::vector<Slot> slots_;
  std::map<std::string, size_t> slotByKey_;
  sim::Bytes data_;
  std::vector<uint32_t> extended_;
  sim::Bytes code_;
  std::vector<uint32_t> labelOffsets_;
  std::map<std::string, uint32_t> codeOffsets_;
  std::vector<const Slot*> scope1_, classes_;
};

}  // namespace

KitImage BuildKitModule(const KitModule& module) { return Kit(module).Build(); }

}  // namespace quillet::kit
