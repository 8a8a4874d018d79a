#include "core/report_text.h"

#include "core/old_items_scan.h"
#include "core/size_text.h"

namespace varnelo {

std::string AnalyseReportText(bool byDate, std::string_view cutoffText, const ScanResult& r,
                              std::string_view thousandsSeparator) {
    std::string text = "回收站中有 ";
    text += cutoffText;
    text += byDate ? " 前删除文件或文件夹：" : " 天前删除文件或文件夹：";
    text += std::to_string(r.matchCount) + "项";
    text += "\r合计占用空间：" + KilobyteDisplay(r.matchSizeKb, thousandsSeparator);
    if (r.skippedCount > 0)
        text += "\r跳过无法识别的项目：" + std::to_string(r.skippedCount) + "项";
    return text;
}

std::vector<std::string> ClearReportMessages(const ScanResult& r) {
    std::vector<std::string> messages = {
        "删除文件或文件夹：" + std::to_string(r.matchCount) + "项",
        "释放空间：" + std::to_string(r.matchSizeKb) + "KB",
    };
    if (r.notRemovedCount > 0)
        messages.push_back("未能删除文件或文件夹：" + std::to_string(r.notRemovedCount) + "项");
    if (r.skippedCount > 0)
        messages.push_back("跳过无法识别的项目：" + std::to_string(r.skippedCount) + "项");
    return messages;
}

}  // namespace varnelo
