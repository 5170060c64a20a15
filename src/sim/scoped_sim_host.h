// A simulated host for the length of a scope: a fresh data directory, the
// host installed as the process's Notes API, its "nnotes" exports registered.
// Scopes may nest, but the inner host's exports replace the outer's and are
// gone, not restored, when the inner scope ends.
#pragma once

#include <memory>
#include <string>

#include "sim/sim_host.h"

namespace quillet::sim {

class ScopedSimHost {
 public:
  // The data directory is made under $QUILLET_TEST_TMP when set, else in the
  // system's temporary directory.
  ScopedSimHost();
  // Uninstalls the host (restoring the one installed before), unregisters its
  // exports and modules and removes the data directory.
  ~ScopedSimHost();
  ScopedSimHost(const ScopedSimHost&) = delete;
  ScopedSimHost& operator=(const ScopedSimHost&) = delete;

  SimHost& host() { return *host_; }
  SimHost* operator->() { return host_.get(); }
  const std::string& dataDirectory() const { return dataDir_; }

 private:
  std::string dataDir_;
  std::unique_ptr<SimHost> host_;
  NotesApi* previous_ = nullptr;
};

}  // namespace quillet::sim
