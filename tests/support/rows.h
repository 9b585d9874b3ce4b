#pragma once

// A table row's description as a test name ("a click picks" -> "a_click_picks"), so that
// ctest lists parameterised rows by what they mean and runs each by a stable name.

#include <algorithm>
#include <cctype>
#include <string>

inline std::string test_name(std::string text)
{
    std::replace_if(text.begin(), text.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return text;
}
