// The work-space estimate and the budget's message.
#include "worker/work_space.h"

namespace {

constexpr std::size_t polylib_value_bytes = 8;
constexpr std::size_t polylib_copies = 3;
constexpr std::size_t polylib_spare_rows = 100;
constexpr std::size_t exact_value_bytes = 32;   // a GMP integer and its one-limb block
constexpr std::size_t exact_copies = 1;
constexpr std::size_t megabyte = std::size_t{1} << 20;

}  // namespace

std::size_t work_space_estimate(std::size_t dimension, std::size_t rows) {
    using Wide = unsigned __int128;   // a dimension near the size limit must not wrap to a small estimate
    Wide columns = Wide{dimension} + 2;
    Wide matrix_rows = Wide{rows} + dimension + 2 + polylib_spare_rows;
    Wide bytes = columns * matrix_rows * (polylib_copies * polylib_value_bytes + exact_copies * exact_value_bytes);
    constexpr std::size_t largest = static_cast<std::size_t>(-1);
    return bytes > largest ? largest : static_cast<std::size_t>(bytes);
}

std::optional<std::string> work_space_problem(std::size_t dimension, std::size_t rows) {
    std::size_t bytes = work_space_estimate(dimension, rows);
    if (bytes <= work_space_budget) return std::nullopt;
    return "would need about " + std::to_string((bytes + megabyte - 1) / megabyte) +
           " MB of work space, more than the " + std::to_string(work_space_budget / megabyte) + " MB allowed";
}

std::string work_space_exceeded_text() {
    return "needs more than the " + std::to_string(work_space_budget / megabyte) + " MB of work space allowed";
}
