/*
 * Debian's snmpd as the network device's SNMP agent, started once per test
 * process on loopback addresses, all on one UDP port that is free on each
 * of them (so parallel test processes never share an agent):
 *   127.0.0.2  community "public" (SNMPv1) and the SNMPv3 user;
 *   127.0.0.3  the SNMPv3 user only;
 *   127.0.0.4  nothing listening;
 *   127.0.0.5  both, but every answer takes 1500 ms (a slow agent).
 * Each agent serves the printer's variables through the pass_persist script
 * langmon/tests/peers/printer_mib.py from a table file the test writes.
 * The agents die with the test process (PR_SET_PDEATHSIG) and are stopped
 * and waited for at its end; a missing or failing snmpd fails the tests
 * that need it with a clear message.
 */
#ifndef TARVEL_LANGMON_SNMP_PEERS_H
#define TARVEL_LANGMON_SNMP_PEERS_H

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

struct SnmpAgent {
    std::string address;
    std::string table; /* the table file the agent serves */
    pid_t pid = -1;
};

class SnmpPeers {
public:
    static constexpr const char *kV1AndV3 = "127.0.0.2";
    static constexpr const char *kV3Only = "127.0.0.3";
    static constexpr const char *kSilent = "127.0.0.4";
    static constexpr const char *kSlow = "127.0.0.5";

    /* The agents of this process, started on first use. */
    static SnmpPeers &get()
    {
        if (!instance())
            instance() = new SnmpPeers; /* stopped by the environment below, not by exit */
        return *instance();
    }

    /* The agents, when they were started. */
    static SnmpPeers *&instance()
    {
        static SnmpPeers *peers = nullptr;
        return peers;
    }

    /* Empty when the agents run; else why they do not. */
    const std::string &failure() const { return why; }
    int port() const { return udpPort; }

    /* Rewrites what the agent at `address` serves: lines "OID<TAB>string|integer<TAB>value". */
    void serve(const char *address, const std::string &rows)
    {
        for (SnmpAgent &a : agents)
            if (a.address == address) {
                const std::string temp = a.table + ".new";
                std::ofstream(temp, std::ios::binary) << rows;
                std::filesystem::rename(temp, a.table);
            }
    }

    void stop()
    {
        for (SnmpAgent &a : agents)
            if (a.pid > 0) {
                kill(a.pid, SIGTERM);
                int status = 0;
                waitpid(a.pid, &status, 0);
                a.pid = -1;
            }
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

private:
    SnmpPeers()
    {
        dir = "/tmp/tarvel-snmpd-" + std::to_string(getpid());
        std::filesystem::create_directories(dir);
        udpPort = free_port();
        if (!udpPort) {
            why = "no UDP port is free on 127.0.0.2, .3 and .5";
            return;
        }
        const bool haveSnmpd = std::filesystem::exists("/usr/sbin/snmpd");
        if (!haveSnmpd) {
            why = "/usr/sbin/snmpd is missing: run scripts/setup (package snmpd)";
            return;
        }
        start(kV1AndV3, true, 0);
        start(kV3Only, false, 0);
        start(kSlow, true, 1500);
        for (SnmpAgent &a : agents)
            if (!wait_ready(a)) {
                why = "snmpd on " + a.address + ":" + std::to_string(udpPort) + " did not start; its log:\n" +
                      read(dir + "/" + a.address + ".log");
                return;
            }
        /* the agents start their pass_persist scripts on first use: do that now, not in a test's time-out */
        for (SnmpAgent &a : agents)
            for (const char *oid : {".1.3.6.1.4.1.64927.1", ".1.3.6.1.2.1.43.5.1.1.10"})
                if (a.address != kSlow)
                    warm_up(a.address, oid);
    }

    /* One SNMPv3 GET with Debian's snmpget and a generous time-out; the answer does not matter. */
    void warm_up(const std::string &address, const char *oid)
    {
        const std::string agent = address + ":" + std::to_string(udpPort);
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl("/usr/bin/snmpget", "snmpget", "-v3", "-l", "authPriv", "-u", "Qlinkers", "-a", "SHA", "-A",
                  "7pelQoWNrasT51kobu9d", "-x", "AES", "-X", "GAMOV48lirEbtacwo2sy", "-t", "5", "-r", "0", "-m",
                  "", agent.c_str(), oid, static_cast<char *>(nullptr));
            _exit(127);
        }
        int status = 0;
        if (pid > 0)
            waitpid(pid, &status, 0);
    }

