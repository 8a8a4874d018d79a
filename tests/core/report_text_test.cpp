#include "core/report_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/old_items_scan.h"

namespace varnelo {
namespace {

struct AnalyseCase {
    const char* name;
    bool byDate;
    const char* cutoffText;
    ScanResult result;
    const char* separator;
    const char* text;
};

TEST(AnalyseReportTextTest, BuildsBothLinesForEitherMode) {
    const AnalyseCase cases[] = {
        {.name = "by date",
         .byDate = true,
         .cutoffText = "2026/1/9",
         .result = {.matchCount = 3, .matchSizeKb = 1234567},
         .separator = ",",
         .text = "回收站中有 2026/1/9 前删除文件或文件夹：3项\r合计占用空间：1,234,567KB"},
        {.name = "by days keeps the typed text",
         .byDate = false,
         .cutoffText = "  30",
         .result = {.matchCount = 12, .matchSizeKb = 999},
         .separator = ",",
         .text = "回收站中有   30 天前删除文件或文件夹：12项\r合计占用空间：999KB"},
        {.name = "nothing old",
         .byDate = false,
         .cutoffText = "60",
         .result = {},
         .separator = ",",
         .text = "回收站中有 60 天前删除文件或文件夹：0项\r合计占用空间：0KB"},
        {.name = "old items of no size",
         .byDate = true,
         .cutoffText = "2026/1/9",
         .result = {.matchCount = 2, .matchSizeKb = 0},
         .separator = ",",
         .text = "回收站中有 2026/1/9 前删除文件或文件夹：2项\r合计占用空间：0KB"},
        {.name = "count is never grouped, size uses the locale",
         .byDate = false,
         .cutoffText = "10",
         .result = {.matchCount = 12345, .matchSizeKb = 1000},
         .separator = "\u00a0",
         .text = "回收站中有 10 天前删除文件或文件夹：12345项\r合计占用空间：1\u00a0000KB"},
        {.name = "skipped rows get a third line",
         .byDate = false,
         .cutoffText = "60",
         .result = {.matchCount = 1, .matchSizeKb = 4, .skippedCount = 2},
         .separator = ",",
         .text =
             "回收站中有 60 天前删除文件或文件夹：1项\r合计占用空间：4KB\r跳过无法识别的项目：2项"},
    };
    for (const AnalyseCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AnalyseReportText(c.byDate, c.cutoffText, c.result, c.separator), c.text);
    }
}

struct ClearCase {
    const char* name;
    ScanResult result;
    std::vector<std::string> messages;
};

TEST(ClearReportMessagesTest, ShowsFailuresAndSkipsOnlyWhenThereAreAny) {
    const ClearCase cases[] = {
        {.name = "nothing", .result = {}, .messages = {"删除文件或文件夹：0项", "释放空间：0KB"}},
        {.name = "plain digits for the space",
         .result = {.matchCount = 1234, .matchSizeKb = 1234567},
         .messages = {"删除文件或文件夹：1234项", "释放空间：1234567KB"}},
        {.name = "beyond 32 bits",
         .result = {.matchCount = 2, .matchSizeKb = 4000000000LL},
         .messages = {"删除文件或文件夹：2项", "释放空间：4000000000KB"}},
        {.name = "failures",
         .result = {.matchCount = 3, .matchSizeKb = 10, .notRemovedCount = 2},
         .messages = {"删除文件或文件夹：3项", "释放空间：10KB", "未能删除文件或文件夹：2项"}},
        {.name = "skips",
         .result = {.matchCount = 3, .matchSizeKb = 10, .skippedCount = 1},
         .messages = {"删除文件或文件夹：3项", "释放空间：10KB", "跳过无法识别的项目：1项"}},
        {.name = "failures before skips",
         .result = {.matchCount = 0, .matchSizeKb = 0, .notRemovedCount = 4, .skippedCount = 5},
         .messages = {"删除文件或文件夹：0项", "释放空间：0KB", "未能删除文件或文件夹：4项",
                      "跳过无法识别的项目：5项"}},
    };
    for (const ClearCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ClearReportMessages(c.result), c.messages);
    }
}

}  // namespace
}  // namespace varnelo
