// Messages of the script items in design notes: the display names of the
// design kinds (0x1095F + kind) and the save-conflict suffix of a title.
#include "config/message_catalog.h"

namespace quillet {

namespace {

const MessageEntry kLsObjectMessages[] = {
    {0x1084E, "(**Save Conflict**)"},
    {0x1095F + 0, "None"},
    {0x1095F + 1, "Form"},
    {0x1095F + 2, "Subform"},
    {0x1095F + 3, "View"},
    {0x1095F + 4, "Navigator"},
    {0x1095F + 5, "Shared Field"},
    {0x1095F + 6, "Database Icon"},
    {0x1095F + 7, "Agent"},
    {0x1095F + 8, "V3 Macro"},
    {0x1095F + 9, "Help About Document"},
    {0x1095F + 10, "Help Using Document"},
    {0x1095F + 11, "Script Library"},
    {0x1095F + 12, "Database Script"},
    {0x1095F + 13, "Folder"},
    {0x1095F + 14, "Design Note"},
    {0x1095F + 15, "Document"},
    {0x1095F + 16, "Outline"},
    {0x1095F + 17, "Frameset"},
    {0x1095F + 18, "Page"},
    {0x1095F + 19, "Image Resource"},
    {0x1095F + 20, "Applet Resource"},
    {0x1095F + 21, "Shared Actions"},
    {0x1095F + 22, "Replication Formula"},
    {0x1095F + 23, "Form/Subform"},
    {0x1095F + 24, "View/Navigator"},
    {0x1095F + 25, "Internal: Group Object"},
    {0x1095F + 26, "Internal: Document Conflict"},
    {0x1095F + 27, "Profile Document"},
    {0x1095F + 28, "View/Folder"},
    {0x1095F + 29, "Internal: Document Url"},
    {0x1095F + 30, "File Resource"},
    {0x1095F + 31, "Style Sheet"},
    {0x1095F + 32, "Data Connection"},
    {0x1095F + 33, "Shared Column"},
    {0x1095F + 34, "Web Service"},
    {0x1095F + 35, "DB2 Access View"},
    {0x1095F + 36, "XPage"},
    {0x1095F + 37, "Webservice Consumer"},
    {0x1095F + 38, "Composite Application"},
    {0x1095F + 39, "Wiring Properties"},
    {0x1095F + 40, "Component"},
    {0x1095F + 41, "Custom Control"},
    {0x1095F + 42, "Theme"},
    {0x1095F + 43, "Java File"},
    {0x1095F + 44, "Properties File"},
    {0, nullptr},
};

}  // namespace

const MessageTableRegistration kLsObjectMessagesRegistration(kLsObjectMessages);

}  // namespace quillet
