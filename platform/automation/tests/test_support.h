// Shared by the object model's tests and the registration tool's tests: a registry file of the
// test's own, and the paths of the test servers.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace kivo::automation::testing {

// A fresh folder whose "registry" file is $KIVO_REGISTRY while the object lives.
class TempRegistry {
public:
    TempRegistry()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kivo-reg-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        dir_ = pattern;
        path_ = (dir_ / "registry").string();
        if (const char* old = std::getenv("KIVO_REGISTRY")) {
            previous_ = old;
            hadPrevious_ = true;
        }
        ::setenv("KIVO_REGISTRY", path_.c_str(), 1);
    }
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;
    ~TempRegistry()
    {
        if (hadPrevious_) {
            ::setenv("KIVO_REGISTRY", previous_.c_str(), 1);
        } else {
            ::unsetenv("KIVO_REGISTRY");
        }
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    const std::string& path() const { return path_; }
    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path dir_;
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

inline std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

} // namespace kivo::automation::testing
