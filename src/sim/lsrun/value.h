// Values of the simulated LotusScript runtime: Variant-like scalars, strings,
// object references and arrays with reference counts, and references to
// storage slots as the loads with "Ptr" push them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <list>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillet::lsrun {

// The longest string the language holds (2 GB); beyond it, "Out of string space".
inline constexpr size_t kMaxStringLength = 0x7FFFFFFF;

// Declared data types as the symbol entries record them (variable entry
// offset 10). Arrays add kArrayFlag; their element count lives in the type
// argument (bits 0-14, bit 15 = lower bound 1), or their bounds in a text
// (kBoundsFlag).
namespace type_word {
inline constexpr uint16_t kInteger = 1;
inline constexpr uint16_t kLong = 2;
inline constexpr uint16_t kString = 3;
inline constexpr uint16_t kVariant = 4;
inline constexpr uint16_t kDouble = 5;
inline constexpr uint16_t kSingle = 6;
inline constexpr uint16_t kCurrency = 7;
inline constexpr uint16_t kBoolean = 8;
inline constexpr uint16_t kByte = 9;
inline constexpr uint16_t kObject = 0x0409;
inline constexpr uint16_t kArrayFlag = 0x2000;
inline constexpr uint16_t kListFlag = 0x4000;  // Dim l List As T
// With kArrayFlag: the type argument is the string handle of the bounds,
// "lower:upper" for each dimension, joined by ",".
inline constexpr uint16_t kBoundsFlag = 0x1000;
// The operand of OpRedim and OpRedimPreserve: the element type word with the
// number of dimensions less one in bits 12-14.
inline constexpr int kRedimDimsShift = 12;
inline constexpr uint16_t kRedimDimsMask = 7;
// A user-defined Type: kRecordBase | its index among the module's Types
// (the classes whose entry has kRecordClassFlag, in class-scope order).
inline constexpr uint16_t kRecordBase = 0x0600;
inline constexpr uint16_t kRecordMask = 0x0F00;
inline constexpr uint16_t kRecordIndexMask = 0x00FF;
inline constexpr uint16_t kRecordClassFlag = 1;  // class entry flags: a Type
}  // namespace type_word

// What a storage slot accepts; stored in references so that an assignment
// converts the way the slot's declaration asks for.
enum class SlotType : uint8_t { kVariant, kInteger, kLong, kDouble, kString, kObject, kSingle, kCurrency, kBoolean, kByte, kRecord };
SlotType SlotTypeOf(uint16_t typeWord);

// A heap block shared by values. The last release hands it back to its
// owner: strings and arrays free themselves, objects go to the interpreter,
// which runs their destructor first.
class Counted {
 public:
  virtual ~Counted() = default;
  void AddRef() { ++refs_; }
  void Release() {
    if (--refs_ == 0) LastReleased();
  }
  int32_t refs() const { return refs_; }

 protected:
  virtual void LastReleased() = 0;

 private:
  int32_t refs_ = 0;
};

class Value;
class Instance;
struct ClassRuntime;  // class_runtime.h
class ArrayRep;
class ListRep;
class RecordRep;

class Value {
 public:
  enum class Type : uint8_t {
    kEmpty,
    kBoolean,   // n: -1 True, 0 False
    kByte,      // n: 0-255
    kInteger,   // n: 16-bit range
    kLong,      // n
    kSingle,    // d, rounded to single precision
    kDouble,    // d
    kCurrency,  // c: ten-thousandths, exact
    kDate,      // d: days since 30 Dec 1899, the fraction the time of day
    kString,   // block: StrRep
    kObject,   // block: Instance, or null for Nothing
    kArray,    // block: ArrayRep
    kList,     // block: ListRep
    kRecord,   // block: RecordRep, a value of a user-defined Type
    kRef,      // ref: the slot; holder keeps its storage alive; slot: its type
  };

  Value() = default;
  Value(const Value& other) { CopyFrom(other); }
  Value(Value&& other) noexcept { MoveFrom(other); }
  Value& operator=(const Value& other) {
    // Scalar over scalar, the common case, is a plain copy of the fields.
    if (type_ < Type::kString && other.type_ < Type::kString) {
      CopyFields(other);
      return *this;
    }
    if (this != &other) {
      Value copy(other);
      Clear();
      MoveFrom(copy);
    }
    return *this;
  }
  Value& operator=(Value&& other) noexcept {
    if (this != &other) {
      Clear();
      MoveFrom(other);
    }
    return *this;
  }
  ~Value() { Clear(); }

