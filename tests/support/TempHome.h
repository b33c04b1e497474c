#pragma once
// A temporary program home for one test; removed afterwards. Never the developer's files.
#include <filesystem>
#include <string>

class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    // With a trailing '/', as ProgramHome() gives it.
    std::string Dir() const { return path_.string() + "/"; }
    std::filesystem::path Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    void Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;

private:
    std::filesystem::path path_;
};
