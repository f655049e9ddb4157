/* Fonts, text and the text console (graphics group). Included by korrin.h. */
/* ---- fonts and text ---- */
int _floadfont(krString* fontname, int height, int bold, int italic, int underline);
void _ffreefont(int font);
void _fsetfont(int font);
void _ftext(int x, int y, krString* text, int centre_x, int centre_y);
int _ffontwidth(void);
int _ffontheight(void);
int _fstringwidth(krString* string);
int _fstringheight(krString* string);
/* ---- console ---- */
void _fwrite(krString* string);
void _fprint(krString* string);
krString* _finput(krString* prompt);
void _flocate(int x, int y);
