// How the setup window looks, read from its pixels on screen: the dark
// mode's settings in the prefix, and what dark and readable mean.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "driver.h"

namespace wt::e2e {

// WCAG's contrast ratio of two colours (0x00RRGGBB).
inline double Contrast(DWORD a, DWORD b) {
    auto luminance = [](DWORD c) {
        double sum = 0;
        const double weights[] = {0.2126, 0.7152, 0.0722};
        for (int i = 0; i < 3; ++i) {
            const double v = ((c >> (16 - 8 * i)) & 0xFF) / 255.0;
            sum += weights[i] * (v <= 0.03928 ? v / 12.92 : pow((v + 0.055) / 1.055, 2.4));
        }
        return sum;
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Apps' mode in this prefix's settings, which setup reads, put back as it was.
class AppsMode {
public:
    explicit AppsMode(DWORD light) { Set(light); }
    ~AppsMode() { RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, "AppsUseLightTheme"); }
    void Set(DWORD light) {
        RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "AppsUseLightTheme", REG_DWORD, &light, sizeof light);
    }
    // What the system tells every window when the mode changes.
    void Tell(HWND window) {
        DWORD_PTR unused = 0;
        SendMessageTimeoutW(window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"),
                            SMTO_ABORTIFHUNG, 5000, &unused);
        Sleep(300);
    }

private:
    static constexpr const char* kKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
};

// The client area as on screen is dark: nowhere below the banner the light
// button face, and every control's text against its own background at 4.5:1
// or more (its most common colour the background, the next its text).
inline void ExpectDarkAndReadable(HWND form, int dpi, const char* page) {
    SCOPED_TRACE(page);
    int w = 0, h = 0;
    const std::vector<DWORD> pixels = WindowPixels(form, &w, &h, true);
    ASSERT_FALSE(pixels.empty());
    const DWORD face = GetSysColor(COLOR_BTNFACE);
    const DWORD faceRgb = ((face & 0xFF) << 16) | (face & 0xFF00) | ((face >> 16) & 0xFF);
    int light = 0;
    for (int y = MulDiv(89, dpi, 96); y < h; ++y)
        for (int x = 0; x < w; ++x) light += pixels[static_cast<size_t>(y) * w + x] == faceRgb;
    EXPECT_EQ(light, 0) << "pixels of the light button face";
    for (HWND control : Descendants(form)) {
        if (!IsWindowVisible(control) || TextOf(control).empty() || ClassOf(control) == "TGroupBox") continue;
        RECT r;
        GetClientRect(control, &r);
        MapWindowPoints(control, form, reinterpret_cast<POINT*>(&r), 2);
        InflateRect(&r, -MulDiv(3, dpi, 96), -MulDiv(3, dpi, 96));
        std::map<DWORD, int> counts;
        for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, h); ++y)
            for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, w); ++x)
                ++counts[pixels[static_cast<size_t>(y) * w + x]];
        std::vector<std::pair<int, DWORD>> byCount;
        for (const auto& [colour, count] : counts) byCount.push_back({count, colour});
        std::sort(byCount.rbegin(), byCount.rend());
        ASSERT_GE(byCount.size(), 2u) << ClassOf(control) << " \"" << TextOf(control) << "\" shows no text";
        EXPECT_GE(Contrast(byCount[0].second, byCount[1].second), 4.5)
            << ClassOf(control) << " \"" << TextOf(control) << "\": " << std::hex << byCount[1].second << " on "
            << byCount[0].second;
        EXPECT_LT(Contrast(byCount[0].second, 0x000000), 4.5) << TextOf(control) << ": a light background";
    }
}

}  // namespace wt::e2e
