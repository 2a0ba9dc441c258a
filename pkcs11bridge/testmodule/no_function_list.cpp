// A library that looks like a PKCS#11 module but exports no
// C_GetFunctionList.

extern "C" unsigned long C_Initialize(void*) { return 0; }
