/* A library that the engine must never load: it stands in for a file planted next to the
   installer under the name of a system library. */
__declspec(dllexport) int KbPlanted(void) {
    return 42;
}
