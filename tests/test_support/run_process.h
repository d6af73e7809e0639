#pragma once
// Runs a program with its output captured, for whole-program tests: to its end (RunProcess),
// or in the background while the test talks to it (ChildProcess).

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "test_support/temp_dir.h"

extern char** environ;

namespace vesk::test {

struct ProcessResult {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Polls `condition` every 20 ms for up to `seconds`; its last value.
template <class Condition>
bool WaitUntil(Condition condition, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// A program started with stdin from /dev/null and stdout/stderr going to files the test can
// read at any time. Killed (SIGKILL) if it is still running when the object goes away.
class ChildProcess {
 public:
  // `env` entries are added to (or replace those of) this process's environment.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, OutPath().c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, ErrPath().c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);

    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      if (env.count(entry.substr(0, entry.find('='))) == 0) envStrings.push_back(entry);
    }
    for (const auto& [name, value] : env) envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
      pid_ = -1;
      startError_ = "cannot start " + program;
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  ~ChildProcess() {
    if (Running()) {
      ::kill(pid_, SIGKILL);
      Reap(true);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running() {
    Reap(false);
    return pid_ > 0 && !exited_;
  }
  void Signal(int signal) {
    if (Running()) ::kill(pid_, signal);
  }
  // Waits up to `seconds` for the end; the exit code, or -1 (still running, or killed by a
  // signal).
  int Wait(double seconds) {
    WaitUntil([this] { return !Running(); }, seconds);
    return exitCode_;
  }
  // The signal that ended the program (0: it exited, or still runs).
  int KilledBy() const { return killedBy_; }
  // What the program wrote so far.
  std::string Out() const { return startError_.empty() ? ReadFile(OutPath()) : ""; }
  std::string Err() const { return startError_.empty() ? ReadFile(ErrPath()) : startError_; }
  // The program's thread count (0 when it is gone).
  int Threads() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    }
    return 0;
  }

 private:
  std::string OutPath() const { return capture_ / "stdout"; }
  std::string ErrPath() const { return capture_ / "stderr"; }
  void Reap(bool block) {
    if (pid_ <= 0 || exited_) return;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    if (r == pid_) {
      exited_ = true;
      if (WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
      if (WIFSIGNALED(status)) killedBy_ = WTERMSIG(status);
    }
  }

  TempDir capture_;
  pid_t pid_ = -1;
  bool exited_ = false;
  int exitCode_ = -1;
  int killedBy_ = 0;
  std::string startError_;
};

// Runs `program` with `args` to its end.
inline ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                const std::map<std::string, std::string>& env = {}) {
  ChildProcess child(program, args, env);
  ProcessResult result;
  result.exitCode = child.Wait(1e9);
  result.out = child.Out();
  result.err = child.Err();
  return result;
}

}  // namespace vesk::test
