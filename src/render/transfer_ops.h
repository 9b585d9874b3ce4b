#pragma once

// The eight transfer operations, inline so that the bitmap's pixel loops compile each one
// into its own loop. Each combines a destination pixel with a source pixel (both
// premultiplied) and returns the new destination; the arithmetic is exactly the integer
// arithmetic written above it, because redraws, reloads and exports must agree to the bit.

#include "color.h"

namespace color_ns {

// Source over destination, premultiplied:
// A = (as*255 + (255-as)*ad)/255, C = (cs*255 + cd*(255-as))/255
inline Color paint_over(Color d, Color s)
{
    const int as = alpha(s);
    if (as == 0) return d;
    if (as == 255) return s;
    const int ad = alpha(d);
    if (ad == 0) return s;
    const int k = 255 - as;
    return make((red(s) * 255 + red(d) * k) / 255, (green(s) * 255 + green(d) * k) / 255,
                (blue(s) * 255 + blue(d) * k) / 255, (as * 255 + k * ad) / 255);
}

// A = (255-as)*ad/255, C = cd*A/ad
inline Color erase(Color d, Color s)
{
    const int ad = alpha(d);
    const int as = alpha(s);
    if (ad == 0 || as == 0) return d;
    const int a = ((255 - as) * ad) / 255;
    return make(red(d) * a / ad, green(d) * a / ad, blue(d) * a / ad, a);
}

inline int darkness(Color c) { return 3 * alpha(c) - red(c) - blue(c) - green(c); }
inline int lightness(Color c) { return red(c) + blue(c) + green(c); }

// paint_over(d, s) unless d is darker: darkness = 3*a - r - g - b
inline Color darker(Color d, Color s)
{
    if (alpha(d) == 0) return s;
    if (alpha(s) == 0) return d;
    const Color p = paint_over(d, s);
    return darkness(d) > darkness(p) ? d : p;
}

// paint_over(d, s) unless d is lighter: lightness = r + g + b
inline Color lighter(Color d, Color s)
{
    if (alpha(d) == 0) return s;
    if (alpha(s) == 0) return d;
    const Color p = paint_over(d, s);
    return lightness(d) > lightness(p) ? d : p;
}

// paint_over(d, s) except over black line work: keep black d when (255-ad)*100 < 30rs+59gs+11bs
inline Color colorize(Color d, Color s)
{
    if (alpha(s) == 0 || d == BLACK) return d;
    if (red(d) == 0 && blue(d) == 0 && green(d) == 0 &&
        (255 - alpha(d)) * 100 < red(s) * 30 + green(s) * 59 + blue(s) * 11)
        return d;
    return paint_over(d, s);
}

// C = cd*(255-as)/255, alpha of d kept
inline Color shadow(Color d, Color s)
{
    const int k = 255 - alpha(s);
    return make(red(d) * k / 255, green(d) * k / 255, blue(d) * k / 255, alpha(d));
}

// C = ad - (ad-cd)*(255-as)/255, alpha of d kept
inline Color hilight(Color d, Color s)
{
    const int k = 255 - alpha(s);
    const int ad = alpha(d);
    return make(ad - ((ad - red(d)) * k) / 255, ad - ((ad - green(d)) * k) / 255,
                ad - ((ad - blue(d)) * k) / 255, ad);
}

// m = max(ad, as); ad > as: C = cd*m*(cs-as+ad)/(ad*ad), else C = cs*m*(cd-ad+as)/(as*as)
inline Color multiply(Color d, Color s)
{
    const int ad = alpha(d);
    const int as = alpha(s);
    if (ad == 0) return s;
    if (as == 0) return d;
    const int m = ad > as ? ad : as;
    const auto channel = [&](int cd, int cs) {
        return ad > as ? (cd * m * (cs - as + ad)) / (ad * ad)
                       : (cs * m * (cd - ad + as)) / (as * as);
    };
    return make(channel(red(d), red(s)), channel(green(d), green(s)),
                channel(blue(d), blue(s)), m);
}


} // namespace color_ns