    static std::string read(const std::string &path)
    {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }

    /* A UDP port that is free on every agent address at once (0 when none was found). */
    static int free_port()
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            int first = socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            inet_pton(AF_INET, kV1AndV3, &a.sin_addr);
            if (first < 0 || bind(first, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
                close(first);
                return 0;
            }
            socklen_t len = sizeof a;
            getsockname(first, reinterpret_cast<sockaddr *>(&a), &len);
            const int port = ntohs(a.sin_port);
            bool all = true;
            for (const char *other : {kV3Only, kSlow}) {
                int s = socket(AF_INET, SOCK_DGRAM, 0);
                sockaddr_in b{};
                b.sin_family = AF_INET;
                b.sin_port = htons(uint16_t(port));
                inet_pton(AF_INET, other, &b.sin_addr);
                all = all && s >= 0 && bind(s, reinterpret_cast<sockaddr *>(&b), sizeof b) == 0;
                close(s);
            }
            close(first);
            if (all)
                return port;
        }
        return 0;
    }

    void start(const char *address, bool community, int delayMs)
    {
        SnmpAgent a;
        a.address = address;
        a.table = dir + "/" + a.address + ".table";
        std::ofstream(a.table) << "";
        const std::string script = std::string(TARVEL_SOURCE_DIR) + "/langmon/tests/peers/printer_mib.py";
        const std::string conf = dir + "/" + a.address + ".conf";
        {
            std::ofstream c(conf);
            if (community)
                c << "rocommunity public 127.0.0.0/8\n";
            c << "createUser Qlinkers SHA \"7pelQoWNrasT51kobu9d\" AES \"GAMOV48lirEbtacwo2sy\"\n"
              << "rouser Qlinkers priv\n"
              << "pass_persist .1.3.6.1.4.1.64927 " << script << " .1.3.6.1.4.1.64927\n"
              << "pass_persist .1.3.6.1.2.1.43.5.1.1.10 " << script << " .1.3.6.1.2.1.43.5.1.1.10\n";
        }
        const std::string persistent = dir + "/" + a.address + ".state";
        std::filesystem::create_directories(persistent);
        const std::string log = dir + "/" + a.address + ".log";
        const std::string listen = "udp:" + a.address + ":" + std::to_string(udpPort);
        const std::string pidFile = dir + "/" + a.address + ".pid";
        const pid_t parent = getpid();
        a.pid = fork();
        if (a.pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent)
                _exit(1);
            setenv("TARVEL_MIB_TABLE", a.table.c_str(), 1);
            setenv("TARVEL_MIB_DELAY_MS", std::to_string(delayMs).c_str(), 1);
            setenv("SNMP_PERSISTENT_DIR", persistent.c_str(), 1);
            setenv("MIBS", "", 1);
            setenv("MIBDIRS", "/nonexistent", 1);
            execl("/usr/sbin/snmpd", "snmpd", "-f", "-C", "-c", conf.c_str(), "-Lf", log.c_str(), "-p",
                  pidFile.c_str(), listen.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        agents.push_back(a);
    }

    /* Waits (at most 15 s) until the agent has logged its start; false when it ended or never did. */
    bool wait_ready(const SnmpAgent &a)
    {
        const std::string log = dir + "/" + a.address + ".log";
        for (int i = 0; i < 300; ++i) {
            if (read(log).find("NET-SNMP version") != std::string::npos)
                return true;
            int status = 0;
            if (waitpid(a.pid, &status, WNOHANG) == a.pid)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::string dir;
    std::string why;
    int udpPort = 0;
    std::vector<SnmpAgent> agents;
};

/* Stops the agents when the tests end (a crash takes them along through PR_SET_PDEATHSIG). */
class SnmpPeersEnvironment : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (SnmpPeers *peers = SnmpPeers::instance())
            peers->stop();
    }
};

#endif
