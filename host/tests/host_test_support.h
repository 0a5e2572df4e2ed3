// Running the `tarvel` program from the host tests.
#ifndef HOST_TESTS_HOST_TEST_SUPPORT_H
#define HOST_TESTS_HOST_TEST_SUPPORT_H

#include <cstdio>
#include <string>
#include <sys/wait.h>

/* Runs `tarvel` with `args`; its output (both streams) and, in *status, its exit code (-1 when it did not exit). */
inline std::string run(const std::string &args, int *status)
{
    std::string cmd = std::string(TARVEL_HOST_BINARY) + " " + args + " 2>&1";
    FILE *p = ::popen(cmd.c_str(), "r");
    std::string out;
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p))
        out += buf;
    int rc = p ? ::pclose(p) : -1;
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

#endif /* HOST_TESTS_HOST_TEST_SUPPORT_H */
