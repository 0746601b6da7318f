// Imports a function that its library does not have.
__declspec(dllimport) int PtNoSuchExport(void);
__declspec(dllexport) int MissingCall(void) { return PtNoSuchExport(); }
