/* Display, canvases and drawing. Included by korrin.h. */
/* ---- display ---- */
int _fcountgfxdrivers(void);
krString* _fgfxdrivername(int driver);
void _fsetgfxdriver(int driver);
int _fcountgfxmodes(void);
int _fgfxmodewidth(int mode);
int _fgfxmodeheight(int mode);
int _fgfxmodedepth(int mode);
int _ffindgfxmode(int width, int height, int depth);
int _fgfxmodeexists(int width, int height, int depth);
int _ftotalvidmem(void);
int _favailvidmem(void);
void _fgraphics(int width, int height, int depth, int mode);
void _fendgraphics(void);
int _ffrontbuffer(void);
int _fbackbuffer(void);
int _fscanline(void);
void _fvwait(int frames);
void _fflip(int vwait);
int _fgraphicswidth(void);
int _fgraphicsheight(void);
int _fgraphicsdepth(void);
/* ---- buffers ---- */
void _fsetbuffer(int buffer);
int _fgraphicsbuffer(void);
int _fsavebuffer(int buffer, krString* bmpfile);
void _flockbuffer(int buffer);
void _funlockbuffer(int buffer);
int _freadpixel(int x, int y, int buffer);
void _fwritepixel(int x, int y, int argb, int buffer);
int _freadpixelfast(int x, int y, int buffer);
void _fwritepixelfast(int x, int y, int argb, int buffer);
/* ---- drawing ---- */
void _forigin(int x, int y);
void _fviewport(int x, int y, int width, int height);
void _fcolor(int red, int green, int blue);
void _fgetcolor(int x, int y);
int _fcolorred(void);
int _fcolorgreen(void);
int _fcolorblue(void);
void _fclscolor(int red, int green, int blue);
void _fcls(void);
void _fplot(int x, int y);
void _fline(int x1, int y1, int x2, int y2);
void _frect(int x, int y, int width, int height, int solid);
void _foval(int x, int y, int width, int height, int solid);
