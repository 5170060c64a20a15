// Reading back what the server side wrote into the simulated log database:
// its documents' items in stored order and the report attached to a run.
#pragma once

#include <string>
#include <vector>

#include "config/notes_api.h"
#include "timing/report_reader.h"

namespace quillet::testing {

using LogDocument = std::vector<ItemInfo>;

// Every document of the log database at `path`, oldest first; empty when
// the database does not exist.
std::vector<LogDocument> ReadLogDocuments(const std::string& path);
// The text of a text item as stored (after its type word).
std::string ItemTextOf(const ItemInfo& item);
// The value of a number item.
double ItemNumberOf(const ItemInfo& item);
// The item named `name`, or null.
const ItemInfo* FindItem(const LogDocument& document, std::string_view name);
// Extracts the document's "$FILE" into `directory` and reads it as a report.
bool ReadAttachedReport(const std::string& logPath, size_t index, const std::string& directory, Report& report);

}  // namespace quillet::testing
