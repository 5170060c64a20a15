// Messages of the compiled-formula validation and re-encoding.
#include "config/message_catalog.h"

namespace quillet {

namespace {

const MessageEntry kFormulaMessages[] = {
    {0x10851, "Formula record not found"},
    {0x10852, "Bad formula expression"},
    {0x10853, "Bad formula expression record"},
    {0x10854, "Formula stack underflow"},
    {0x10855, "Formula stack overflow"},
    {0x10856, "Bad formula"},
    {0, nullptr},
};

}  // namespace

const MessageTableRegistration kFormulaMessagesRegistration(kFormulaMessages);

}  // namespace quillet
