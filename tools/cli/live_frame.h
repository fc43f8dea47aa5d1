// One frame of `live --watch` on a terminal, fitted to the window: the
// heading, then the readings in as many panels side by side as the width
// takes (without the PID column when that shows more), each as tall as the
// window leaves. What still does not fit is left out with a note saying how
// much, so the heading never scrolls away. Pure: the document and the
// window's size in, the lines out.
#pragma once

#include <string>
#include <vector>

#include "site_names.h"

namespace tandrel_cli {

// The frame's lines, none wider than `columns - 1` and at most `rows - 1` of
// them, so that the cursor's line never scrolls the screen. A size of 0 is
// not known: no limit that way.
std::vector<std::string> live_frame(const JsonValue& doc, int columns, int rows);

}  // namespace tandrel_cli
