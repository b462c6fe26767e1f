// The Windows side of the platform layer, run under Wine: the one writer of output files (a temporary name
// renamed over the file, devices and named pipes written in place, refusals that leave nothing behind) and
// the program's own file as the system names it, and names outside ASCII through the path helpers.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/output_file.h"
#include "platform/path.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace {

class WindowsOutputFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("quarnel-windows-test-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string At(const std::string& name) const { return (dir / name).string(); }

    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The names in the folder: nothing but what the test expects may be left there.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
};

TEST_F(WindowsOutputFile, AFileIsWrittenUnderATemporaryNameAndRenamedOverTheOldOne)
{
    const std::string path = At("picture.png");
    {
        std::ofstream(path, std::ios::binary) << "old";
    }
    OutputFile f;
    std::string error;
    ASSERT_TRUE(OpenOutputFile(path, f, error)) << error;
    EXPECT_NE(f.writePath, path);
    EXPECT_EQ(fs::path(f.writePath).parent_path(), dir);
    std::fputs("new bytes\r\n", f.stream);  // binary: the line end stays as written
    EXPECT_EQ(Read(path), "old");           // nothing under the name until the commit
    ASSERT_TRUE(CommitOutputFile(f, error)) << error;
    EXPECT_EQ(Read(path), "new bytes\r\n");
    EXPECT_EQ(OutputFileSize(f), 11);
    EXPECT_EQ(Names(), std::vector<std::string>{"picture.png"});

    // Discarded: the old content stays and no temporary file is left.
    ASSERT_TRUE(OpenOutputFile(path, f, error)) << error;
    std::fputs("half", f.stream);
    DiscardOutputFile(f);
    EXPECT_EQ(Read(path), "new bytes\r\n");
    EXPECT_EQ(Names(), std::vector<std::string>{"picture.png"});
}

TEST_F(WindowsOutputFile, DevicesAreWrittenInPlaceAndFoldersAndMissingFoldersRefused)
{
    for (const char* device : {"NUL", "nul", "\\\\.\\NUL"}) {
        OutputFile f;
        std::string error;
        ASSERT_TRUE(OpenOutputFile(device, f, error)) << device << ": " << error;
        EXPECT_TRUE(f.inPlace) << device;
        EXPECT_EQ(f.writePath, device);
        std::fputs("into the void", f.stream);
        EXPECT_TRUE(CommitOutputFile(f, error)) << error;
    }
    EXPECT_TRUE(Names().empty());

    OutputFile f;
    std::string error;
    EXPECT_FALSE(OpenOutputFile(dir.string(), f, error));
    EXPECT_EQ(error, "it is a directory");
    EXPECT_FALSE(OpenOutputFile(At("no-such-folder\\picture.png"), f, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(Names().empty());
}

TEST_F(WindowsOutputFile, ANamedPipeIsWrittenInPlaceToItsReader)
{
    const std::string name = "\\\\.\\pipe\\quarnel-test-" + std::to_string(GetCurrentProcessId());
    const HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                           4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    std::string received;
    std::thread reader([&] {
        ConnectNamedPipe(server, nullptr);
        char buffer[256];
        DWORD n = 0;
        while (ReadFile(server, buffer, sizeof buffer, &n, nullptr) && n > 0) received.append(buffer, n);
    });
    OutputFile f;
    std::string error;
    if (!OpenOutputFile(name, f, error)) {
        // Let the reader go before failing.
        CloseHandle(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        reader.join();
        CloseHandle(server);
        FAIL() << error;
    }
    EXPECT_TRUE(f.inPlace);
    std::fputs("through the pipe", f.stream);
    EXPECT_TRUE(CommitOutputFile(f, error)) << error;
    reader.join();
    CloseHandle(server);
    EXPECT_EQ(received, "through the pipe");
}

TEST(WindowsProgramFile, NamesThisTestProgram)
{
    const fs::path program = ThisProgramFile(nullptr);
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.filename().string(), "windows_platform_test.exe");
    EXPECT_TRUE(fs::is_regular_file(program));
}

// A name as a Windows profile folder carries it (a user's name, an apostrophe, a dash and letters outside
// every ANSI code page): made, listed, written, read and renamed through the path helpers, the system sees
// the name as written, never its UTF-8 bytes read in the ANSI code page.
TEST(WindowsPaths, NamesOutsideAsciiReachTheSystemAsWritten)
{
    const std::string name = "J\xC3\xB6rg's Spiele \xE2\x80\x93 \xE6\xB8\xAC\xE8\xA9\xA6";
    const fs::path base =
        fs::temp_directory_path() / ("quarnel-paths-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(base);
    const fs::path folder = base / PathFromUtf8(name);
    ASSERT_TRUE(fs::create_directories(folder));
    EXPECT_EQ(folder.filename().wstring(), L"J\u00f6rg's Spiele \u2013 \u6e2c\u8a66");
    EXPECT_EQ(Utf8FromPath(folder.filename()), name);

    const std::string picture = Utf8FromPath(folder / PathFromUtf8("schnappschuss \xC3\xA4.png"));
    std::FILE* out = OpenFileUtf8(picture, "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("picture", out);
    std::fclose(out);
    std::vector<std::wstring> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().wstring());
    EXPECT_EQ(names, std::vector<std::wstring>{L"schnappschuss \u00e4.png"});
    std::FILE* in = OpenFileUtf8(picture, "rb");
    ASSERT_NE(in, nullptr);
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, in), 7u);
    std::fclose(in);

    // The one writer of output files takes the same names.
    std::string cause;
    const std::string film = Utf8FromPath(folder / PathFromUtf8("film \xC3\xA4.mp4"));
    OutputFile file;
    ASSERT_TRUE(OpenOutputFile(film, file, cause)) << cause;
    std::fputs("film", file.stream);
    ASSERT_TRUE(CommitOutputFile(file, cause)) << cause;
    EXPECT_TRUE(fs::is_regular_file(folder / L"film \u00e4.mp4"));

    _wputenv(L"QUARNEL_PATH_TEST=C:\\users\\J\u00f6rg");
    std::string value;
    ASSERT_TRUE(EnvironmentUtf8("QUARNEL_PATH_TEST", value));
    EXPECT_EQ(value, "C:\\users\\J\xC3\xB6rg");
    EXPECT_FALSE(EnvironmentUtf8("QUARNEL_PATH_TEST_UNSET", value));
    fs::remove_all(base);
}

}  // namespace
