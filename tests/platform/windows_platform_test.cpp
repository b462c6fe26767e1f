// The Windows side of the platform layer, run under Wine: the one writer of output files (a temporary name
// renamed over the file, devices and named pipes written in place, refusals that leave nothing behind) and
// the program's own file as the system names it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/output_file.h"
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

}  // namespace
