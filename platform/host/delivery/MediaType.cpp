#include "platform/host/delivery/MediaType.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace host {

namespace {

// What the report's export formats write, the office formats a reader may be sent, and the
// run's zip. The exports write text as UTF-8, which a text type must say: a reader takes
// US-ASCII otherwise.
constexpr std::array<std::pair<std::string_view, std::string_view>, 14> MediaTypes{{
    {"csv", "text/csv; charset=utf-8"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"htm", "text/html; charset=utf-8"},
    {"html", "text/html; charset=utf-8"},
    {"json", "application/json"},
    {"ods", "application/vnd.oasis.opendocument.spreadsheet"},
    {"odt", "application/vnd.oasis.opendocument.text"},
    {"pdf", "application/pdf"},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {"rtf", "application/rtf"},
    {"txt", "text/plain; charset=utf-8"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"xml", "application/xml"},
    {"zip", "application/zip"},
}};

} // namespace

std::string_view MediaTypeOf(std::string_view fileName) noexcept {
    const std::size_t dot = fileName.rfind('.');
    const std::size_t slash = fileName.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return "application/octet-stream";
    }
    const std::string_view extension = fileName.substr(dot + 1);
    const auto found = std::find_if(MediaTypes.begin(), MediaTypes.end(), [&](const auto& entry) {
        return std::equal(
            entry.first.begin(), entry.first.end(), extension.begin(), extension.end(),
            [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    });
    return found != MediaTypes.end() ? found->second : "application/octet-stream";
}

} // namespace host
