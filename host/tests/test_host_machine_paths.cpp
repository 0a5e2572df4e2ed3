// `tarvel print` on a new machine folder named by a path of every length
// from 1 to 200 characters.  The length of the folder's name decides the
// sizes of many of the program's allocations, so a handle or table entry
// that outlives what it names shows up at some lengths and not others (an
// optimised build reuses freed memory at once, a sanitizer build does not):
// every length must install the printer and print a job the lister accepts.
#include "pxllist/pxllist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <span>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kLongest = 200;

/* Runs `command` through the shell; its output and, in *status, its exit code (-1: it did not exit). */
std::string shell(const std::string &command, int *status)
{
    FILE *p = ::popen((command + " 2>&1").c_str(), "r");
    std::string out;
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p))
        out += buf;
    const int rc = p ? ::pclose(p) : -1;
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

/* A machine folder name of exactly `length` characters: "m" then a digit pattern. */
std::string folder_name(int length)
{
    std::string name(size_t(length), 'm');
    for (size_t i = 1; i < name.size(); i++)
        name[i] = char('0' + i % 10);
    return name;
}

/* The lister's verdict on a job file: "" when it reads cleanly, else why not. */
std::string list_verdict(const fs::path &job)
{
    std::ifstream in(job, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty())
        return "empty job file";
    pxllist::Listing l;
    if (!pxllist::ListJob(std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()), {},
                          &l))
        return pxllist::FormatError(l.error);
    return "";
}

TEST(HostMachinePaths, EveryFolderNameLengthInstallsAndPrints)
{
    const fs::path dir = fs::temp_directory_path() / ("tarvel-paths-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);

    std::atomic<int> next{1};
    std::mutex lock;
    std::vector<std::string> failures;
    auto worker = [&] {
        for (int n = next++; n <= kLongest; n = next++) {
            const std::string name = folder_name(n);
            const std::string job = "job-" + std::to_string(n) + ".prn";
            int status = 0;
            const std::string out = shell("cd '" + dir.string() + "' && " + TARVEL_HOST_BINARY + " --machine " +
                                              name + " print --pages 1 -o " + job,
                                          &status);
            std::string why;
            if (status != 0)
                why = "exit " + std::to_string(status) + ": " + out;
            else if (std::string v = list_verdict(dir / job); !v.empty())
                why = v;
            std::error_code ec;
            fs::remove_all(dir / name, ec);
            fs::remove(dir / job, ec);
            if (!why.empty()) {
                std::lock_guard<std::mutex> g(lock);
                failures.push_back("length " + std::to_string(n) + ": " + why);
            }
        }
    };
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 2u, 8u);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < workers; i++)
        threads.emplace_back(worker);
    for (std::thread &t : threads)
        t.join();
    fs::remove_all(dir);

    std::sort(failures.begin(), failures.end());
    EXPECT_TRUE(failures.empty()) << failures.size() << " lengths failed, the first: " << failures.front();
}

} // namespace
