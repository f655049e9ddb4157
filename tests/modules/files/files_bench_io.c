/* Benchmark module (run by bench/bench_files_io, which supplies bench_mark):
 * ReadByte over the whole of bench.bin, then ReadBytes of it into one bank,
 * 5 and 15 times (one ReadBytes takes about a millisecond). bench_mark(phase,
 * value) records the time of each step. */
#include "files_module_util.h"

void bench_mark(int phase, int value);

void __MAIN(void) {
  int size = _ffilesize(S("bench.bin"));
  for (int pass = 0; pass < 5; pass++) {
    bench_mark(0, 0);
    int f = _freadfile(S("bench.bin"));
    unsigned sum = 0;
    for (int i = 0; i < size; i++) sum += (unsigned)_freadbyte(f);
    _fclosefile(f);
    bench_mark(1, (int)sum);
  }
  int bank = _fcreatebank(size);
  for (int pass = 0; pass < 15; pass++) {
    bench_mark(2, 0);
    int f = _freadfile(S("bench.bin"));
    _freadbytes(bank, f, 0, size);
    _fclosefile(f);
    bench_mark(3, _fpeekint(bank, size - 4));
  }
}
