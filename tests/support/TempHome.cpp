#include "support/TempHome.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempHome::TempHome() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "olmar-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempHome::~TempHome() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempHome::Write(const std::string& name, const std::string& content) const {
    std::filesystem::create_directories((path_ / name).parent_path());
    std::ofstream out(path_ / name, std::ios::binary);
    out << content;
}

std::string TempHome::Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
