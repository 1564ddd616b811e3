// Status frames and requests for a driving program.
#include "interpreter/kernel_protocol.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <vector>

#include "base/error_report.h"
#include "base/locks.h"
#include "calculus/point_queries.h"
#include "gui/context_window.h"
#include "gui/figure_export.h"
#include "interpreter/completion.h"
#include "interpreter/session.h"
#include "interpreter/statements.h"
#include "view/point_scanner.h"

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

// The values a request gives, all of them well formed, or none.
std::optional<std::vector<std::int64_t>> integers_of(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::int64_t> values;
    std::string word;
    while (in >> word) {
        if (!well_formed_integer(word.c_str())) return std::nullopt;
        errno = 0;
        char* end = nullptr;
        const long long value = std::strtoll(word.c_str(), &end, 10);
        if (errno == ERANGE) return std::nullopt;
        values.push_back(value);
    }
    return values;
}

// The integer range of coordinate k over a union, from its vertices, rays
// and lines; none on a side where it is unbounded. Expects domain_lock held.
struct CoordinateRange {
    bool empty = true;
    std::optional<std::int64_t> low, high;
};

CoordinateRange coordinate_range(const Polyhedron* domain, unsigned k) {
    // The extremes as fractions (numerator, positive denominator).
    std::optional<std::pair<__int128, __int128>> least, most;
    bool unbounded_below = false, unbounded_above = false, any = false;
    for (const Polyhedron* p = domain; p; p = p->next) {
        for (unsigned r = 0; r < p->NbRays; ++r) {
            any = true;
            const Value* ray = p->Ray[r];
            const __int128 c = value_of(ray[1 + k]), denominator = value_of(ray[p->Dimension + 1]);
            if (value_of(ray[0]) == 0) {   // a line
                if (c != 0) unbounded_below = unbounded_above = true;
            } else if (denominator == 0) {   // a ray
                if (c > 0) unbounded_above = true;
                if (c < 0) unbounded_below = true;
            } else {
                const std::pair<__int128, __int128> v{c, denominator};
                if (!least || v.first * least->second < least->first * v.second) least = v;
                if (!most || v.first * most->second > most->first * v.second) most = v;
            }
        }
    }
    CoordinateRange range;
    range.empty = !any;
    if (!unbounded_below && least) {
        __int128 q = least->first / least->second;
        if (least->first % least->second != 0 && least->first > 0) ++q;
        range.low = static_cast<std::int64_t>(q);
    }
    if (!unbounded_above && most) {
        __int128 q = most->first / most->second;
        if (most->first % most->second != 0 && most->first < 0) --q;
        range.high = static_cast<std::int64_t>(q);
    }
    return range;
}

std::string colour_text(const GdkColor* colour) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour ? colour->red >> 8 : 0, colour ? colour->green >> 8 : 0,
                  colour ? colour->blue >> 8 : 0);
    return text;
}

// Why the viewer's picture cannot be explored over its parameters; "" when
// it can. Expects domain_lock held.
std::string explore_refusal(const Session& session) {
    const Viewer& viewer = session.viewer;
    if (!session.display_available) return "the viewer needs an X display and none could be opened";
    if (!viewer_shows_a_domain(viewer)) return "no domain is shown";
    if (viewer.context.nb_params <= 0 || !viewer.context.Contexte) return "the viewer's context has no parameters";
    if (!viewer.context.context_valid) return "the parameters have no values inside the context";
    return "";
}

// The viewer's parameters (name, value, range in the context) and its shown
// domains, oldest first, with their colours.
void answer_explore(Session& session) {
    const std::vector<std::string> names =
        session.viewer_windows.panel_item.empty() ? std::vector<std::string>{}
                                                  : context_parameter_names(session.viewer_windows);
    std::string json;
    {
        DomainLock lock;
        const Viewer& viewer = session.viewer;
        std::string refusal = explore_refusal(session);
        if (refusal.empty() && names.size() != static_cast<std::size_t>(viewer.context.nb_params))
            refusal = "the viewer's context has no parameters";
        if (!refusal.empty()) {
            write_frame_text(session.report.out, "{\"explore\":{\"refused\":" + json_string(refusal) + "}}");
            return;
        }
        json = "{\"explore\":{\"context\":" + json_string(viewer.context.context_name) + ",\"parameters\":[";
        for (std::size_t k = 0; k < names.size(); ++k) {
            const CoordinateRange range = coordinate_range(viewer.context.Contexte, static_cast<unsigned>(k));
            json += std::string(k ? "," : "") + "{\"name\":" + json_string(names[k]) +
                    ",\"value\":" + std::to_string(viewer.context.param_values[k]) +
                    ",\"low\":" + (range.low ? std::to_string(*range.low) : "null") +
                    ",\"high\":" + (range.high ? std::to_string(*range.high) : "null") + "}";
        }
        std::vector<const DomainEntry*> shown;
        for (const DomainEntry* e = viewer.state.registries->DomainList; e; e = e->next)
            if (e->view) shown.insert(shown.begin(), e);
        json += "],\"domains\":[";
        for (std::size_t k = 0; k < shown.size(); ++k)
            json += std::string(k ? "," : "") + "{\"name\":" + json_string(shown[k]->name) +
                    ",\"colour\":\"" + colour_text(shown[k]->color) + "\"}";
        json += "]}}";
    }
    write_frame_text(session.report.out, json);
}