  static Value Boolean(bool b) { return Scalar(Type::kBoolean, b ? -1 : 0); }
  static Value Integer(int16_t v) { return Scalar(Type::kInteger, v); }
  static Value Long(int32_t v) { return Scalar(Type::kLong, v); }
  static Value Double(double v);
  static Value Single(double v);  // rounds to single precision
  static Value Byte(uint8_t v);
  static Value Currency(int64_t tenThousandths);
  static Value Date(double serial);
  static Value Missing();
  static Value Null();
  static Value String(std::string text);
  static Value Object(Instance* instance);  // null: Nothing
  static Value Nothing() { return Object(nullptr); }
  static Value Array(ArrayRep* array);
  static Value List(ListRep* list);
  static Value Record(RecordRep* record);
  static Value Ref(Value* slot, SlotType type, Counted* holder);
  // The default content of a slot of `type`.
  static Value DefaultOf(SlotType type);

  Type type() const { return type_; }
  bool IsNumeric() const { return type_ >= Type::kBoolean && type_ <= Type::kDate; }
  // An omitted optional argument of a built-in function (kEmpty underneath).
  bool IsMissing() const { return type_ == Type::kEmpty && n_ == kMissingMark; }
  // Null, the "no value" some built-ins answer (kEmpty underneath).
  bool IsNull() const { return type_ == Type::kEmpty && n_ == kNullMark; }
  int32_t n() const { return n_; }
  double d() const { return u_.d; }
  int64_t c() const { return u_.c; }
  const std::string& text() const;
  Instance* object() const;
  ArrayRep* array() const;
  ListRep* list() const;
  RecordRep* record() const;
  Counted* holder() const { return holder_; }
  Value* ref() const { return u_.ref; }
  SlotType slotType() const { return slot_; }

  // Scalars (the common case) need no reference counting, so the checks
  // stay inline and only counted values take the out-of-line path.
  void Clear() {
    if (type_ >= Type::kString) ClearCounted();
    type_ = Type::kEmpty;
    n_ = 0;
  }

 private:
  // A value of a counted `type` that takes a reference to `block`.
  static Value Holding(Type type, Counted* block);
  void CopyFields(const Value& other) {
    type_ = other.type_;
    slot_ = other.slot_;
    n_ = other.n_;
    u_ = other.u_;
    holder_ = other.holder_;
  }
  void CopyFrom(const Value& other) {
    CopyFields(other);
    if (type_ >= Type::kString) AddRefCounted();
  }
  void MoveFrom(Value& other) noexcept {
    CopyFields(other);
    other.type_ = Type::kEmpty;
    other.holder_ = nullptr;
  }
  static Value Scalar(Type type, int32_t n) {
    Value v;
    v.type_ = type;
    v.n_ = n;
    return v;
  }
  void ClearCounted();
  void AddRefCounted();
  Counted* Block() const;

  Type type_ = Type::kEmpty;
  SlotType slot_ = SlotType::kVariant;
  int32_t n_ = 0;
  static constexpr int32_t kMissingMark = 0x4D495353;
  static constexpr int32_t kNullMark = 0x4E554C4C;
  union {
    double d;
    int64_t c;
    Counted* block;
    Value* ref;
  } u_{};
  Counted* holder_ = nullptr;  // kRef only
};

// An immutable string shared by values.
class StrRep : public Counted {
 public:
  explicit StrRep(std::string t) : text(std::move(t)) {}
  const std::string text;

 protected:
  void LastReleased() override { delete this; }
};

// An array of fixed size: ReDim replaces the whole array rather than
// resizing it, so element addresses stay valid for as long as the array
// lives. The elements of several dimensions lie with the first index
// varying fastest, so that a ReDim Preserve of the last dimension keeps
// every element where it was.
struct ArrayBound {
  int32_t lower = 0;
  int32_t count = 0;
};

class ArrayRep : public Counted {
 public:
  ArrayRep(int32_t lower, size_t count, SlotType element)
      : lower(lower), element(element), items(count, Value::DefaultOf(element)),
        dims{ArrayBound{lower, static_cast<int32_t>(count)}} {}
  // Several dimensions; the caller keeps the element count within its limit.
  ArrayRep(std::vector<ArrayBound> bounds, SlotType element)
      : lower(bounds.empty() ? 0 : bounds[0].lower), element(element), items(TotalOf(bounds), Value::DefaultOf(element)),
        dims(std::move(bounds)) {}
  const int32_t lower;  // of the first dimension
  const SlotType element;
  std::vector<Value> items;
  const std::vector<ArrayBound> dims;
  bool dynamic = false;  // declared without bounds: ReDim sizes it, Erase empties it
  int32_t record = -1;   // the Type of kRecord elements, whose values the machine makes

