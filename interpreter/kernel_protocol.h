// What a program driving the calculator through pipes (the Jupyter kernel)
// reads besides the calculator's own text, with --kernel-protocol: before
// each new line of input is read, one status frame; and the requests it may
// send on lines of their own, which are answered and never reach the
// statements.
//
// A frame is the byte 0x1e, one JSON object and a newline:
//   {"ready":true,"refused":N,"pending":B,"answer":B,"picture":"hex"|null}
// refused counts the statements refused so far, pending tells that a
// statement has begun and not ended, answer that the overwrite question waits
// for its answer, picture is a digest of the picture shown (null: none).
// A request is a line that starts with 0x1e:
//   0x1e complete TEXT      {"completion":{"start":N,"file":B,"matches":[...]}}
//                           for the word that ends TEXT (the line up to the cursor)
//   0x1e figure W H PATH    the figure statement's own answer (W = H = -1: the canvas's size)
//   0x1e sync TOKEN         {"sync":"TOKEN"}, to find the end of what came before
//   0x1e explore            {"explore":{"context":NAME,"parameters":[{"name","value","low","high"}],
//                           "domains":[{"name","colour"}]}}: the viewer's parameters, their values and
//                           ranges in the context (null: unbounded), and the shown domains, oldest
//                           first; {"explore":{"refused":TEXT}} when nothing parametric is shown
//   0x1e values V1 .. Vn    {"values":"set"|"outside"|"refused"}: the parameters take these values,
//                           as a parameters statement gives them, only when they lie in the context
//   0x1e card NAME L1 H1 .. Ln Hn
//                           card's own answer for the shown domain NAME at each value of the
//                           viewer's context with Lk <= parameter k <= Hk
// Each request line is followed by its answer and then the next line's frame.
#pragma once

#include <string>

class Session;

inline constexpr char kernel_frame_mark = '\x1e';

class KernelProtocol {
public:
    explicit KernelProtocol(Session& session) : session_(session) {}
    // The frame written before a new line is read. While the overwrite
    // question waits, the locks are held: the picture is not looked at.
    void write_frame(bool answer_awaited);
    // Whether `line` (without its newline) is a request; if so it is answered.
    bool answer_request(const std::string& line);

private:
    Session& session_;
};

// `text` as a JSON string, quotes included.
std::string json_string(const std::string& text);
