#pragma once
// File and command helpers shared by the unit and flow tests.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace sw::testing {

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs a shell command; returns what it printed on standard output, and
// its exit status in status when given (otherwise a failing status fails
// the test).
inline std::string RunCommand(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return out;
    }
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    const int result = ::pclose(pipe);
    const int exitStatus = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    if (status)
        *status = exitStatus;
    else
        EXPECT_EQ(exitStatus, 0) << command;
    return out;
}

}  // namespace sw::testing