  static size_t TotalOf(const std::vector<ArrayBound>& bounds) {
    size_t n = bounds.empty() ? 0 : 1;
    for (const ArrayBound& b : bounds) n *= static_cast<size_t>(b.count);
    return n;
  }

 protected:
  void LastReleased() override { delete this; }
};

// An object instance: member slots sized from its class entry. The owner
// (the interpreter) decides what the last release means: the destructor runs
// first, and the memory goes only when no reference is left.
class Instance : public Counted {
 public:
  class Owner {
   public:
    virtual ~Owner() = default;
    virtual void InstanceReleased(Instance* instance) = 0;
  };
  enum class State : uint8_t { kLive, kQueued, kDestroying, kDead };

  Instance(Owner* owner, uint32_t classOffset, size_t slots) : classOffset(classOffset), members(slots), owner_(owner) {}
  uint32_t classOffset;  // symbol-data offset of the class entry
  std::vector<Value> members;
  State state = State::kLive;
  // Kept by the interpreter's InstancePool: when the instance was made, and
  // where the pool holds it.
  uint64_t created = 0;
  uint32_t poolSlot = 0;
  // The interpreter's setup of its class, kept by New so that its release
  // does not look the class up again; null when not made by a New.
  ClassRuntime* runtime = nullptr;

 protected:
  void LastReleased() override { owner_->InstanceReleased(this); }

 private:
  Owner* owner_;
};

// The counted block a value holds, null for all but strings, objects,
// arrays, lists and Types' values.
inline Counted* Value::Block() const {
  return type_ >= Type::kString && type_ <= Type::kRecord ? u_.block : nullptr;
}

inline Instance* Value::object() const {
  return type_ == Type::kObject ? static_cast<Instance*>(u_.block) : nullptr;
}
// A list: elements by tag in the order they were added. An erased element
// moves to `erased` rather than going away, so a reference to it (a ForAll
// variable, a parameter) never dangles; its memory goes with the list.
class ListRep : public Counted {
 public:
  struct Entry {
    std::string tag;
    Value value;
    bool erased = false;
  };
  using Entries = std::list<Entry>;

  explicit ListRep(SlotType element) : element(element) {}
  const SlotType element;
  Entries entries;
  Entries erased;
  std::unordered_map<std::string, Entries::iterator> index;

  // The element of `tag`, made with the element type's default when absent
  // and `create`; null otherwise.
  Value* Find(const std::string& tag, bool create) {
    auto it = index.find(tag);
    if (it != index.end()) return &it->second->value;
    if (!create) return nullptr;
    entries.push_back(Entry{tag, Value::DefaultOf(element), false});
    index.emplace(tag, std::prev(entries.end()));
    return &entries.back().value;
  }
  // Erases the element stored at `slot`; false when none is there.
  bool Remove(const Value* slot) {
    for (auto it = entries.begin(); it != entries.end(); ++it) {
      if (&it->value == slot) {
        index.erase(it->tag);
        it->erased = true;
        erased.splice(erased.end(), entries, it);
        return true;
      }
    }
    return false;
  }
  void RemoveAll() {
    for (Entry& e : entries) e.erased = true;
    erased.splice(erased.end(), entries);
    index.clear();
  }

 protected:
  void LastReleased() override { delete this; }
};

// A value of a user-defined Type: its members. Assignment copies it
// (Clone); loads share it, so that a member reached through a load of the
// variable is the variable's own.
class RecordRep : public Counted {
 public:
  RecordRep(uint16_t index, size_t members) : index(index), members(members) {}
  const uint16_t index;  // the Type's index
  std::vector<Value> members;

  // A copy whose Type members are copies too.
  RecordRep* Clone() const {
    auto* copy = new RecordRep(index, members.size());
    for (size_t k = 0; k < members.size(); ++k) {
      const RecordRep* inner = members[k].record();
      copy->members[k] = inner != nullptr ? Value::Record(inner->Clone()) : members[k];
    }
    return copy;
  }

 protected:
  void LastReleased() override { delete this; }
};

inline RecordRep* Value::record() const { return type_ == Type::kRecord ? static_cast<RecordRep*>(u_.block) : nullptr; }
inline ListRep* Value::list() const { return type_ == Type::kList ? static_cast<ListRep*>(u_.block) : nullptr; }
inline ArrayRep* Value::array() const { return type_ == Type::kArray ? static_cast<ArrayRep*>(u_.block) : nullptr; }

// The text a value prints as; false (text untouched) for objects and arrays.
[[nodiscard]] bool FormatValue(const Value& v, std::string& text);

}  // namespace quillet::lsrun
