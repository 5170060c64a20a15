# The hook driver's module-definition file for the Windows build: the hooks
# under their undecorated names, the timers and libgd's forwarders.

# The hook entry points and the bytes of arguments each takes on 32-bit
# Windows, where they are stdcall and compiled as NAME@BYTES; the host looks
# them up undecorated. The timer entries are cdecl and never decorated.
set(QUILLET_HOOK_EXPORTS
  MainEntryPoint:4 Term:4 HookNoteOpen_Server:28 HookNoteOpen_Client:28 HookNoteUpdate:28
  HookDbStampNotes:36 GetFileVersion:4)
set(QUILLET_TIMER_EXPORTS KVXFunctionTimer KVXLineTimer)
# libgd's DLL, to which the gd* exports forward.
set(QUILLET_LIBGD_MODULE libgd)

# The libgd functions re-exported by name: one GD_FORWARD line each in
# src/exports/gd_exports.def, plus gdImageAABlend, which is our own.
function(quillet_gd_forwards out)
  file(STRINGS ${QUILLET_ROOT}/src/exports/gd_exports.def lines REGEX "^GD_FORWARD\\(")
  set(names)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^GD_FORWARD\\([^,]+, *(gd[A-Za-z0-9_]+),")
      message(FATAL_ERROR "gd_exports.def: cannot read '${line}'")
    endif()
    list(APPEND names ${CMAKE_MATCH_1})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# Writes the module-definition file for a DLL of `pointer_size` bytes.
function(quillet_write_def path pointer_size)
  set(text "; The exports of nquillet.dll (written by cmake/windows.cmake).\nLIBRARY nquillet.dll\nEXPORTS\n")
  foreach(entry IN LISTS QUILLET_HOOK_EXPORTS)
    string(REPLACE ":" ";" parts ${entry})
    list(GET parts 0 name)
    list(GET parts 1 bytes)
    if(pointer_size EQUAL 4)
      string(APPEND text "  ${name} = ${name}@${bytes}\n")
    else()
      string(APPEND text "  ${name}\n")
    endif()
  endforeach()
  foreach(name IN LISTS QUILLET_TIMER_EXPORTS)
    string(APPEND text "  ${name}\n")
  endforeach()
  string(APPEND text "  gdImageAABlend\n")
  quillet_gd_forwards(gd_names)
  foreach(name IN LISTS gd_names)
    string(APPEND text "  ${name} = ${QUILLET_LIBGD_MODULE}.${name}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${path} CONTENT "${text}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUILLET_ROOT}/src/exports/gd_exports.def)
endfunction()
