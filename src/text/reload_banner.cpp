#include "text/reload_banner.h"

#include "core/reload.h"
#include "gfx/primitives.h"
#include "text/font.h"

#include <string>
#include <vector>

namespace {

constexpr int max_lines = 12;
constexpr int margin = 8;
constexpr Color band_colour{0, 0, 0, 190};
constexpr Color text_colour{255, 150, 90, 255};

// The sheet has glyphs for printable ASCII only.
std::string printable(const std::string& line) {
    std::string out = line;
    for (char& c : out)
        if (c < 32 || c > 126) c = c == '\t' ? ' ' : '?';
    return out;
}

} // namespace

void reload_banner_draw(float top, int width) {
    const std::string& text = reload_error_text();
    if (text.empty()) return;
    font_set_style(VL_FONT_SMALL | VL_FONT_LEFT | VL_FONT_TOP);
    const int room = width - 2 * margin;
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size() && static_cast<int>(lines.size()) < max_lines) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = printable(text.substr(at, end - at));
        while (!line.empty() && font_text_width(line.c_str()) > room) line.pop_back();
        lines.push_back(line);
        at = end + 1;
    }
    // One cell per line: the font's own line step overlaps small glyphs.
    const int step = font_style().cell_height;
    const int y0 = static_cast<int>(top);
    draw_rect(0, y0, width, static_cast<int>(lines.size()) * step + 2 * margin, band_colour);
    for (size_t i = 0; i < lines.size(); ++i)
        font_print(static_cast<float>(margin), static_cast<float>(y0 + margin + static_cast<int>(i) * step),
                   text_colour, "%s", lines[i].c_str());
}
