// Colour strings: projects carry them, and the server relays them from other clients.
#include "core/util/ColorString.h"
#include "fuzz/FuzzSupport.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = fuzz::textOf(data, size);
    if (const std::optional<QColor> color = ColorString::colorWithString(text)) {
        ColorString::textColorForBackground(*color);
        for (const QString& written :
             {ColorString::stringFromColor(*color), ColorString::stringFromColorForNewProject(*color),
              ColorString::stringFromColorForTheme(*color)})
            fuzz::require(ColorString::colorWithString(written).has_value(), "a written colour reads back");
    }
    ColorString::textColorForBackground(ColorString::colorWithHexColorString(text));
    return 0;
}
