#include "tools/sim/sketch.h"

#include <algorithm>
#include <array>
#include <optional>

#include "tools/sim/bitmap_font.h"
#include "tools/sim/text_util.h"

namespace velk::sim {
namespace {

SketchResult Error(std::string text)
{
    return SketchResult{{"sketch: " + std::move(text)}, false};
}

// The verb's numbers, all of them clamped to the drawing range.
template <std::size_t N>
std::optional<std::array<int, N>> Numbers(const std::vector<std::string>& words)
{
    if (words.size() != N + 1)
        return std::nullopt;
    std::array<int, N> numbers{};
    for (std::size_t i = 0; i < N; ++i) {
        auto value = ParseInteger(words[i + 1], -1000000000, 1000000000);
        if (!value)
            return std::nullopt;
        numbers[i] = static_cast<int>(std::clamp<std::int64_t>(
            *value, -FrameBuffer::kCoordinateLimit, FrameBuffer::kCoordinateLimit));
    }
    return numbers;
}

SketchResult FontList()
{
    SketchResult result;
    for (const auto& font : BitmapFont::All())
        result.lines.push_back(std::to_string(font.number()) + " - " + font.name());
    return result;
}

SketchResult Draw(const std::vector<std::string>& words, Display& display, int owner)
{
    const std::string& verb = words[0];
    FrameBuffer& frame = display.frame();
    const auto usage = [&verb](std::string_view arguments) {
        return Error("usage: sketch -c " + verb + " " + std::string(arguments));
    };

    if (verb == "clear") {
        display.BeginSketch(owner);
        display.StopMarquee();
        frame.Fill(false);
    } else if (verb == "font") {
        auto number = words.size() == 2 ? ParseInt(words[1]) : std::nullopt;
        if (!number)
            return usage("<number> | list");
        if (!BitmapFont::ByNumber(*number))
            return Error("no font " + words[1]);
        display.BeginSketch(owner);
        display.set_font(*number);
    } else if (verb == "color") {
        auto color = words.size() == 2 ? ParseInt(words[1]) : std::nullopt;
        if (!color)
            return usage("<0 dark | 1 lit>");
        display.BeginSketch(owner);
        display.set_color(*color != 0);
    } else if (verb == "point") {
        auto n = Numbers<2>(words);
        if (!n)
            return usage("<x> <y>");
        display.BeginSketch(owner);
        frame.SetPixel((*n)[0], (*n)[1], display.color());
    } else if (verb == "line" || verb == "rect" || verb == "framerect") {
        auto n = Numbers<4>(words);
        if (!n)
            return usage("<x1> <y1> <x2> <y2>");
        display.BeginSketch(owner);
        const auto [x1, y1, x2, y2] = *n;
        if (verb == "line")
            frame.Line(x1, y1, x2, y2, display.color());
        else if (verb == "rect")
            frame.FillRect(x1, y1, x2, y2, display.color());
        else
            frame.FrameRect(x1, y1, x2, y2, display.color());
    } else if (verb == "blit") {
        auto n = Numbers<6>(words);
        if (!n)
            return usage("<x> <y> <width> <height> <to x> <to y>");
        display.BeginSketch(owner);
        const auto [x, y, width, height, to_x, to_y] = *n;
        frame.Blit(x, y, width, height, to_x, to_y);
    } else if (verb == "slide") {
        auto n = Numbers<2>(words);
        if (!n)
            return usage("<dx> <dy>");
        display.BeginSketch(owner);
        frame.Slide((*n)[0], (*n)[1]);
    } else if (verb == "text") {
        if (words.size() != 4)
            return usage("<x> <y> \"<text>\"");
        auto n = Numbers<2>({words[0], words[1], words[2]});
        if (!n)
            return usage("<x> <y> \"<text>\"");
        display.BeginSketch(owner);
        const BitmapFont* font = BitmapFont::ByNumber(display.font());
        font->DrawText(frame, (*n)[0], (*n)[1], words[3], display.color());
    } else if (verb == "marquee") {
        if (words.size() == 2 && words[1] == "-stop") {
            display.StopMarquee();
        } else if (words.size() == 3 && words[1] == "-start") {
            display.BeginSketch(owner);
            display.StartMarquee(words[2]);
        } else {
            return usage("-start \"<text>\" | -stop");
        }
    } else if (verb == "quit") {
        if (display.sketching())
            display.EndSketch();
    } else {
        return Error("unknown verb " + verb);
    }
    return SketchResult{{}, true};
}

} // namespace

std::vector<std::string> Sketch::SplitArguments(std::string_view arguments)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < arguments.size()) {
        if (arguments[i] == ' ' || arguments[i] == '\t') {
            ++i;
            continue;
        }
        if (arguments[i] == '"') {
            const std::size_t last = arguments.rfind('"');
            if (last > i) {
                words.emplace_back(arguments.substr(i + 1, last - i - 1));
                i = last + 1;
                continue;
            }
            // A lone quote: the rest of the line is the word.
            words.emplace_back(arguments.substr(i + 1));
            break;
        }
        const std::size_t start = i;
        while (i < arguments.size() && arguments[i] != ' ' && arguments[i] != '\t')
            ++i;
        words.emplace_back(arguments.substr(start, i - start));
    }
    return words;
}

SketchResult Sketch::Run(std::string_view arguments, Display& display, int owner)
{
    std::vector<std::string> words = SplitArguments(arguments);
    if (words.empty() || words[0] != "-c" || words.size() < 2)
        return Error("usage: sketch -c <verb> [arguments]");
    words.erase(words.begin());
    if (words[0] == "font" && words.size() == 2 && words[1] == "list")
        return FontList();
    return Draw(words, display, owner);
}

} // namespace velk::sim
