// Imports one function of ldr_provider.dll by name and one by ordinal.
__declspec(dllimport) int ProviderByName(void);
__declspec(dllimport) int ProviderByOrdinal(void);
__declspec(dllexport) int ImportsSum(void) { return ProviderByName() + ProviderByOrdinal(); }
