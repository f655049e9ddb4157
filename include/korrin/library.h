/* String and maths commands. Included by korrin.h. */

/* ---- maths: angles in degrees; float arguments and results are 4-byte floats ---- */
float _fsin(float degrees);
float _fcos(float degrees);
float _ftan(float degrees);
float _fasin(float x);
float _facos(float x);
float _fatan(float x);
float _fatan2(float floata, float floatb); /* angle of the point (floatb, floata) */
float _fsqr(float x);
float _ffloor(float x);
float _fceil(float x);
float _fexp(float x);
float _flog(float x);
float _flog10(float x);
float _frnd(float from, float to);         /* to defaults to 0 */
void _fseedrnd(int seed);

/* ---- strings: positions are 1-based; string arguments are consumed ---- */
krString* _fstring(krString* string, int repeat);
krString* _fleft(krString* string, int count);
krString* _fright(krString* string, int count);
krString* _freplace(krString* string, krString* from, krString* to);
int _finstr(krString* string, krString* find, int from);        /* from defaults to 1 */
krString* _fmid(krString* string, int start, int count);        /* count defaults to -1 */
krString* _fupper(krString* string);
krString* _flower(krString* string);
krString* _ftrim(krString* string);
krString* _flset(krString* string, int size);
krString* _frset(krString* string, int size);
krString* _fchr(int ascii);
int _fasc(krString* string);
int _flen(krString* string);
krString* _fhex(int value);
krString* _fbin(int value);
krString* _fcurrentdate(void);
krString* _fcurrenttime(void);
