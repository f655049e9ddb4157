/* Holds three banks, a timer and two strings and says "holding", pumps
   (Delay) for 1.5 s, frees a bank and the timer and pumps for 1.5 s more, so
   a watcher's reports from the two phases differ by exactly those records. */
#include "core_support.h"

static krString* held[2];

static void pumpFor(int millisecs) {
  int start = _fmillisecs();
  while (_fmillisecs() - start < millisecs) _fdelay(10);
}

void __MAIN(void) {
  int banks[3], i;
  int timer = _fcreatetimer(10);
  for (i = 0; i < 3; ++i) banks[i] = _fcreatebank(64);
  __krStrStore(&held[0], __krStrConst("kept one"));
  __krStrStore(&held[1], __krStrConst("kept two"));
  logText("holding");
  pumpFor(1500);
  _ffreebank(banks[0]);
  _ffreetimer(timer);
  logText("freed");
  pumpFor(1500);
  logText("done");
}
