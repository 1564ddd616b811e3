// Figures from scripts: with --figure FILE [--figure-size WxH] the statements
// run without waiting for a user, and the picture shown at their end is
// written to FILE before the process ends.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

#include "gui/figure_export.h"
#include "interpreter/options.h"

struct FigureRequest {
    std::string path;
    int width = default_figure_width;
    int height = default_figure_height;
};

// The request of `--figure path` with `--figure-size size` if given; "" or
// the message for a malformed use.
std::string make_figure_request(const std::string& path, const std::optional<std::string>& size,
                                FigureRequest& request);

// The figure asked for on the command line, if any; "" or the message for a
// malformed use.
std::string figure_request_of(const CommandLine& line, std::optional<FigureRequest>& request);

// A virtual display of our own, started when none can be reached, so that
// figures are made on machines without one; stopped when destroyed.
class PrivateDisplay {
public:
    PrivateDisplay() = default;
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;
    // "" when a display is reachable (found or started), else why not.
    std::string ensure();
    // Whether ensure() started one: nobody sees its windows.
    bool started() const { return server_ > 0; }

private:
    pid_t server_ = -1;
};

// Writes the figure of what is shown: 0, or 1 with a message on standard
// error when nothing is shown or the file cannot be written. Expects neither
// lock held.
int write_requested_figure(Viewer& viewer, const FigureRequest& request);
