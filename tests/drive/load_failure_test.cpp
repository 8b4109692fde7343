// loadASPI where no wnaspi32.dll can be found, and where the one found lacks
// an entry point. This program runs from a folder of its own, with no
// wnaspi32.dll beside it or in its current folder; a library lacking an
// entry point is loaded by its path first, so that loadASPI, asking for
// "wnaspi32.dll", gets the one already loaded.
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
    ASSERT_TRUE(SetCurrentDirectoryA(programFolder().c_str()));
    const struct {
        const char* library;  // variant folder under ..\aspi_variants, or "" for none
        const char* text;
        bool stopIcon;
        Lines traces;
    } rows[] = {
        {"", "不能加载 wnaspi32.dll; 请确认ASPI正确安装!", true, {"ASPI ERROR - wnaspi32.dll failed to load"}},
        {"without_support_info", "不能取得函数 GetASPI32SupportInfo 的地址", false,
         {"Loaded wnaspi32.dll OK", "ASPI ERROR - Couldn't get proc address of GetASPI32SupportInfo",
          "Freed wnaspi32.dll OK"}},
        {"without_send_command", "不能取得函数 SendASPI32Command 的地址", false,
         {"Loaded wnaspi32.dll OK", "Got getASPI32SupportInfo proc address OK",
          "ASPI ERROR - Couldn't get proc address of SendASPI32Command", "Freed wnaspi32.dll OK"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.library);
        HMODULE preloaded = nullptr;
        if (*row.library != '\0') {
            std::string path = programFolder() + "..\\aspi_variants\\" + row.library + "\\wnaspi32.dll";
            preloaded = LoadLibraryA(path.c_str());
            ASSERT_NE(preloaded, nullptr) << path;
        }
        TraceCapture trace;
        std::vector<SeenBox> boxes;
        {
            BoxWatch watch;
            EXPECT_FALSE(loadASPI());
            boxes = watch.seen();
        }
        // The library, once loaded, stays loaded until freeASPI.
        EXPECT_EQ(freeASPI(), preloaded != nullptr);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "ASPI 错误");
        EXPECT_EQ(boxes[0].text, row.text);
        EXPECT_EQ(boxes[0].stopIcon, row.stopIcon);
        EXPECT_EQ(boxes[0].anyIcon, row.stopIcon);
        EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
        EXPECT_EQ(trace.lines(), row.traces);
        if (preloaded != nullptr) {
            FreeLibrary(preloaded);
            EXPECT_EQ(GetModuleHandleA("wnaspi32.dll"), nullptr) << "freeASPI let go of its reference";
        }
    }
}

}  // namespace
