// Imports from pt_virtual.dll, which no system loader can find.
__declspec(dllimport) int VirtualAnswer(void);
__declspec(dllimport) int VirtualByOrdinal(void);
__declspec(dllexport) int VirtualSum(void) { return VirtualAnswer() * 100 + VirtualByOrdinal(); }
