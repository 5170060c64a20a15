// The hook driver's exported entry points (MainEntryPoint, the hooks, the timer
// entry points and GetFileVersion) are defined in this folder; the shared
// library nquillet is built from them over quillet_core.
