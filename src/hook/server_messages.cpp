// Messages of the server agent hook.
#include "config/message_catalog.h"
#include "hook/agent_instrument.h"

namespace quillet {

namespace {

const MessageEntry kServerMessages[] = {
    {kErrAgentCodeUnreadable, "The agent's compiled LotusScript could not be read"},
    {kErrAgentNotInstrumented, "The agent's compiled LotusScript could not be instrumented"},
    {0, nullptr},
};

}  // namespace

const MessageTableRegistration kServerMessagesRegistration(kServerMessages);

}  // namespace quillet
