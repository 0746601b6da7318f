// Loaded by the system: exports that the imports DLL takes by name and by ordinal.
int ProviderByName(void) { return 40; }
int ProviderByOrdinal(void) { return 2; }
