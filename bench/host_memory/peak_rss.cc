// peak_rss OUT PROGRAM [ARG...]: runs the program with this process's
// standard input and output and writes its peak resident set size in KiB to
// the file OUT; exits with the program's exit code. Being small, it starts the
// program without the memory of a large parent counted in the program's peak.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: peak_rss OUT PROGRAM [ARG...]\n");
    return 2;
  }
  const pid_t child = fork();
  if (child == 0) {
    execv(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return 2;
  if (FILE* out = std::fopen(argv[1], "w")) {
    std::fprintf(out, "%ld\n", usage.ru_maxrss);
    std::fclose(out);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}
