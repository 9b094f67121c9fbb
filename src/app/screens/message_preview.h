// The " Preview " box of the confirmation screen: the last look at what will
// be posted, From, To and Subject in full and the message's lines.
#pragma once

#include <string>
#include <vector>

namespace corvix {

// The lines of the message file at Path as the preview shows them: in the
// screen's code page (converted from UTF-8 when the host takes UTF-8), a line's
// CR before its LF dropped, control bytes as '?', pipe codes kept for the
// screen to colour. Only the first kPreviewMaxBytes are read; a file that
// cannot be read gives one line saying so.
std::vector<std::string> PreviewLines(const std::string& path);

inline constexpr std::size_t kPreviewMaxBytes = 1 << 20;

// Shows the box over the screen with the session's From, To and Subject and
// the lines of the message file at Path. Up/Down, PgUp/PgDn and Home/End
// scroll the lines; Escape closes the box and leaves the screen as it was.
void ShowMessagePreview(const std::string& path);

}  // namespace corvix
