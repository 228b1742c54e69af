#pragma once
// Helpers for the store tests: a private directory per test and raw file access.

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace velmora::test {

class TempDirTest : public ::testing::Test {
protected:
    std::string pathOf(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }
    QTemporaryDir dir_;
};

inline std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace velmora::test
