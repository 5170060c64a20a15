// The display name of an instrumented module.
#include "instrument/item_context.h"

#include "config/host_text.h"
#include "config/notes_api.h"

namespace quillet {

std::string ModuleDisplayName(const ItemContext& context) {
  if (!context.DisplayName.empty()) return context.DisplayName;
  if (HostCompare(context.ItemName, "$$SCRIPT_O", kCompareExact) == 0) return "(Globals)";
  if (HostCompare(context.ItemName, "$$$FORMSCRIPT_O", kCompareExact) == 0) return context.Title;
  return context.ItemName;
}

}  // namespace quillet
