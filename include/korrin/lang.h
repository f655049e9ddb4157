/* Language support routines. Included by korrin.h. */
krString* __krStrConst(const char* text);
void __krStrRelease(krString* s);
