#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <map>
#include <random>
#include <vector>

#include "platform/IniFile.h"

using namespace std::string_literals;

namespace {

bool SameNameForTest(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

class IniFileTest : public ::testing::Test {
  protected:
    std::string PathOf(const std::string& name) const {
        return FFolder.path().toStdString() + "/" + name;
    }
    std::string Path() const { return PathOf("Quelm.ini"); }

    void Put(const std::string& bytes) {
        QFile file(QString::fromStdString(Path()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
                  static_cast<qint64>(bytes.size()));
    }
    std::string Contents() const {
        QFile file(QString::fromStdString(Path()));
        if (!file.open(QIODevice::ReadOnly)) return "<missing>";
        const QByteArray bytes = file.readAll();
        return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    // Every entry of the test folder: no temporary file may stay behind.
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const QString& name :
             QDir(FFolder.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDir::Name))
            names.push_back(name.toStdString());
        return names;
    }

    QTemporaryDir FFolder;
};

TEST_F(IniFileTest, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
    TIniFile ini(Path());
    EXPECT_EQ(ini.FileName(), Path());
    EXPECT_EQ(ini.ReadInteger("MedForm", "FrmTop", 100), 100);
    EXPECT_EQ(ini.ReadString("MedForm", "VideoFolder", "x"), "x");
    EXPECT_TRUE(ini.ReadBool("MedForm", "NoText", true));
    EXPECT_FALSE(ini.SectionExists("MedForm"));
    EXPECT_FALSE(ini.ValueExists("MedForm", "FrmTop"));
    EXPECT_TRUE(FolderEntries().empty());  // reading creates nothing

    ini.WriteInteger("MedForm", "FrmTop", 100);
    EXPECT_EQ(Contents(), "[MedForm]\r\nFrmTop=100\r\n");
    ini.WriteInteger("MedForm", "FrmLeft", -5);
    ini.WriteBool("MedForm", "StayOnTop", true);
    ini.WriteBool("MedForm", "NoText", false);
    ini.WriteString("MedForm", "VideoFolder", "/media/My Films/");
    ini.WriteInteger("Brightness", "Value", 2147483647);
    EXPECT_EQ(Contents(),
              "[MedForm]\r\nFrmTop=100\r\nFrmLeft=-5\r\nStayOnTop=1\r\nNoText=0\r\n"
              "VideoFolder=/media/My Films/\r\n\r\n[Brightness]\r\nValue=2147483647\r\n");

    TIniFile other(Path());
    EXPECT_EQ(other.ReadInteger("MedForm", "FrmLeft", 0), -5);
    EXPECT_TRUE(other.ReadBool("MedForm", "StayOnTop", false));
    EXPECT_FALSE(other.ReadBool("MedForm", "NoText", true));
    EXPECT_EQ(other.ReadString("MedForm", "VideoFolder", ""), "/media/My Films/");
    EXPECT_EQ(other.ReadInteger("Brightness", "Value", 0), 2147483647);
    EXPECT_TRUE(other.SectionExists("Brightness"));
    EXPECT_TRUE(other.ValueExists("MedForm", "NoText"));
    EXPECT_FALSE(other.ValueExists("Brightness", "NoText"));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Quelm.ini"});
}

TEST_F(IniFileTest, IntegersAndBooleans) {
    const std::pair<const char*, int> valid[] = {{"42", 42},
                                                 {"-42", -42},
                                                 {"+42", 42},
                                                 {"0x1F", 31},
                                                 {"0X1f", 31},
                                                 {"-0x10", -16},
                                                 {"007", 7},
                                                 {"  12  ", 12},
                                                 {"2147483647", 2147483647},
                                                 {"-2147483648", -2147483647 - 1},
                                                 {"0x7FFFFFFF", 2147483647}};
    const char* const invalid[] = {
        "2147483648", "-2147483649", "0x80000000", "99999999999999999999",
        "",           "abc",         "1 2",        "1.5",
        "0x",         "-",           "12abc",      "0x-5",
        "$10",        "--1",         "0xG",        "1e3"};
    std::vector<std::pair<std::string, int>> cases(std::begin(valid), std::end(valid));
    for (const char* text : invalid) cases.emplace_back(text, -9);
    std::string text = "[S]\n";
    for (size_t i = 0; i < cases.size(); ++i)
        text += "k" + std::to_string(i) + "=" + cases[i].first + "\n";
    Put(text);
    TIniFile ini(Path());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(ini.ReadInteger("S", "k" + std::to_string(i), -9), cases[i].second)
            << '"' << cases[i].first << '"';

    Put("[S]\nzero=0\ntwo=2\nminus=-1\nhexzero=0x0\nword=yes\nempty=\n");
    EXPECT_FALSE(ini.ReadBool("S", "zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "two", false));
    EXPECT_TRUE(ini.ReadBool("S", "minus", false));
    EXPECT_FALSE(ini.ReadBool("S", "hexzero", true));
    EXPECT_TRUE(ini.ReadBool("S", "word", true));
    EXPECT_FALSE(ini.ReadBool("S", "word", false));
    EXPECT_TRUE(ini.ReadBool("S", "empty", true));
    EXPECT_EQ(ini.ReadString("S", "empty", "d"), "");  // present though empty
}

TEST_F(IniFileTest, NamesIgnoreCaseAndBlanksValuesAreTrimmed) {
    Put("[ medform ]\n  frmtop  =  7 \n");
    TIniFile ini(Path());
    EXPECT_EQ(ini.ReadInteger("MEDFORM", "FrmTop", 0), 7);
    EXPECT_EQ(ini.ReadString("MedForm", "FRMTOP", ""), "7");
    EXPECT_TRUE(ini.SectionExists("MedForm"));
    ini.WriteInteger("MedForm", "FrmTop", 8);
    EXPECT_EQ(Contents(), "[ medform ]\n  frmtop  =  8\n");
    ini.WriteString("MedForm", "Folder", "  spaced  ");
    EXPECT_EQ(ini.ReadString("medform", "folder", ""), "spaced");
}

TEST_F(IniFileTest, WritesKeepEveryOtherByte) {
    const std::string before =
        "\xEF\xBB\xBF; settings\r\n"
        "[Other]\r\nFrmTop=1\r\n"
        "[MedForm]\r\nFrmTop = 5   \r\nweird line\n  # note\r\nVolumepos=3\r\n\r\n; about Tail\r\n"
        "[Tail]\rx=y";
    Put(before);
    TIniFile ini(Path());
    EXPECT_EQ(ini.ReadInteger("MedForm", "FrmTop", 0), 5);  // the BOM does not hide the file
    ini.WriteInteger("MedForm", "FrmTop", 6);
    EXPECT_EQ(
        Contents(),
        "\xEF\xBB\xBF; settings\r\n"
        "[Other]\r\nFrmTop=1\r\n"
        "[MedForm]\r\nFrmTop = 6\r\nweird line\n  # note\r\nVolumepos=3\r\n\r\n; about Tail\r\n"
        "[Tail]\rx=y");
    // A new key follows the section's last key; the file's first line end is used.
    ini.WriteBool("MedForm", "NoText", true);
    ini.WriteString("Tail", "z", "w");  // the last line had no line end
    EXPECT_EQ(Contents(),
              "\xEF\xBB\xBF; settings\r\n"
              "[Other]\r\nFrmTop=1\r\n"
              "[MedForm]\r\nFrmTop = 6\r\nweird line\n  # note\r\nVolumepos=3\r\nNoText=1\r\n\r\n"
              "; about Tail\r\n[Tail]\rx=y\r\nz=w\r\n");
    EXPECT_EQ(ini.ReadInteger("Other", "FrmTop", 0), 1);
}

TEST_F(IniFileTest, KeepsTheFilesLineEnds) {
    Put("[A]\nk=1\n");
    TIniFile ini(Path());
    ini.WriteString("A", "j", "2");
    ini.WriteString("B", "k", "3");
    EXPECT_EQ(Contents(), "[A]\nk=1\nj=2\n\n[B]\nk=3\n");

    Put("[A]\rk=1\r[B]\rk=2");  // CR only, no end on the last line
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 1);
    EXPECT_EQ(ini.ReadInteger("B", "k", 0), 2);
    ini.WriteString("A", "j", "3");
    ini.WriteString("C", "k", "4");
    EXPECT_EQ(Contents(), "[A]\rk=1\rj=3\r[B]\rk=2\r\r[C]\rk=4\r");

    // Mixed ends: an added CR never joins a following LF, nor a LF a preceding CR.
    Put("[A]\rk=1\n\n[B]\nk=2\r");
    ini.WriteString("A", "j", "3");
    ini.WriteString("C", "k", "4");
    EXPECT_EQ(Contents(), "[A]\rk=1\nj=3\r\n\n[B]\nk=2\r\r[C]\rk=4\r");

    Put("k=0");  // no line end at all: CR LF, like a new file
    ini.WriteString("A", "k", "1");
    EXPECT_EQ(Contents(), "k=0\r\n\r\n[A]\r\nk=1\r\n");
}

TEST_F(IniFileTest, DuplicatesFirstOneWins) {
    Put("k=0\n[A]\nk=1\nk=2\n[B]\nk=5\n[a]\nk=3\nj=4\n");
    TIniFile ini(Path());
    EXPECT_EQ(ini.ReadInteger("A", "k", 9), 1);
    EXPECT_EQ(ini.ReadInteger("A", "j", 9), 4);  // found under the repeated header
    ini.WriteInteger("A", "k", 7);
    ini.WriteInteger("A", "j", 8);
    ini.WriteInteger("A", "n", 6);
    EXPECT_EQ(Contents(), "k=0\n[A]\nk=7\nk=2\nn=6\n[B]\nk=5\n[a]\nk=3\nj=8\n");
}

TEST_F(IniFileTest, GarbageReadsAsDefaults) {
    TIniFile ini(Path());
    for (const std::string& garbage :
         {"Value=5\n"s, "\0\0[Brightness\0]\0Value=5"s, "[Brightness\nValue=5\n"s,
          "\xFF\xFE[\x00\x01\x80=\x7F\r\r\n\n=="s, "[Brightness]Value=5"s, "[]\n=\n["s}) {
        Put(garbage);
        EXPECT_EQ(ini.ReadInteger("Brightness", "Value", -1), -1) << garbage;
        EXPECT_FALSE(ini.ValueExists("Brightness", "Value"));
        ini.WriteInteger("Brightness", "Value", 3);
        EXPECT_EQ(ini.ReadInteger("Brightness", "Value", -1), 3);
        EXPECT_EQ(Contents().substr(0, garbage.size()), garbage);  // kept in front
    }
    // NUL bytes inside names and values are ordinary bytes.
    Put("[A\0B]\nk\0=v\0w\n"s);
    EXPECT_EQ(ini.ReadString("A\0B"s, "k\0"s, ""), "v\0w"s);
}

TEST_F(IniFileTest, TenMegabyteLine) {
    const std::string longLine(10 * 1024 * 1024, 'x');
    Put("[Brightness]\r\nValue=4\r\n" + longLine + "\r\n[Big]\r\nkey=" + longLine);
    TIniFile ini(Path());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ini.ReadInteger("Brightness", "Value", 0), 4);
    EXPECT_EQ(ini.ReadString("Big", "key", "").size(), longLine.size());
    ini.WriteInteger("Brightness", "Value", 5);
    EXPECT_EQ(ini.ReadInteger("Brightness", "Value", 0), 5);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(Contents(),
              "[Brightness]\r\nValue=5\r\n" + longLine + "\r\n[Big]\r\nkey=" + longLine);
}

// Random files of INI-ish bytes: a write changes exactly the one value.
TEST_F(IniFileTest, WriteChangesOnlyItsValueInRandomFiles) {
    const std::string bytes = "[]=;# \t\r\n\0\xFF"s + "aAbB";
    const std::string names[] = {"a", "b", "A", "ab"};
    std::mt19937 random(7);
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    TIniFile ini(Path());
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (size_t length = pick(80); length > 0; --length) text += bytes[pick(bytes.size())];
        Put(text);
        std::map<std::pair<std::string, std::string>, std::string> seen;
        for (const std::string& s : names)
            for (const std::string& k : names) seen[{s, k}] = ini.ReadString(s, k, "<none>");
        const std::string section = names[pick(std::size(names))];
        const std::string key = names[pick(std::size(names))];
        ini.WriteString(section, key, "v" + std::to_string(round));
        for (auto& [place, value] : seen) {
            const bool same =
                SameNameForTest(place.first, section) && SameNameForTest(place.second, key);
            EXPECT_EQ(ini.ReadString(place.first, place.second, "<none>"),
                      same ? "v" + std::to_string(round) : value)
                << "file: " << testing::PrintToString(text);
        }
    }
}

TEST_F(IniFileTest, UnwritableFileRaisesAndKeepsEverything) {
    const std::string inMissingFolder = PathOf("no/such/folder/Quelm.ini");
    TIniFile missing(inMissingFolder);
    try {
        missing.WriteInteger("MedForm", "FrmTop", 1);
        ADD_FAILURE() << "no exception";
    } catch (const EIniFileException& error) {
        EXPECT_STREQ(error.what(), ("Unable to write to " + inMissingFolder).c_str());
    }
    EXPECT_TRUE(FolderEntries().empty());  // no folder made, no temporary file left

    // Read-only, for root too.
    Put("; mine\n[MedForm]\nFrmTop=3\n");
    ASSERT_EQ(::chmod(Path().c_str(), 0444), 0);
    TIniFile readOnly(Path());
    EXPECT_THROW(readOnly.WriteInteger("MedForm", "FrmTop", 4), EIniFileException);
    EXPECT_EQ(Contents(), "; mine\n[MedForm]\nFrmTop=3\n");
    EXPECT_EQ(readOnly.ReadInteger("MedForm", "FrmTop", 0), 3);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Quelm.ini"});

    // Not a regular file: never read (a device or pipe could block) nor replaced.
    ASSERT_TRUE(QDir(FFolder.path()).mkdir("folder.ini"));
    TIniFile folder(PathOf("folder.ini"));
    EXPECT_EQ(folder.ReadInteger("A", "k", 2), 2);
    EXPECT_THROW(folder.WriteInteger("A", "k", 1), EIniFileException);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(PathOf("folder.ini"))).isDir());
    ASSERT_EQ(::mkfifo(PathOf("pipe.ini").c_str(), 0644), 0);
    TIniFile pipe(PathOf("pipe.ini"));
    EXPECT_EQ(pipe.ReadString("A", "k", "d"), "d");
    EXPECT_THROW(pipe.WriteString("A", "k", "v"), EIniFileException);
    EXPECT_EQ(TIniFile("/dev/zero").ReadInteger("A", "k", 5), 5);
}

