// SPDX-License-Identifier: MIT
// Purpose: a fresh folder for a unit test, named after the test that makes it and removed with it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace enlazio::testutil {

class TempFolder {
public:
    TempFolder()
    {
        static int made = 0;
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "enlazio-" + std::to_string(::getpid()) + "-" +
                           (test != nullptr ? std::string(test->test_suite_name()) + "-" + test->name() : "fuera") +
                           "-" + std::to_string(++made);
        for (char& c : name)
            if (c == '/')
                c = '_';
        m_path = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder()
    {
        // A test may have taken the owner's rights away to see a failure.
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    std::filesystem::path write(const std::string& name, std::string_view bytes) const
    {
        const std::filesystem::path file = m_path / name;
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << file;
        return file;
    }

private:
    std::filesystem::path m_path;
};

} // namespace enlazio::testutil
