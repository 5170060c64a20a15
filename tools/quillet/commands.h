// The subcommands of the quillet tool; each returns the process exit code.
#pragma once

namespace quillet::tool {

int RunDemo(int argc, char** argv);

}  // namespace quillet::tool
