// The simulated server's log template database and server ID file.
#include "sim/log_template.h"

namespace quillet::sim {

STATUS EnsureLogTemplate(SimHost& host) {
  if (host.DatabaseExists(kSimLogTemplatePath)) return kNoError;
  if (STATUS created = host.CreateDatabase(kSimLogTemplatePath, "Profiler Log Template"); created != kNoError) {
    return created;
  }
  NoteId id = 0;
  if (STATUS icon = host.CreateNote(kSimLogTemplatePath, kNoteClassIcon,
                                    {SimItemSpec::Text("$TITLE", "Profiler Log Template"),
                                     SimItemSpec::Text("$Flags", "R7J"), SimItemSpec::Text("$FlagsNoRefresh", "1")},
                                    id);
      icon != kNoError) {
    return icon;
  }
  if (STATUS form = host.CreateNote(kSimLogTemplatePath, kNoteClassForm,
                                    {SimItemSpec::Text("$TITLE", "PROFLOG"), SimItemSpec::Text("$Flags", "")}, id);
      form != kNoError) {
    return form;
  }
  if (STATUS view = host.CreateNote(kSimLogTemplatePath, kNoteClassView,
                                    {SimItemSpec::Text("$TITLE", "Runs"),
                                     SimItemSpec::Text("$FormulaClass", "1"),
                                     SimItemSpec::Text("$Formula", "SELECT Form = \"PROFLOG\"")},
                                    id);
      view != kNoError) {
    return view;
  }
  SimAcl acl;
  acl.entries["LocalDomainServers"] = 6;  // manager
  acl.defaultLevel = 2;                   // reader
  return host.SetAcl(kSimLogTemplatePath, acl);
}

STATUS EnsureServerIdFile(SimHost& host) {
  std::string named;
  if (host.EnvironmentString("ServerKeyfileName", named) || host.EnvironmentString("KeyfileName", named)) {
    return kNoError;
  }
  if (STATUS written = host.CreateIdFile(kSimServerIdFile, host.CurrentUserName(), ""); written != kNoError) {
    return written;
  }
  host.SetEnvironmentString("ServerKeyfileName", kSimServerIdFile);
  return kNoError;
}

}  // namespace quillet::sim
