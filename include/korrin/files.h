/* Files, directories and banks. Included by korrin.h.
 * Handles are ints (0: none); floats pass and return as 4-byte floats. */
/* ---- file streams ---- */
int _freadfile(krString* filename);
int _fwritefile(krString* filename);
int _fopenfile(krString* filename);
void _fclosefile(int file);
int _ffilepos(int file);
int _feof(int file);
int _fseekfile(int file, int pos);
int _freadbyte(int file);
int _freadshort(int file);
int _freadint(int file);
float _freadfloat(int file);
krString* _freadstring(int file);
krString* _freadline(int file);
void _fwritebyte(int file, int value);
void _fwriteshort(int file, int value);
void _fwriteint(int file, int value);
void _fwritefloat(int file, float value);
void _fwritestring(int file, krString* text);
void _fwriteline(int file, krString* text);
/* ---- directories and file operations ---- */
int _freaddir(krString* dirname);
krString* _fnextfile(int dir);
void _fclosedir(int dir);
krString* _fcurrentdir(void);
void _fchangedir(krString* dir);
void _fcreatedir(krString* dir);
void _fdeletedir(krString* dir);
int _ffiletype(krString* file);
int _ffilesize(krString* file);
void _fcopyfile(krString* file, krString* to);
void _fdeletefile(krString* file);
/* ---- banks ---- */
int _fcreatebank(int size);
void _ffreebank(int bank);
int _fpeekbyte(int bank, int offset);
int _fpeekshort(int bank, int offset);
int _fpeekint(int bank, int offset);
float _fpeekfloat(int bank, int offset);
void _fpokebyte(int bank, int offset, int value);
void _fpokeshort(int bank, int offset, int value);
void _fpokeint(int bank, int offset, int value);
void _fpokefloat(int bank, int offset, float value);
void _freadbytes(int bank, int file, int offset, int count);
void _fwritebytes(int bank, int file, int offset, int count);
