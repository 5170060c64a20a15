// Messages of the hook driver: the server hook and the client hook.
#include "config/message_catalog.h"

namespace quillet {

namespace {

const MessageEntry kHookMessages[] = {
    {0x12C03,
     "You cannot save design elements while Profiler is running.\n"
     "Please shut down Profiler before making design changes."},
    {0x10B14, "The database design is hidden"},
    {0, nullptr},
};

}  // namespace

const MessageTableRegistration kHookMessagesRegistration(kHookMessages);

}  // namespace quillet
