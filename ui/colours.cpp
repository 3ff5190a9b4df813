#include "ui/main_dialog.h"

#include <uxtheme.h>

#include "app/text.h"

int StaticBackgroundIndex() {
    return (IsThemeActive() && IsVistaOrLater()) ? COLOR_WINDOW : COLOR_BTNFACE;
}

HBRUSH PrepareStaticColours(COLORREF textColour, HDC context, COLORREF backgroundColour) {
    // A static repaints often: one brush per colour, kept until the process ends, so nothing
    // piles up. Statics here only ever ask for a handful of colours.
    struct CachedBrush {
        COLORREF colour;
        HBRUSH brush;
    };
    static CachedBrush cache[8];
    static int cached = 0;
    HBRUSH brush = nullptr;
    for (int i = 0; i < cached; ++i)
        if (cache[i].colour == backgroundColour)
            brush = cache[i].brush;
    if (!brush) {
        brush = CreateSolidBrush(backgroundColour);
        if (cached < 8) {
            cache[cached++] = {backgroundColour, brush};
        } else {
            DeleteObject(cache[0].brush); // cannot happen with the system colours in use
            cache[0] = {backgroundColour, brush};
        }
    }
    SetTextColor(context, textColour);
    SetBkColor(context, backgroundColour);
    UnrealizeObject(brush);
    SetBrushOrgEx(context, 0, 0, nullptr);
    return brush;
}
