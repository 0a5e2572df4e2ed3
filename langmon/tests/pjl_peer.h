/*
 * The project's PJL responder (tools/pjl-responder) as a child process of a
 * test: started on a free loopback port with the test's fixture and mode,
 * stopped (and waited for) when the object goes; its standard input is a
 * pipe, so a test that dies takes it along.
 */
#ifndef TARVEL_LANGMON_PJL_PEER_H
#define TARVEL_LANGMON_PJL_PEER_H

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

/* The responder's reply to "@PJL INFO STATUS" (langmon/tests/fixtures/pjl_device.json). */
inline const std::string kPjlStatusReply = "@PJL INFO STATUS\r\nCODE=10001\r\nDISPLAY=\"Ready\"\r\nONLINE=TRUE\r\n\f";

class PjlPeer {
public:
    /* `extra`: further responder options ("--mode", "silent", ...). */
    PjlPeer(const std::string &recordFile, const std::vector<std::string> &extra = {})
        : record(recordFile)
    {
        std::remove(record.c_str());
        const std::string root = TARVEL_SOURCE_DIR;
        std::vector<std::string> args = {"python3", root + "/tools/pjl-responder/pjl_responder.py",
                                         root + "/langmon/tests/fixtures/pjl_device.json", "--record", record};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (posix_spawnp(&pid, "python3", &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        stdinFd = in[1];
        FILE *from = fdopen(out[0], "r");
        char line[64] = {};
        if (from && std::fgets(line, sizeof line, from))
            std::sscanf(line, "PORT %hu", &port);
        if (from)
            std::fclose(from);
    }

    ~PjlPeer()
    {
        if (stdinFd >= 0)
            close(stdinFd);
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status = 0;
            waitpid(pid, &status, 0);
        }
        std::remove(record.c_str());
    }

    PjlPeer(const PjlPeer &) = delete;
    PjlPeer &operator=(const PjlPeer &) = delete;

    bool running() const { return pid > 0 && port != 0; }

    /* Every byte the device received on its job connections so far. */
    std::string received() const
    {
        std::ifstream f(record, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }

    /* Waits (real time, at most 10 s) until the device has received `bytes` bytes. */
    std::string received_at_least(size_t bytes) const
    {
        for (int i = 0; i < 500; ++i) {
            std::string r = received();
            if (r.size() >= bytes)
                return r;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return received();
    }

    std::string record;
    pid_t pid = -1;
    unsigned short port = 0;
    int stdinFd = -1;
};

#endif
