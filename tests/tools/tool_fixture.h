#pragma once
// Runs velmora-tool as a child process in a scratch program folder that the test fills with a
// config.txt, theme folders and pictures.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/png_file.h"
#include "support/temp_folder.h"

namespace velmora::testing {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string shellQuote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(root / "themes"); }

    ToolRun run(const std::vector<std::string>& args) {
        std::string command = shellQuote(VELMORA_TOOL_PATH);
        for (const std::string& arg : args) {
            command += ' ';
            command += shellQuote(arg);
        }
        const auto outPath = root / "stdout.txt";
        const auto errPath = root / "stderr.txt";
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about
        // operator+(const char*, string&&).
        command += " >";
        command += shellQuote(outPath.string());
        command += " 2>";
        command += shellQuote(errPath.string());
        command += " </dev/null";
        ToolRun result;
        const int status = std::system(command.c_str());
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readFile(outPath);
        result.err = readFile(errPath);
        std::filesystem::remove(outPath);
        std::filesystem::remove(errPath);
        return result;
    }

    std::string rootArg() const { return root.string(); }

    TempFolder folder;
    const std::filesystem::path root = folder.path();
};

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

}  // namespace velmora::testing