// "V1 V2 ...": the viewer's parameters take these values, as a parameters
// statement gives them, when they lie in the context; otherwise nothing
// changes (values outside the context would mask the shown domains).
void answer_values(Session& session, const std::string& arguments) {
    const auto values = integers_of(arguments);
    const char* outcome = "refused";
    if (values && session.display_available) {
        GdkLock gdk;
        bool inside;
        {
            DomainLock lock;
            const ContextState& context = session.viewer.context;
            inside = explore_refusal(session).empty() && values->size() == static_cast<std::size_t>(context.nb_params) &&
                     session.viewer_windows.panel_item.size() == values->size() &&
                     point_in_domain(context.Contexte, values->data());
            if (!inside && explore_refusal(session).empty() &&
                values->size() == static_cast<std::size_t>(context.nb_params))
                outcome = "outside";
        }
        if (inside) {
            set_parameter_values(session.viewer_windows,
                                 std::vector<std::optional<std::int64_t>>(values->begin(), values->end()));
            outcome = "set";
        }
    }
    write_frame_text(session.report.out, std::string("{\"values\":\"") + outcome + "\"}");
}

// Bounds beyond which a box of values is not counted: PolyLib's 64-bit
// arithmetic on the box's rows stays far from wrapping.
constexpr std::int64_t largest_counted_value = std::int64_t{1} << 40;

// "NAME L1 H1 ... Ln Hn": card's own answer for the shown domain NAME at each
// value of the viewer's context with Lk <= parameter k <= Hk. The context so
// bounded is the question's own: it is not stored.
void answer_card(Session& session, const std::string& arguments) {
    std::istringstream in(arguments);
    std::string name;
    in >> name;
    std::string rest;
    std::getline(in, rest);
    const auto bounds = integers_of(rest);
    DomainLock lock;
    const ContextState& context = session.viewer.context;
    const DomainEntry* named_context =
        context.Contexte ? lookup_domain(context.context_name, session.registries.DomainList) : nullptr;
    bool fits = bounds && named_context && context.nb_params > 0 &&
                bounds->size() == 2 * static_cast<std::size_t>(context.nb_params);
    for (std::size_t k = 0; fits && k < bounds->size(); ++k)
        fits = (*bounds)[k] >= -largest_counted_value && (*bounds)[k] <= largest_counted_value &&
               (k % 2 == 0 || (*bounds)[k - 1] <= (*bounds)[k]);
    if (!fits) {
        report_error(session.report, "card: no values of the viewer's parameters to count at - command ignored");
        return;
    }
    const unsigned n = static_cast<unsigned>(context.nb_params);
    MatrixPtr rows(Matrix_Alloc(2 * n, n + 2));
    for (unsigned k = 0; k < n; ++k) {
        for (unsigned c = 0; c < n + 2; ++c) {
            value_set_si(rows->p[2 * k][c], 0);
            value_set_si(rows->p[2 * k + 1][c], 0);
        }
        value_set_si(rows->p[2 * k][0], 1);
        value_set_si(rows->p[2 * k][1 + k], 1);
        rows->p[2 * k][n + 1] = -(*bounds)[2 * k];
        value_set_si(rows->p[2 * k + 1][0], 1);
        value_set_si(rows->p[2 * k + 1][1 + k], -1);
        rows->p[2 * k + 1][n + 1] = (*bounds)[2 * k + 1];
    }
    Polyhedron* box = nullptr;
    Polyhedron* bounded = nullptr;
    Matrix* m = rows.get();
    Polyhedron* whole = context.Contexte;
    const bool made = polylib_guarded([&] {
        box = Constraints2Polyhedron(m, 100);
        bounded = DomainIntersection(whole, box, 100);
    });
    DomainPtr owned_box(made ? box : nullptr);
    if (!made || !bounded) {
        report_error(session.report, "card: PolyLib failed on the viewer's context - command ignored");
        return;
    }
    // Found before the stored context of that name: the question's context.
    auto* question_context =
        new DomainEntry{context.context_name, copy_var_list(named_context->vars), bounded, nullptr, nullptr,
                        session.registries.DomainList};
    answer_point_query(session, PointQuestion{PointQuery::card, name, context.context_name, default_listing_bound},
                       question_context);
    question_context->next = nullptr;
    free_domain_entry(question_context);
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
    else if (word == "explore")
        answer_explore(session_);
    else if (word == "values")
        answer_values(session_, rest);
    else if (word == "card")
        answer_card(session_, rest);
    else if (word == "sync")
        write_frame_text(session_.report.out, "{\"sync\":" + json_string(rest) + "}");
    else
        write_frame_text(session_.report.out, "{\"unknown\":" + json_string(word) + "}");
    return true;
}
