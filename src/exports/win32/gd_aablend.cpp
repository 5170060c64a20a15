// gdImageAABlend in nquillet.dll: every other gd* export forwards to libgd's
// DLL (see the module-definition file), but this one is our own and does
// nothing. Anti-aliased blending is done while drawing; the entry is kept for
// callers of the old interface.
extern "C" void gdImageAABlend(void* /*image*/) {}
