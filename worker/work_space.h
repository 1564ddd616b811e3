// The memory budget of one polyhedral computation. PolyLib's matrices are
// dense, so its work space grows with the square of the dimension: a
// computation that would exceed the budget is refused before it allocates.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

inline constexpr std::size_t work_space_budget = std::size_t{512} << 20;

// Estimated bytes for a computation in `dimension` dimensions whose input
// has `rows` constraint or generator rows: PolyLib's matrices (ray,
// constraint and working copies of 64-bit values, with its 100 spare rows)
// and the exact check's multi-precision copies.
std::size_t work_space_estimate(std::size_t dimension, std::size_t rows);

// "needs more than the 512 MB of work space allowed": what a computation
// that ran out of its budget is told.
std::string work_space_exceeded_text();

// "would need about N MB of work space, more than the 512 MB allowed", or
// nothing within the budget.
std::optional<std::string> work_space_problem(std::size_t dimension, std::size_t rows);
