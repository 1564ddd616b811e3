// Figures of the Visualisation picture: the format told by the file's
// extension, the shown domains painted at a chosen size, and the file
// written whole or not at all.
#pragma once

#include <cstdint>
#include <gtk/gtk.h>
#include <optional>
#include <string>

#include "view/picture_record.h"

enum class FigureFormat { svg, pdf, png, tikz };

// By the extension, in any case: .svg, .pdf, .png, .tex or .tikz.
std::optional<FigureFormat> figure_format_of(const std::string& path);
// The extension a new file of the format gets.
const char* figure_extension(FigureFormat format);

// The canvas size of a figure when none is asked for and no canvas exists.
constexpr int default_figure_width = 314;
constexpr int default_figure_height = 348;
// Figures larger than this in either direction are refused.
constexpr int largest_figure_side = 8192;

// The files of a recorded picture ("" or one line saying what failed), labels
// `label_pixels` high.
std::string write_vector_figure(const std::string& path, FigureFormat format, const PictureRecord& picture,
                                int label_pixels);
// The pixel size of the screen's label font (12 when it has none). Expects
// the GDK lock held.
int screen_label_pixels(const Viewer& viewer);
// The pixels of an image as a PNG file.
std::string write_png_figure(const std::string& path, GdkPixbuf* pixels);

// Whether the viewer runs and shows at least one domain. Expects domain_lock held.
bool viewer_shows_a_domain(const Viewer& viewer);
// A digest of everything the picture depends on (shown domains and their
// drawn polyhedra, colours, points shown, marks, axes, parameter values):
// equal digests, equal pictures. 0 when no domain is shown. Expects
// domain_lock held.
std::uint64_t shown_picture_key(const Viewer& viewer);

// The shown domains drawn at width x height canvas pixels, as on a canvas of
// that size. Expects the GDK lock and domain_lock held.
PictureRecord record_shown_picture(Viewer& viewer, int width, int height);
// The same, drawn by the screen's own drawing into an image of that size.
// Expects the GDK lock and domain_lock held; the caller unrefs the result.
GdkPixbuf* screen_picture(Viewer& viewer, int width, int height);

// The shown picture written to `path` in its extension's format; "" or one
// line saying what failed. Expects the GDK lock held and domain_lock free.
std::string export_shown_picture(Viewer& viewer, const std::string& path, int width, int height);
