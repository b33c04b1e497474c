#include "shell/ProgramHome.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string ExecutableFolder() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "./";
    std::string dir = exe.parent_path().string();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

std::string ProgramHome() {
    const char* env = std::getenv("OLMAR_HOME");
    if (env && *env) {
        std::string dir = env;
        if (dir.back() != '/') dir += '/';
        return dir;
    }
    return ExecutableFolder();
}
