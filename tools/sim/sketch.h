// The shell's "sketch" command: parses its arguments ("-c" and a verb) and carries the verb out
// on a player's display. Stateless; the state lives in the Display.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/display.h"

namespace velk::sim {

struct SketchResult {
    std::vector<std::string> lines; // what the shell prints (the font list, or an error)
    bool drew = false;              // the display picture or its owner may have changed
};

class Sketch {
public:
    // arguments: everything after "sketch" on the line. owner: the shell connection.
    static SketchResult Run(std::string_view arguments, Display& display, int owner);

    // Splits at blanks; a word that begins with a double quote runs to the last double quote of
    // the line (quotes inside are not escaped) and loses both quotes.
    static std::vector<std::string> SplitArguments(std::string_view arguments);
};

} // namespace velk::sim
