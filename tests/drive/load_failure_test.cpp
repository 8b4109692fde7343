// loadASPI where no wnaspi32.dll can be found, where the one found lacks an
// entry point, and where one lies only in the working directory (which is
// never searched). This program runs from a folder of its own, with no
// wnaspi32.dll beside it; a row puts a library lacking an entry point into
// that folder or into the working directory for its run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive/aspi_transport.h"
#include "tests/support/box_watch.h"
#include "trace_capture.h"

namespace {

typedef std::vector<std::string> Lines;

std::string programFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\') + 1);
}

TEST(LoadASPI, EachLoadFailureShowsItsMessageAndReturnsFalse)
{
    const std::string variants = programFolder() + "..\\aspi_variants\\";
    const std::string beside = programFolder() + "wnaspi32.dll";
    const struct {
        const char* library;  // variant folder under ..\aspi_variants, or "" for none
        bool inWorkingDirectory;  // the library lies there instead of beside the program
        const char* text;
        bool stopIcon;
        Lines traces;
    } rows[] = {
        {"", false, "不能加载 wnaspi32.dll; 请确认ASPI正确安装!", true, {"ASPI ERROR - wnaspi32.dll failed to load"}},
        {"without_support_info", true, "不能加载 wnaspi32.dll; 请确认ASPI正确安装!", true,
         {"ASPI ERROR - wnaspi32.dll failed to load"}},
        {"without_support_info", false, "不能取得函数 GetASPI32SupportInfo 的地址", false,
         {"Loaded wnaspi32.dll OK", "ASPI ERROR - Couldn't get proc address of GetASPI32SupportInfo",
          "Freed wnaspi32.dll OK"}},
        {"without_send_command", false, "不能取得函数 SendASPI32Command 的地址", false,
         {"Loaded wnaspi32.dll OK", "Got getASPI32SupportInfo proc address OK",
          "ASPI ERROR - Couldn't get proc address of SendASPI32Command", "Freed wnaspi32.dll OK"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.library);
        std::string folder = *row.library != '\0' ? variants + row.library : programFolder();
        ASSERT_TRUE(SetCurrentDirectoryA(row.inWorkingDirectory ? folder.c_str() : programFolder().c_str()));
        bool besideProgram = *row.library != '\0' && !row.inWorkingDirectory;
        if (besideProgram) {
            ASSERT_TRUE(CopyFileA((folder + "\\wnaspi32.dll").c_str(), beside.c_str(), FALSE));
        }
        TraceCapture trace;
        std::vector<SeenBox> boxes;
        {
            BoxWatch watch;
            EXPECT_FALSE(loadASPI());
            boxes = watch.seen();
        }
        // The library, once loaded, stays loaded until freeASPI.
        EXPECT_EQ(freeASPI(), besideProgram);
        EXPECT_EQ(GetModuleHandleA("wnaspi32.dll"), nullptr) << "freeASPI let go of its reference";
        if (besideProgram)
            DeleteFileA(beside.c_str());
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "ASPI 错误");
        EXPECT_EQ(boxes[0].text, row.text);
        EXPECT_EQ(boxes[0].stopIcon, row.stopIcon);
        EXPECT_EQ(boxes[0].anyIcon, row.stopIcon);
        EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
        EXPECT_EQ(trace.lines(), row.traces);
    }
}

}  // namespace
