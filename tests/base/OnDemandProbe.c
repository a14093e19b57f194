/* A small library for the on-demand loading tests: counts how often it was prepared. */
#include <stdarg.h>

static int prepared = 0;

void ondemand_probe_prepare(void) {
  ++prepared;
}
int ondemand_probe_prepared(void) {
  return prepared;
}
int ondemand_probe_add(int a, int b) {
  return a + b;
}

int ondemand_probe_sum(int count, ...) {
  va_list list;
  va_start(list, count);
  int total = 0;
  for (int i = 0; i < count; ++i) total += va_arg(list, int);
  va_end(list);
  return total;
}
