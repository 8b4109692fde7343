// loadASPI and freeASPI for every outcome of a load: no wnaspi32.dll to be
// found, one only in the working directory (never searched), one lacking
// an entry point, and the simulated one with each status of its support
// information. This program runs from a folder of its own; each row puts
// its library beside it (or into the working directory) for its run.
#include <gtest/gtest.h>

#include "fake_aspi.h"
#include "sim_drives.h"
#include "tests/support/box_watch.h"

namespace {

typedef std::vector<std::string> Lines;

std::string programFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\') + 1);
}

TEST(LoadASPI, EachOutcomeWithItsMessageAndTrace)
{
    const char* kNotLoaded = "不能加载 wnaspi32.dll; 请确认ASPI正确安装!";
    const Lines kResolved = {"Loaded wnaspi32.dll OK", "Got getASPI32SupportInfo proc address OK",
                             "Got sendASPI32Command proc address OK"};
    const struct {
        const char* library;  // under ..\aspi_variants, "sim" for ..\wnaspi32.dll, "" for none
        bool inWorkingDirectory;
        int status, adapters;
        unsigned long lastError;
        const char* text;  // of the message box; null: loads
        bool stopIcon;
        Lines traces;      // after kResolved for the simulated library
    } rows[] = {
        {"", false, 0, 0, 0, kNotLoaded, true, {"ASPI ERROR - wnaspi32.dll failed to load"}},
        {"without_support_info", true, 0, 0, 0, kNotLoaded, true, {"ASPI ERROR - wnaspi32.dll failed to load"}},
        {"without_support_info", false, 0, 0, 0, "不能取得函数 GetASPI32SupportInfo 的地址", false,
         {"Loaded wnaspi32.dll OK", "ASPI ERROR - Couldn't get proc address of GetASPI32SupportInfo", "Freed wnaspi32.dll OK"}},
        {"without_send_command", false, 0, 0, 0, "不能取得函数 SendASPI32Command 的地址", false,
         {"Loaded wnaspi32.dll OK", "Got getASPI32SupportInfo proc address OK",
          "ASPI ERROR - Couldn't get proc address of SendASPI32Command", "Freed wnaspi32.dll OK"}},
        {"sim", false, 0x01, 0, 0, nullptr, false, {"Found 0 Host Adapter(s)", "Freed wnaspi32.dll OK"}},
        {"sim", false, 0x01, 255, 0, nullptr, false, {"Found 255 Host Adapter(s)", "Freed wnaspi32.dll OK"}},
        {"sim", false, 0xE8, 2, 0, "ASPI 发现有 0 主适配器", false,
         {"ASPI ERROR - ASPI reported 0 host adapters", "Freed wnaspi32.dll OK"}},
        {"sim", false, 0x00, 2, 0x12345678, "调用 getASPI32SupportInfo 错误: 0x12345678", false,
         {"ASPI Error calling getASPI32SupportInfo: 0x12345678", "Freed wnaspi32.dll OK"}},
    };
    const std::string beside = programFolder() + "wnaspi32.dll";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text ? row.text : row.traces[0].c_str());
        const bool sim = std::string(row.library) == "sim", found = *row.library != '\0' && !row.inWorkingDirectory;
        std::string folder = sim ? programFolder() + ".." : programFolder() + "..\\aspi_variants\\" + row.library;
        ASSERT_TRUE(SetCurrentDirectoryA(row.inWorkingDirectory ? folder.c_str() : programFolder().c_str()));
        if (found) {
            ASSERT_TRUE(CopyFileA((folder + "\\wnaspi32.dll").c_str(), beside.c_str(), FALSE));
        }
        SimDrives drives;
        drives.setup.supportStatus(row.status).adapters(row.adapters).lastError(row.lastError).adapter(0).maxTargets(16);
        drives.write();
        TraceCapture trace;
        {
            BoxWatch watch;
            EXPECT_EQ(loadASPI(), row.text == nullptr);
            std::vector<SeenBox> boxes = watch.seen();
            ASSERT_EQ(boxes.size(), row.text ? 1u : 0u);
            if (row.text) {
                EXPECT_EQ(boxes[0].caption, "ASPI 错误");
                EXPECT_EQ(boxes[0].text, row.text);
                EXPECT_TRUE(boxes[0].stopIcon == row.stopIcon && boxes[0].anyIcon == row.stopIcon);
                EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
            } else {
                EXPECT_EQ(getHostAdapterCount(), row.adapters);
                EXPECT_EQ(getMaxTargets(0), row.adapters ? 16 : -1) << "requests reach the library";
                EXPECT_FALSE(loadASPI()) << "loaded once per run";
                EXPECT_TRUE(watch.seen().empty()) << "a second load says nothing";
            }
        }
        // The library, once loaded, stays loaded until freeASPI, which lets
        // go of it once; no request reaches it afterwards.
        EXPECT_EQ(freeASPI(), found);
        EXPECT_FALSE(freeASPI());
        EXPECT_EQ(GetModuleHandleA("wnaspi32.dll"), nullptr);
        EXPECT_EQ(getMaxTargets(0), -1);
        EXPECT_EQ(getHostAdapterCount(), 0);
        if (found)
            DeleteFileA(beside.c_str());
        Lines expected = sim ? kResolved : Lines{};
        expected.insert(expected.end(), row.traces.begin(), row.traces.end());
        EXPECT_EQ(trace.lines(), expected);
    }
}

}  // namespace
