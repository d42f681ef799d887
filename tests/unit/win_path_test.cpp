// SPDX-License-Identifier: MIT
// Purpose: Windows-style paths resolved under the mapped drive C:, without regard to case.
#include "formats/win_path.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace enlazio;

namespace {

class WinPath : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_root / "drive_c");
        ::setenv("ENLAZIO_DRIVE_C", (m_root / "drive_c").c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("ENLAZIO_DRIVE_C");
    }
    testutil::TempFolder m_folder;
    fs::path m_root = m_folder.path();
};

} // namespace

TEST_F(WinPath, DriveCComesFromTheEnvironmentThenWine)
{
    EXPECT_EQ(driveCRoot(), m_root / "drive_c");
    ::unsetenv("ENLAZIO_DRIVE_C");
    ::setenv("WINEPREFIX", "/opt/prefix", 1);
    EXPECT_EQ(driveCRoot(), fs::path("/opt/prefix/drive_c"));
    ::unsetenv("WINEPREFIX");
    EXPECT_EQ(driveCRoot(), fs::path(std::getenv("HOME")) / ".wine/drive_c");
}

TEST_F(WinPath, BothSpellingsOfTheExchangeFolderNameOneFolder)
{
    fs::create_directories(m_root / "drive_c/atemp/Delphos");
    EXPECT_EQ(resolveWindowsPath("C:\\ATEMP"), m_root / "drive_c/atemp");
    EXPECT_EQ(resolveWindowsPath("c:\\atemp"), m_root / "drive_c/atemp");
    EXPECT_EQ(exchangeFolder(), m_root / "drive_c/atemp");
    EXPECT_EQ(resolveWindowsPath("c:\\atemp\\delphos"), m_root / "drive_c/atemp/Delphos");
}

TEST_F(WinPath, MissingComponentsKeepTheirSpellingAndTheFolderIsNotCreated)
{
    EXPECT_EQ(resolveWindowsPath("C:\\ATEMP\\ASIGNOMT.DBF"), m_root / "drive_c/ATEMP/ASIGNOMT.DBF");
    EXPECT_FALSE(fs::exists(m_root / "drive_c/ATEMP"));
}

TEST_F(WinPath, RootedPathGoesToTheCurrentDrive)
{
    fs::create_directories(m_root / "drive_c/BRUNM7");
    std::ofstream(m_root / "drive_c/BRUNM7/delphos.hlp") << "x";
    EXPECT_EQ(resolveWindowsPath("\\brunm7\\DELPHOS.HLP"), m_root / "drive_c/BRUNM7/delphos.hlp");
    EXPECT_EQ(resolveWindowsPath("\\BRUNM7\\DELPHOS.HLP"), m_root / "drive_c/BRUNM7/delphos.hlp");
}

TEST_F(WinPath, NativeAbsolutePathsPassThrough)
{
    EXPECT_EQ(resolveWindowsPath("/tmp/x.xml"), fs::path("/tmp/x.xml"));
}

TEST_F(WinPath, FindCaseInsensitivePrefersTheExactName)
{
    fs::path dir = m_root / "drive_c";
    std::ofstream(dir / "soluc.dbf") << "a";
    EXPECT_EQ(findCaseInsensitive(dir, "SOLUC.DBF"), dir / "soluc.dbf");
    std::ofstream(dir / "SOLUC.DBF") << "b";
    EXPECT_EQ(findCaseInsensitive(dir, "SOLUC.DBF"), dir / "SOLUC.DBF");
    EXPECT_FALSE(findCaseInsensitive(dir, "PROFT.DBF").has_value());
    EXPECT_FALSE(findCaseInsensitive(dir / "nowhere", "x").has_value());
}

TEST_F(WinPath, FileExistsOnlyForRegularFiles)
{
    std::ofstream(m_root / "f.xml") << "x";
    EXPECT_TRUE(fileExists(m_root / "f.xml"));
    EXPECT_FALSE(fileExists(m_root));
    EXPECT_FALSE(fileExists(""));
    EXPECT_FALSE(fileExists(m_root / "missing.xml"));
}
