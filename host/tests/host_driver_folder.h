// A driver folder of a host test's own: the build's driver files seen
// through links, plus a model pair the test lays out with the model writer,
// and `tarvel` pointed at it for the life of a holder.
#ifndef HOST_TESTS_HOST_DRIVER_FOLDER_H
#define HOST_TESTS_HOST_DRIVER_FOLDER_H

#include <modelwriter/model_writer.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

/* Sets an environment variable for the holder's life, then puts the old value back (or unsets it). */
class ScopedEnv {
public:
    ScopedEnv(const char *name, const std::string &value) : name_(name)
    {
        const char *old = std::getenv(name);
        had_ = old != nullptr;
        if (had_)
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *name_;
    bool had_ = false;
    std::string old_;
};

/*
 * Makes `folder` a driver folder: links to every file of the build's
 * (TARVEL_DRIVER_DIR) and `model`'s two files.  Empty on success, else
 * what went wrong.
 */
inline std::string make_driver_folder(const std::filesystem::path &folder, const mw::Model &model)
{
    namespace fs = std::filesystem;
    const char *built = std::getenv("TARVEL_DRIVER_DIR");
    if (!built)
        return "TARVEL_DRIVER_DIR is not set";
    fs::create_directories(folder);
    for (const auto &entry : fs::directory_iterator(built))
        if (entry.is_regular_file())
            fs::create_symlink(fs::absolute(entry.path()), folder / entry.path().filename());
    mw::Bytes mainFile, companion;
    std::string error;
    if (!mw::build(model, mainFile, companion, error, false))
        return error;
    for (const auto &[name, bytes] : {std::pair{model.fileName, &mainFile}, std::pair{model.companionName, &companion}}) {
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes->data()), std::streamsize(bytes->size()));
        if (!out)
            return "cannot write " + (folder / name).string();
    }
    return {};
}

#endif /* HOST_TESTS_HOST_DRIVER_FOLDER_H */
