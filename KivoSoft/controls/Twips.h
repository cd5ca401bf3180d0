// The layouts of the controls are given in twips; the screen works in logical pixels.
#pragma once

namespace KivoSoft {

inline constexpr int TwipsPerPixel = 15;

// Twips to logical pixels, to the nearest pixel (100 twips, the smallest caption, is 7 pixels).
constexpr int twipsToPixels(int twips)
{
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

} // namespace KivoSoft
