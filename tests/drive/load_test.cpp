// loadASPI and freeASPI for every outcome: no wnaspi32.dll to be found, one only in the working
// directory (never searched), one lacking an entry point, the simulated one with each support
// status. This program runs from a folder of its own; each row puts its library beside it.
#include <gtest/gtest.h>

#include <cstring>

#include "sim_drives.h"
#include "tests/support/box_watch.h"

namespace {

std::string programFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, std::strrchr(path, '\\') + 1);
}

TEST(LoadASPI, EachOutcomeWithItsMessageAndTrace)
{
    const char* kNotLoaded = "不能加载 wnaspi32.dll; 请确认ASPI正确安装!";
    // library: under ..\aspi_variants, "sim" for ..\wnaspi32.dll, "" for none; status, adapters and
    // lastError: the simulated library's support information; text: of the message box (the stop
    // icon only for kNotLoaded), null if it loads.
    const struct {
        const char* library;
        bool inWorkingDirectory;
        int status, adapters;
        unsigned long lastError;
        const char* text;
    } rows[] = {
        {"", false, 0, 0, 0, kNotLoaded},
        {"without_support_info", true, 0, 0, 0, kNotLoaded},
        {"without_support_info", false, 0, 0, 0, "不能取得函数 GetASPI32SupportInfo 的地址"},
        {"without_send_command", false, 0, 0, 0, "不能取得函数 SendASPI32Command 的地址"},
        {"sim", false, 0x01, 0, 0, nullptr},
        {"sim", false, 0x01, 255, 0, nullptr},
        {"sim", false, 0xE8, 2, 0, "ASPI 发现有 0 主适配器"},
        {"sim", false, 0x00, 2, 0x12345678, "调用 getASPI32SupportInfo 错误: 0x12345678"},
    };
    const std::string beside = programFolder() + "wnaspi32.dll";
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.library) + " " + (row.text ? row.text : "loads"));
        const bool sim = std::string(row.library) == "sim", found = *row.library != '\0' && !row.inWorkingDirectory;
        const std::string folder = programFolder() + (sim ? std::string("..") : "..\\aspi_variants\\" + std::string(row.library));
        ASSERT_TRUE(SetCurrentDirectoryA(row.inWorkingDirectory ? folder.c_str() : programFolder().c_str()));
        if (found) {
            ASSERT_TRUE(CopyFileA((folder + "\\wnaspi32.dll").c_str(), beside.c_str(), FALSE));
        }
        SimDrives drives;
        drives.setup.supportStatus(row.status).adapters(row.adapters).lastError(row.lastError).adapter(0).maxTargets(16);
        drives.write();
        {
            BoxWatch watch;
            EXPECT_EQ(loadASPI(), row.text == nullptr);
            std::vector<SeenBox> boxes = watch.seen();
            ASSERT_EQ(boxes.size(), row.text ? 1u : 0u);
            if (row.text) {
                const bool stop = row.text == kNotLoaded;
                EXPECT_TRUE(boxes[0].caption == "ASPI 错误" && boxes[0].text == row.text) << boxes[0].caption << ": " << boxes[0].text;
                EXPECT_TRUE(boxes[0].stopIcon == stop && boxes[0].anyIcon == stop && boxes[0].buttons == std::vector<int>{IDOK});
            } else {
                EXPECT_EQ(getHostAdapterCount(), row.adapters);
                EXPECT_EQ(getMaxTargets(0), row.adapters ? 16 : -1) << "requests reach the library";
                EXPECT_FALSE(loadASPI()) << "loaded once per run";
                EXPECT_TRUE(watch.seen().empty()) << "a second load says nothing";
            }
        }
        // Once loaded, the library stays until freeASPI lets go of it, once;
        // no request reaches it afterwards.
        EXPECT_EQ(freeASPI(), found);
        EXPECT_FALSE(freeASPI());
        EXPECT_EQ(GetModuleHandleA("wnaspi32.dll"), nullptr);
        EXPECT_TRUE(getMaxTargets(0) == -1 && getHostAdapterCount() == 0);
        EXPECT_TRUE(!found || DeleteFileA(beside.c_str()));
    }
}

}  // namespace
