// A program the simulated host starts in the tests: it reports the
// environment the host gave it and then waits until it is stopped.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
  const char* sdn = std::getenv("SafetyDomainNumber");
  const char* ns = std::getenv("SCM_SIM_NAMESPACE");
  const char* socket = std::getenv("SCM_SIM_HOST_SOCKET");
  std::printf("started pid=%d sdn=%s namespace=%s socket=%s args=%d\n", static_cast<int>(getpid()),
              sdn ? sdn : "-", ns ? ns : "-", socket ? socket : "-", argc - 1);
  std::fflush(stdout);
  if (argc > 1 && std::strcmp(argv[1], "exit3") == 0) return 3;
  for (int i = 0; i < 600; ++i) sleep(1);
  return 0;
}
