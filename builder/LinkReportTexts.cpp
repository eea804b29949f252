// The link report as the author reads it: the summary, the full report as
// text or JSON.
#include <array>

#include "builder/LinkReport.h"
#include "platform/Json.h"
#include "platform/Utf8.h"

namespace folivex {

namespace {

struct KindText {
    const char* name;     // in the full report
    const char* heading;  // in the summary
};
constexpr std::array<KindText, 6> kKinds = {{
    {"missing", "not in the folder"},
    {"excluded", "in the folder but not in the book"},
    {"no-fragment", "fragment not found in its page"},
    {"case-only", "found only because the book ignores case (breaks on a web server)"},
    {"unreachable", "pages nothing links to, outside the page sequence"},
    {"external", "external links (not checked)"},
}};

std::string Where(const LinkFinding& f) {
    return f.line == 0 ? f.page : f.page + ":" + std::to_string(f.line);
}

}  // namespace

bool IsBroken(const LinkFinding& finding) {
    return finding.kind == LinkFinding::missing || finding.kind == LinkFinding::excluded ||
           finding.kind == LinkFinding::noFragment;
}

std::string LinkReportSummary(const std::vector<LinkFinding>& findings, size_t maxPerKind) {
    if (findings.empty()) return {};
    std::array<size_t, kKinds.size()> counts{};
    for (const LinkFinding& f : findings) ++counts[f.kind];
    std::string text = "Link report:";
    for (size_t k = 0; k < kKinds.size(); ++k)
        if (counts[k] > 0) text += " " + std::to_string(counts[k]) + " " + kKinds[k].name + ",";
    text.back() = '\n';
    for (size_t k = 0; k < kKinds.size(); ++k) {
        if (counts[k] == 0) continue;
        text += std::string(kKinds[k].name) + ": " + kKinds[k].heading + "\n";
        size_t shown = 0;
        for (const LinkFinding& f : findings) {
            if (f.kind != k || shown++ >= maxPerKind) continue;
            text += "  " + Where(f) + (f.target.empty() ? "" : ": " + f.target) + "\n";
        }
        if (counts[k] > maxPerKind)
            text += "  ... and " + std::to_string(counts[k] - maxPerKind) + " more\n";
    }
    return text;
}

std::string LinkReportText(const std::vector<LinkFinding>& findings) {
    std::string text;
    for (const LinkFinding& f : findings)
        text += std::string(kKinds[f.kind].name) + " " + Where(f) +
                (f.target.empty() ? "" : " " + f.target) + "\n";
    return text;
}

std::string LinkReportJson(const std::vector<LinkFinding>& findings) {
    std::array<size_t, kKinds.size()> counts{};
    for (const LinkFinding& f : findings) ++counts[f.kind];
    std::string json = "{\n  \"counts\": {";
    for (size_t k = 0; k < kKinds.size(); ++k)
        json += std::string(k ? ", " : "") + json::String(kKinds[k].name) + ": " +
                std::to_string(counts[k]);
    json += "},\n  \"findings\": [";
    for (size_t i = 0; i < findings.size(); ++i) {
        const LinkFinding& f = findings[i];
        json += std::string(i ? "," : "") +
                "\n    {\"kind\": " + json::String(kKinds[f.kind].name) +
                ", \"page\": " + json::String(ToUtf8(f.page)) +
                ", \"line\": " + std::to_string(f.line) +
                ", \"target\": " + json::String(ToUtf8(f.target)) + "}";
    }
    return json + (findings.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace folivex
