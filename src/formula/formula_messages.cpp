// Messages of the compiled-formula validation and re-encoding.
#include "config/message_catalog.h"
#include "formula/formula_status.h"

namespace quillet {

namespace {

const MessageEntry kFormulaMessages[] = {
    {kErrFormulaRecordNotFound, "Formula record not found"},
    {kErrBadFormulaExpression, "Bad formula expression"},
    {kErrBadFormulaOperation, "Bad formula expression record"},
    {kErrFormulaStackUnderflow, "Formula stack underflow"},
    {kErrFormulaStackOverflow, "Formula stack overflow"},
    {kErrBadFormula, "Bad formula"},
    {0, nullptr},
};

}  // namespace

const MessageTableRegistration kFormulaMessagesRegistration(kFormulaMessages);

}  // namespace quillet
