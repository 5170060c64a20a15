// Setting up and tearing down a simulated host around a test or tool run.
#include "sim/scoped_sim_host.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace quillet::sim {

namespace {
// A new directory of a random name: create_directory reports whether it made
// it, so a name another process took first is never shared.
std::string MakeDataDirectory() {
  const char* base = std::getenv("QUILLET_TEST_TMP");
  std::error_code error;
  const std::filesystem::path root = (base != nullptr && *base != '\0')
                                         ? std::filesystem::path(base)
                                         : std::filesystem::temp_directory_path(error);
  std::filesystem::create_directories(root, error);
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "quillet-sim-%012llx",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    const std::filesystem::path directory = root / name;
    if (std::filesystem::create_directory(directory, error)) return directory.string();
  }
  // Without a data directory nothing in the host can work; this is a broken
  // machine, not a host condition.
  std::fprintf(stderr, "quillet: cannot create the simulated data directory under %s\n", root.string().c_str());
  std::abort();
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
