// Messages of the script items in design notes: the display names of the
// design kinds (0x1095F + kind) and the save-conflict suffix of a title.
#include "config/message_catalog.h"
#include "lsobject/design_kind.h"
#include "lsobject/script_items.h"

namespace quillet {

namespace {

const MessageEntry kLsObjectMessages[] = {
    {kSaveConflictMessage, "(**Save Conflict**)"},
    {kErrModuleNotWritten, "The module could not be written"},
    {kDesignKindMessageBase + 0, "None"},
    {kDesignKindMessageBase + 1, "Form"},
    {kDesignKindMessageBase + 2, "Subform"},
    {kDesignKindMessageBase + 3, "View"},
    {kDesignKindMessageBase + 4, "Navigator"},
    {kDesignKindMessageBase + 5, "Shared Field"},
    {kDesignKindMessageBase + 6, "Database Icon"},
    {kDesignKindMessageBase + 7, "Agent"},
    {kDesignKindMessageBase + 8, "V3 Macro"},
    {kDesignKindMessageBase + 9, "Help About Document"},
    {kDesignKindMessageBase + 10, "Help Using Document"},
    {kDesignKindMessageBase + 11, "Script Library"},
    {kDesignKindMessageBase + 12, "Database Script"},
    {kDesignKindMessageBase + 13, "Folder"},
    {kDesignKindMessageBase + 14, "Design Note"},
    {kDesignKindMessageBase + 15, "Document"},
    {kDesignKindMessageBase + 16, "Outline"},
    {kDesignKindMessageBase + 17, "Frameset"},
    {kDesignKindMessageBase + 18, "Page"},
    {kDesignKindMessageBase + 19, "Image Resource"},
    {kDesignKindMessageBase + 20, "Applet Resource"},
    {kDesignKindMessageBase + 21, "Shared Actions"},
    {kDesignKindMessageBase + 22, "Replication Formula"},
    {kDesignKindMessageBase + 23, "Form/Subform"},
    {kDesignKindMessageBase + 24, "View/Navigator"},
    {kDesignKindMessageBase + 25, "Internal: Group Object"},
    {kDesignKindMessageBase + 26, "Internal: Document Conflict"},
    {kDesignKindMessageBase + 27, "Profile Document"},
    {kDesignKindMessageBase + 28, "View/Folder"},
    {kDesignKindMessageBase + 29, "Internal: Document Url"},
    {kDesignKindMessageBase + 30, "File Resource"},
    {kDesignKindMessageBase + 31, "Style Sheet"},
    {kDesignKindMessageBase + 32, "Data Connection"},
    {kDesignKindMessageBase + 33, "Shared Column"},
    {kDesignKindMessageBase + 34, "Web Service"},
    {kDesignKindMessageBase + 35, "DB2 Access View"},
    {kDesignKindMessageBase + 36, "XPage"},
    {kDesignKindMessageBase + 37, "Webservice Consumer"},
    {kDesignKindMessageBase + 38, "Composite Application"},
    {kDesignKindMessageBase + 39, "Wiring Properties"},
    {kDesignKindMessageBase + 40, "Component"},
    {kDesignKindMessageBase + 41, "Custom Control"},
    {kDesignKindMessageBase + 42, "Theme"},
    {kDesignKindMessageBase + 43, "Java File"},
    {kDesignKindMessageBase + 44, "Properties File"},
    {0, nullptr},
};

}  // namespace

const MessageTableRegistration kLsObjectMessagesRegistration(kLsObjectMessages);

}  // namespace quillet
