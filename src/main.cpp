#include <cstdio>

// The listener and host are not assembled yet: the executable builds and says so.
int main() {
  std::puts("livrexa-server: built; the HTTP listener and the host are not assembled into the executable yet.");
  return 0;
}
