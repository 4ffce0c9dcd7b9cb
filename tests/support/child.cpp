#include "tests/support/child.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace testing_support {

Child StartChild(const std::function<void()>& body, bool merge_stderr) {
  int in[2], out[2];
  if (pipe(in) != 0) return {};
  if (pipe(out) != 0) {
    close(in[0]);
    close(in[1]);
    return {};
  }
  // What this process has buffered must not be written twice, once by the child.
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    if (merge_stderr) dup2(out[1], 2);
    close(in[1]);
    close(out[0]);
    body();
    _exit(0);
  }
  close(in[0]);
  close(out[1]);
  return {pid, in[1], out[0]};
}

void SendAndClose(Child& child, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(child.in, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += size_t(n);
  }
  close(child.in);
  child.in = -1;
}

void ReadToEnd(Child& child, std::string& text) {
  char buf[4096];
  ssize_t n;
  while ((n = read(child.out, buf, sizeof buf)) > 0) text.append(buf, size_t(n));
}

int Finish(Child& child) {
  if (child.in >= 0) close(child.in);
  // Read what the child still writes: closing first would end it with SIGPIPE.
  if (child.out >= 0) {
    std::string rest;
    ReadToEnd(child, rest);
    close(child.out);
  }
  child.in = child.out = -1;
  int status = 0;
  if (child.pid < 0 || waitpid(child.pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testing_support
