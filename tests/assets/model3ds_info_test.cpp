// Runs the 3ds-info tool on a regression file and on files it cannot load, checking its JSON and its exit
// status. Depends on the built tool (QUARNEL_BUILD_DIR/tools/3ds-info) and GoogleTest.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct RunResult {
    int status = -1;
    std::string out;
};

RunResult RunInfo(const std::string& arguments)
{
    const char* build = std::getenv("QUARNEL_BUILD_DIR");
    if (!build) build = QUARNEL_TEST_BUILD_DIR;
    RunResult result;
    const std::string command = std::string(build) + "/tools/3ds-info " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) result.out.append(chunk, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Source(const std::string& relative)
{
    const char* source = std::getenv("QUARNEL_SOURCE_DIR");
    return std::string(source ? source : QUARNEL_TEST_SOURCE_DIR) + "/" + relative;
}

}  // namespace

TEST(Model3dsInfoTool, PrintsTheModelAsOneJsonObject)
{
    const RunResult run = RunInfo(Source("tests/assets/data/3ds/cube_scene.3ds"));
    ASSERT_EQ(run.status, 0);
    const std::string& json = run.out;
    for (const char* expected :
         {"{\"frames\":20,", "\"name\":\"Paint\"", "\"diffuse\":[1,0.5019608,0]", "\"shininess\":1,",
          "\"shading\":0", "\"file\":\"paint.jpg\"", "\"file\":\"auto\"",
          "\"name\":\"Cube\",\"vertices\":24,\"faces\":12", "\"first_normal\":[0,0,-1]",
          "\"name\":\"Sun\",\"position\":[1,2,3],\"colour\":[1,1,0]", "\"fov\":48,\"near\":1,\"far\":500",
          "\"pivot\":[-0.5,-0.5,-0]", "\"first_position\":[0,0,0]", "\"last_position\":[10,0,0]"}) {
        EXPECT_NE(json.find(expected), std::string::npos) << expected << "\n" << json;
    }
    int depth = 0;
    for (char c : json) {
        depth += (c == '{' || c == '[') - (c == '}' || c == ']');
        ASSERT_GE(depth, 0);
    }
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(json.back(), '\n');
}

TEST(Model3dsInfoTool, FilesThatDoNotLoadExitWithOne)
{
    EXPECT_EQ(RunInfo("/nonexistent/model.3ds").status, 1);
    EXPECT_EQ(RunInfo(Source("CMakeLists.txt")).status, 1);
    const RunResult none = RunInfo("");
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.out.empty());
}
