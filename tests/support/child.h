// A child process whose standard input and output are pipes held by the test.
#pragma once
#include <sys/types.h>

#include <functional>
#include <string>

namespace testing_support {

struct Child {
  pid_t pid = -1;
  int in = -1;   // write end of the child's standard input
  int out = -1;  // read end of the child's standard output (and error, when merged)
};

// Forks; the child runs body with the pipes as its standard streams, then exits with 0.
Child StartChild(const std::function<void()>& body, bool merge_stderr = false);
// Writes the text to the child's input and closes it (end of input).
void SendAndClose(Child& child, const std::string& text);
// Appends what the child writes to text until end of output.
void ReadToEnd(Child& child, std::string& text);
// Closes what is still open and waits; the exit status, or -1 when the child did not exit.
int Finish(Child& child);

}  // namespace testing_support
