// Running the `tarvel` program from the host tests.
#ifndef HOST_TESTS_HOST_TEST_SUPPORT_H
#define HOST_TESTS_HOST_TEST_SUPPORT_H

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

/* Runs the shell command `command`; its output (both streams) and, in *status, its exit code (-1 when it did not exit). */
inline std::string run_command(const std::string &command, int *status)
{
    std::string cmd = command + " 2>&1";
    FILE *p = ::popen(cmd.c_str(), "r");
    std::string out;
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p))
        out += buf;
    int rc = p ? ::pclose(p) : -1;
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

/* Runs `tarvel` with `args`, as run_command() does. */
inline std::string run(const std::string &args, int *status)
{
    return run_command(std::string(TARVEL_HOST_BINARY) + " " + args, status);
}

/* Runs `tarvel` with `args` from the working folder `folder`, as run() does. */
inline std::string run_in(const std::filesystem::path &folder, const std::string &args, int *status)
{
    return run_command("cd '" + folder.string() + "' && " + std::string(TARVEL_HOST_BINARY) + " " + args, status);
}

#endif /* HOST_TESTS_HOST_TEST_SUPPORT_H */
