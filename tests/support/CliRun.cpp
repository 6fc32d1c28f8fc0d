#include "support/CliRun.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/FaultHelpers.h"

std::string CliPath() {
  if (const char* dir = std::getenv("QUENDREL_BIN_DIR")) return std::string(dir) + "/quendrel-cli-test";
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string() + "/quendrel-cli-test";
}

CliResult RunCli(const TempDir& home, const std::string& args, const std::function<void(pid_t)>& whileRunning,
                 double timeScale) {
  const std::string out = home.File("out.txt"), err = home.File("err.txt");
  const std::string cmd = "cd '" + home.path() + "' && HOME='" + home.path() + "' XDG_CONFIG_HOME='" + home.path() +
                          "/config' XDG_DATA_HOME='" + home.path() + "/.local/share' QUENDREL_NO_SYSTEM_PORTS=1 QUENDREL_TEST_TIME_SCALE=" + std::to_string(timeScale) +
                          " exec " +
                          (whileRunning ? "" : "timeout 120 ") + "'" + CliPath() + "' " + args + " >'" + out +
                          "' 2>'" + err + "' </dev/null";
  CliResult r;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    // A run that loops must not outlive its test nor fill the disk with its output.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // Only ever lowered: a test may have set a smaller one for a full disk.
    rlimit fileLimit{};
    getrlimit(RLIMIT_FSIZE, &fileLimit);
    const rlim_t most = rlim_t{256} << 20;
    if (fileLimit.rlim_cur == RLIM_INFINITY || fileLimit.rlim_cur > most) fileLimit.rlim_cur = most;
    setrlimit(RLIMIT_FSIZE, &fileLimit);
    for (int fd = 3; fd < 4096; ++fd) close(fd);
    execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int st = 0;
  if (pid > 0 && whileRunning) whileRunning(pid);
  if (pid > 0) waitpid(pid, &st, 0);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.status = pid > 0 && WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.out = faults::ReadAll(out);
  r.err = faults::ReadAll(err);
  return r;
}
