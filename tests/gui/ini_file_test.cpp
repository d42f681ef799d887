// SPDX-License-Identifier: MIT
// Purpose: the profile-string writer: the one key changes, every other byte of Aularis.ini stays.
#include "app/ini_file.h"
#include "formats/error.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace enlazio;

namespace {

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

void writeAll(const fs::path& file, const std::string& content)
{
    std::ofstream(file, std::ios::binary) << content;
}

fs::path tempPath(const QTemporaryDir& dir)
{
    return fs::path(dir.path().toStdString());
}

} // namespace

class IniFileTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void setProfileString_data();
    void setProfileString();
    void writesNewFile();
    void replacesFileKeepingItsMode();
    void followsSymbolicLink();
    void failsWithoutTouchingAnything_data();
    void failsWithoutTouchingAnything();
};

void IniFileTest::setProfileString_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("value replaced in place, CRLF and comments kept")
        << QByteArray("; Aularis\r\n[General]\r\nRuta=C:\\AULARIS\\\r\n\r\n[Transformadores]\r\nOtro = \"a;b\"\r\n"
                      "Transformado=0\r\nDespues=1\r\n")
        << QByteArray("1")
        << QByteArray("; Aularis\r\n[General]\r\nRuta=C:\\AULARIS\\\r\n\r\n[Transformadores]\r\nOtro = \"a;b\"\r\n"
                      "Transformado=1\r\nDespues=1\r\n");
    QTest::newRow("section and key in another letter case")
        << QByteArray("[TRANSFORMADORES]\nTRANSFORMADO=1\n") << QByteArray("-1")
        << QByteArray("[TRANSFORMADORES]\nTRANSFORMADO=-1\n");
    QTest::newRow("blanks around key and after equals kept")
        << QByteArray("  [ Transformadores ]\r\n  Transformado =  5   \r\n") << QByteArray("0")
        << QByteArray("  [ Transformadores ]\r\n  Transformado =  0\r\n");
    QTest::newRow("commented key and same key elsewhere left alone")
        << QByteArray("[Otra]\nTransformado=7\n[Transformadores]\n;Transformado=9\nTransformado=3\n")
        << QByteArray("1") << QByteArray("[Otra]\nTransformado=7\n[Transformadores]\n;Transformado=9\nTransformado=1\n");
    QTest::newRow("missing key added after the section's last line, before blank lines")
        << QByteArray("[Transformadores]\r\nOtro=2\r\n\r\n[Siguiente]\r\nA=1\r\n") << QByteArray("1")
        << QByteArray("[Transformadores]\r\nOtro=2\r\nTransformado=1\r\n\r\n[Siguiente]\r\nA=1\r\n");
    QTest::newRow("missing key in the last section without final line ending")
        << QByteArray("[Transformadores]\nOtro=2") << QByteArray("1")
        << QByteArray("[Transformadores]\nOtro=2\nTransformado=1\n");
    QTest::newRow("missing section appended at the end")
        << QByteArray("[General]\r\nA=1") << QByteArray("1")
        << QByteArray("[General]\r\nA=1\r\n[Transformadores]\r\nTransformado=1\r\n");
    QTest::newRow("only the first of two equal sections")
        << QByteArray("[Transformadores]\nA=1\n[transformadores]\nTransformado=4\n") << QByteArray("1")
        << QByteArray("[Transformadores]\nA=1\nTransformado=1\n[transformadores]\nTransformado=4\n");
    QTest::newRow("empty content") << QByteArray() << QByteArray("0")
                                   << QByteArray("[Transformadores]\r\nTransformado=0\r\n");
}

void IniFileTest::setProfileString()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, after);
    const std::string result
        = enlazio::setProfileString(before.toStdString(), "Transformadores", "Transformado", value.toStdString());
    QCOMPARE(QByteArray::fromStdString(result), after);
}

void IniFileTest::writesNewFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const fs::path ini = tempPath(dir) / "Aularis.ini";
    writeProfileInteger(ini, "Transformadores", "Transformado", -1);
    QCOMPARE(readAll(ini), std::string("[Transformadores]\r\nTransformado=-1\r\n"));
}

void IniFileTest::replacesFileKeepingItsMode()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const fs::path ini = tempPath(dir) / "Aularis.ini";
    writeAll(ini, "[Transformadores]\r\nTransformado=0\r\n");
    QCOMPARE(::chmod(ini.c_str(), 0640), 0);
    writeProfileInteger(ini, "Transformadores", "Transformado", 1);
    QCOMPARE(readAll(ini), std::string("[Transformadores]\r\nTransformado=1\r\n"));
    struct stat info {};
    QCOMPARE(::stat(ini.c_str(), &info), 0);
    QCOMPARE(info.st_mode & 07777, 0640u);
    // Nothing but the file itself is left in the folder.
    QCOMPARE(std::distance(fs::directory_iterator(tempPath(dir)), fs::directory_iterator()), 1);
}

void IniFileTest::followsSymbolicLink()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const fs::path real = tempPath(dir) / "shared.ini";
    const fs::path link = tempPath(dir) / "Aularis.ini";
    writeAll(real, "[Transformadores]\nTransformado=0\n");
    fs::create_symlink("shared.ini", link);
    writeProfileInteger(link, "Transformadores", "Transformado", 1);
    QVERIFY(fs::is_symlink(link));
    QCOMPARE(readAll(real), std::string("[Transformadores]\nTransformado=1\n"));
}

void IniFileTest::failsWithoutTouchingAnything_data()
{
    QTest::addColumn<QString>("setup");
    QTest::newRow("folder is a file") << "folder-is-file";
    QTest::newRow("settings file is a folder") << "file-is-folder";
    QTest::newRow("folder missing") << "no-folder";
}

void IniFileTest::failsWithoutTouchingAnything()
{
    QFETCH(QString, setup);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const fs::path root = tempPath(dir);
    fs::path ini;
    if (setup == "folder-is-file") {
        writeAll(root / "bin", "not a folder");
        ini = root / "bin" / "Aularis.ini";
    } else if (setup == "file-is-folder") {
        fs::create_directory(root / "Aularis.ini");
        ini = root / "Aularis.ini";
    } else {
        ini = root / "missing" / "Aularis.ini";
    }
    try {
        writeProfileInteger(ini, "Transformadores", "Transformado", 1);
        QFAIL("the write should have failed");
    } catch (const Error& error) {
        QCOMPARE(error.code(), ErrorCode::SettingsWrite);
        QCOMPARE(QString::fromUtf8(error.what()), QString::fromStdString("Unable to write to " + ini.string()));
    }
    if (setup == "folder-is-file")
        QCOMPARE(readAll(root / "bin"), std::string("not a folder"));
    if (setup == "file-is-folder")
        QVERIFY(fs::is_empty(root / "Aularis.ini"));
    QVERIFY(!fs::exists(root / "missing"));
}

QTEST_GUILESS_MAIN(IniFileTest)
#include "ini_file_test.moc"
