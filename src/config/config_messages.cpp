// Messages of the configuration, log database and Notes services.
#include "config/message_catalog.h"

namespace quillet {

namespace {

const MessageEntry kConfigMessages[] = {
    {0x12C01, "Error opening configuration file %s"},
    {0x12C02, "Error opening log file %s"},
    {kErrStringNotFound, "Error: String not found"},
    {kErrEntryNotFound, "Entry not found"},
    {0, nullptr},
};

}  // namespace

const MessageTableRegistration kConfigMessagesRegistration(kConfigMessages);

}  // namespace quillet
