// The model (KivoSoft/model) and the control kit (KivoSoft/controls) both build on platform/ and
// on nothing of each other: neither folder, its tests included, includes a header of the other,
// and neither library links the other.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// "file:line: text" of every include of a header under `forbidden` in the sources of `folder`.
std::vector<std::string> includesOf(const std::string& folder, const std::string& forbidden)
{
    std::vector<std::string> found;
    const fs::path root = fs::path(KIVO_SOURCE_DIR) / folder;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) {
            continue;
        }
        std::ifstream in(entry.path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            const auto hash = line.find_first_not_of(" \t");
            if (hash != std::string::npos && line.compare(hash, 1, "#") == 0 &&
                line.find("include") != std::string::npos &&
                line.find("\"" + forbidden) != std::string::npos) {
                found.push_back(fs::relative(entry.path(), KIVO_SOURCE_DIR).string() + ":" +
                                std::to_string(number) + ": " + line);
            }
        }
    }
    return found;
}

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> all;
    for (std::string word; in >> word;) {
        all.push_back(word);
    }
    return all;
}

TEST(Layering, ModelAndControlKitNeitherIncludeNorLinkEachOther)
{
    struct Case {
        const char* folder;
        const char* other;
        const char* links;
        const char* otherLibrary;
    };
    const Case cases[] = {
        {"KivoSoft/model", "KivoSoft/controls/", MODEL_LINKS, "kivo_controls"},
        {"KivoSoft/controls", "KivoSoft/model/", CONTROLS_LINKS, "kivo_model"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(includesOf(c.folder, c.other), std::vector<std::string>{});
        for (const std::string& library : words(c.links)) {
            EXPECT_NE(library, c.otherLibrary);
        }
    }
}

} // namespace
