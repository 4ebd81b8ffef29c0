// orrery-cart: makes and inspects cartridges from the files authors already
// use (pictures, tile maps, text, MIDI files).
#include <cstdio>

int main() {
  fprintf(stderr, "orrery-cart: not built yet\n");
  return 3;
}
