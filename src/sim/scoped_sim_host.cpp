// Setting up and tearing down a simulated host around a test or tool run.
#include "sim/scoped_sim_host.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace quillet::sim {

namespace {
std::string MakeDataDirectory() {
  const char* base = std::getenv("QUILLET_TEST_TMP");
  std::filesystem::path root = (base != nullptr && *base != '\0') ? base : "/tmp";
  std::error_code error;
  std::filesystem::create_directories(root, error);
  std::string pattern = (root / "quillet-sim-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    // Without a data directory nothing in the host can work; this is a
    // broken machine, not a host condition.
    std::perror("quillet: cannot create the simulated data directory");
    std::abort();
  }
  return pattern;
}
}  // namespace

ScopedSimHost::ScopedSimHost()
    : dataDir_(MakeDataDirectory()), host_(std::make_unique<SimHost>(dataDir_)), previous_(InstalledNotes()) {
  InstallNotes(host_.get());
  host_->RegisterExports();
}

ScopedSimHost::~ScopedSimHost() {
  InstallNotes(previous_);
  host_.reset();
  std::error_code error;
  std::filesystem::remove_all(dataDir_, error);
}

}  // namespace quillet::sim
