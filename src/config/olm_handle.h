// Owning wrappers of host handles: the database or ID table is released when
// the wrapper goes, unless ownership was given up.
#pragma once

#include "config/notes_api.h"

namespace quillet {

// A host handle with an ownership flag. The base releases nothing; each
// derived wrapper releases its kind of handle in its destructor when owned.
template <typename H>
class COlmHandle {
 public:
  COlmHandle() = default;
  explicit COlmHandle(H handle, bool owned = true) : Owned(owned && handle.valid()), Handle(handle) {}
  virtual ~COlmHandle() = default;
  COlmHandle(const COlmHandle&) = delete;
  COlmHandle& operator=(const COlmHandle&) = delete;

  H Get() const { return Handle; }
  bool IsOwned() const { return Owned; }
  explicit operator bool() const { return Handle.valid(); }

  // Gives up ownership; the caller now releases the handle.
  H Release() {
    Owned = false;
    return Handle;
  }

 protected:
  bool Owned = false;
  H Handle{};
};

// Closes the database when owned.
class COlmDbHandle : public COlmHandle<DbHandle> {
 public:
  using COlmHandle::COlmHandle;
  ~COlmDbHandle() override {
    if (Owned) (void)Notes().DbClose(Handle);
  }
};

// Destroys the ID table when owned.
class COlmTableHandle : public COlmHandle<TableHandle> {
 public:
  using COlmHandle::COlmHandle;
  ~COlmTableHandle() override {
    if (Owned) (void)Notes().TableDestroy(Handle);
  }
};

}  // namespace quillet
