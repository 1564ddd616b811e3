// Captures what a piece of code writes to the process's standard output or
// standard error.
#pragma once

#include <functional>
#include <string>

std::string capture_stdout(const std::function<void()>& work);
std::string capture_stderr(const std::function<void()>& work);
