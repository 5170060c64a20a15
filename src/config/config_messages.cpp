// Messages of the configuration, log database and Notes services.
#include "config/message_catalog.h"

namespace quillet {

namespace {

const MessageEntry kConfigMessages[] = {
    {0x12C01, "Error opening configuration file %s"},
    {0x12C02, "Error opening log file %s"},
    {0x10877, "Error: String not found"},
    {0x1085A, "Entry not found"},
    {0, nullptr},
};

}  // namespace

const MessageTableRegistration kConfigMessagesRegistration(kConfigMessages);

}  // namespace quillet