TEST_F(IniFileTest, UnstorableNamesAndValues) {
    Put("[A]\r\nk=1\r\n");
    TIniFile ini(Path());
    const std::pair<const char*, const char*> names[] = {{"A]", "k"}, {"A", "k=x"},   {"", "k"},
                                                         {"A", " "},  {"A\n[B", "k"}, {"A", "[k"},
                                                         {"A", ";k"}, {"A", "k\r"}};
    for (const auto& [section, key] : names)
        EXPECT_THROW(ini.WriteString(section, key, "2"), EIniFileException) << section << key;
    EXPECT_EQ(Contents(), "[A]\r\nk=1\r\n");
    // A line break would start a line of its own ("FrmLeft=99999" here): cut there.
    ini.WriteString("A", "k", "/films\nFrmLeft=99999\r\n[B]");
    EXPECT_EQ(Contents(), "[A]\r\nk=/films\r\n");
}

TEST_F(IniFileTest, ReplacesAtomicallyThroughLinksKeepingPermissions) {
    Put("[A]\nk=1\n");
    ASSERT_EQ(::chmod(Path().c_str(), 0640), 0);
    ASSERT_TRUE(
        QFile::link(QString::fromStdString(Path()), QString::fromStdString(PathOf("link.ini"))));
    TIniFile ini(PathOf("link.ini"));
    for (int i = 0; i < 20; ++i) ini.WriteInteger("A", "k", i);
    EXPECT_EQ(Contents(), "[A]\nk=19\n");
    EXPECT_TRUE(QFileInfo(QString::fromStdString(PathOf("link.ini"))).isSymLink());
    struct stat info;
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"Quelm.ini", "link.ini"}));
}

}  // namespace
