/* Images, collisions and transforms. Included by korrin.h. */
/* ---- images and frames ---- */
int _floadimage(krString* bmpfile);
int _fcopyimage(int image);
int _fcreateimage(int width, int height, int frames);
int _floadanimimage(krString* bmpfile, int cellwidth, int cellheight, int first, int count);
void _ffreeimage(int image);
int _fsaveimage(int image, krString* bmpfile, int frame);
void _fgrabimage(int image, int x, int y, int frame);
int _fimagebuffer(int image, int frame);
void _fdrawimage(int image, int x, int y, int frame);
void _fdrawblock(int image, int x, int y, int frame);
void _ftileimage(int image, int x, int y, int frame);
void _ftileblock(int image, int x, int y, int frame);
void _fdrawimagerect(int image, int x, int y, int rect_x, int rect_y, int rect_width, int rect_height, int frame);
void _fdrawblockrect(int image, int x, int y, int rect_x, int rect_y, int rect_width, int rect_height, int frame);
void _fmaskimage(int image, int red, int green, int blue);
void _fhandleimage(int image, int x, int y);
void _fmidhandle(int image);
void _fautomidhandle(int enable);
int _fimagewidth(int image);
int _fimageheight(int image);
int _fimagexhandle(int image);
int _fimageyhandle(int image);
/* ---- collisions ---- */
int _fimagesoverlap(int image1, int x1, int y1, int image2, int x2, int y2);
int _fimagescollide(int image1, int x1, int y1, int frame1, int image2, int x2, int y2, int frame2);
int _frectsoverlap(int x1, int y1, int width1, int height1, int x2, int y2, int width2, int height2);
int _fimagerectoverlap(int image, int x, int y, int rect_x, int rect_y, int rect_width, int rect_height);
int _fimagerectcollide(int image, int x, int y, int frame, int rect_x, int rect_y, int rect_width, int rect_height);
/* ---- transforms ---- */
void _ftformimage(int image, float a, float b, float c, float d);
void _fscaleimage(int image, float xscale, float yscale);
void _fresizeimage(int image, float width, float height);
void _frotateimage(int image, float angle);
void _ftformfilter(int enable);
/* ---- pictures into buffers ---- */
int _floadbuffer(int buffer, krString* bmpfile);
