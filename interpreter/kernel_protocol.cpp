// Status frames and requests for a driving program.
#include "interpreter/kernel_protocol.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "base/error_report.h"
#include "base/locks.h"
#include "gui/figure_export.h"
#include "interpreter/completion.h"
#include "interpreter/session.h"
#include "interpreter/statements.h"

namespace {

void write_frame_text(FILE* out, const std::string& json) {
    std::fputc(kernel_frame_mark, out);
    std::fputs(json.c_str(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

std::string picture_digest(const Viewer& viewer) {
    std::uint64_t key;
    {
        DomainLock lock;
        key = shown_picture_key(viewer);
    }
    if (key == 0) return "null";
    char text[24];
    std::snprintf(text, sizeof text, "\"%016" PRIx64 "\"", key);
    return text;
}

void answer_completion(Session& session, const std::string& before_cursor) {
    const Completion completion = complete_word(before_cursor, stored_names(session.registries));
    std::string json = "{\"completion\":{\"start\":" + std::to_string(completion.word_start) +
                       ",\"file\":" + (completion.file_name ? "true" : "false") + ",\"matches\":[";
    for (std::size_t k = 0; k < completion.matches.size(); ++k)
        json += (k ? "," : "") + json_string(completion.matches[k]);
    write_frame_text(session.report.out, json + "]}}");
}

// "W H PATH"; a malformed request is a refused figure.
void answer_figure(Session& session, const std::string& arguments) {
    std::istringstream in(arguments);
    long long width = 0, height = 0;
    in >> width >> height;
    std::string path;
    std::getline(in >> std::ws, path);
    if (!in && path.empty()) width = height = 0;
    figure_statement(session, strdup(path.c_str()), width, height);
}

}  // namespace

std::string json_string(const std::string& text) {
    std::string json = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += static_cast<char>(c);
        }
    }
    return json + "\"";
}

void KernelProtocol::write_frame(bool answer_awaited) {
    const StatementReport& report = session_.report;
    write_frame_text(report.out,
                     std::string("{\"ready\":true,\"refused\":") + std::to_string(report.statement_refused) +
                         ",\"pending\":" + (report.statement_under_way ? "true" : "false") +
                         ",\"answer\":" + (answer_awaited ? "true" : "false") +
                         ",\"picture\":" + (answer_awaited ? "null" : picture_digest(session_.viewer)) + "}");
}

bool KernelProtocol::answer_request(const std::string& line) {
    if (line.empty() || line[0] != kernel_frame_mark) return false;
    const std::string request = line.substr(1);
    const std::size_t space = request.find(' ');
    const std::string word = request.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : request.substr(space + 1);
    if (word == "complete")
        answer_completion(session_, rest);
    else if (word == "figure")
        answer_figure(session_, rest);
    else if (word == "sync")
        write_frame_text(session_.report.out, "{\"sync\":" + json_string(rest) + "}");
    else
        write_frame_text(session_.report.out, "{\"unknown\":" + json_string(word) + "}");
    return true;
}
