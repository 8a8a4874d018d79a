#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnelo {

struct ScanResult;

// The analysis dialog's text. cutoffText is the cutoff date's text when byDate, else the
// days box's text exactly as typed. Lines are separated by a lone "\r".
std::string AnalyseReportText(bool byDate, std::string_view cutoffText, const ScanResult& r,
                              std::string_view thousandsSeparator);

// The message boxes shown after clearing, in order.
std::vector<std::string> ClearReportMessages(const ScanResult& r);

}  // namespace varnelo
