// A small scanline rasteriser for hostsim's own view.
#include "ViewRenderer.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace hostsim {

namespace {

struct Point {
    double x = 0;
    double y = 0;
};

struct Color {
    double r = 0, g = 0, b = 0;
};

Point Lerp(Point a, Point b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}
Color Mix(Color a, Color b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Color Scale(Color c, double f) {
    return {c.r * f, c.g * f, c.b * f};
}

// Position-stable value noise in [-1, 1].
double Hash(int x, int y) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFF) / 32767.5 - 1.0;
}

class Canvas {
public:
    explicit Canvas(RgbImage* image) : image_(image) {}

    void Put(int x, int y, Color c) {
        if (x < 0 || y < 0 || x >= image_->width || y >= image_->height)
            return;
        unsigned char* p = image_->At(x, y);
        p[0] = Clamp(c.r);
        p[1] = Clamp(c.g);
        p[2] = Clamp(c.b);
    }
    void Blend(int x, int y, Color c, double alpha) {
        if (x < 0 || y < 0 || x >= image_->width || y >= image_->height)
            return;
        unsigned char* p = image_->At(x, y);
        Put(x, y, Mix({double(p[0]), double(p[1]), double(p[2])}, c, alpha));
    }

    // Even-odd fill of a polygon given in pixels; `shade` gives the colour of each covered pixel.
    void Fill(const std::vector<Point>& polygon, const std::function<Color(int, int)>& shade) {
        double top = image_->height, bottom = 0;
        for (const Point& p : polygon) {
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y);
        }
        const int y0 = std::max(0, static_cast<int>(std::floor(top)));
        const int y1 = std::min(image_->height - 1, static_cast<int>(std::ceil(bottom)));
        std::vector<double> crossings;
        for (int y = y0; y <= y1; ++y) {
            const double cy = y + 0.5;
            crossings.clear();
            for (std::size_t i = 0; i < polygon.size(); ++i) {
                const Point a = polygon[i];
                const Point b = polygon[(i + 1) % polygon.size()];
                if ((a.y <= cy && b.y > cy) || (b.y <= cy && a.y > cy))
                    crossings.push_back(a.x + (cy - a.y) / (b.y - a.y) * (b.x - a.x));
            }
            std::sort(crossings.begin(), crossings.end());
            for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
                const int xa = std::max(0, static_cast<int>(std::lround(crossings[i])));
                const int xb =
                    std::min(image_->width - 1, static_cast<int>(std::lround(crossings[i + 1])) - 1);
                for (int x = xa; x <= xb; ++x) Put(x, y, shade(x, y));
            }
        }
    }

    void FillFlat(const std::vector<Point>& polygon, Color c, double grain) {
        Fill(polygon, [&](int x, int y) { return Scale(c, 1.0 + grain * Hash(x, y)); });
    }

    // A soft-edged disc, blended over what is there.
    void Blob(Point centre, double radius, Color c, double grain) {
        const int x0 = static_cast<int>(centre.x - radius), x1 = static_cast<int>(centre.x + radius);
        const int y0 = static_cast<int>(centre.y - radius), y1 = static_cast<int>(centre.y + radius);
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const double d = std::hypot(x - centre.x, y - centre.y) / radius;
                if (d < 1.0)
                    Blend(x, y, Scale(c, 1.0 + grain * Hash(x / 2, y / 2)), std::min(1.0, (1.0 - d) * 3.0));
            }
        }
    }

private:
    static unsigned char Clamp(double v) {
        return static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L));
    }
    RgbImage* image_;
};

// A wall face given by its four corners (bottom-left, bottom-right, top-right, top-left in picture space);
// (u, v) in [0, 1]^2 maps bilinearly onto it, which is close enough to perspective for a facade.
struct Face {
    Point bl, br, tr, tl;
    Point At(double u, double v) const { return Lerp(Lerp(bl, br, u), Lerp(tl, tr, u), v); }
    std::vector<Point> Quad(double u0, double v0, double u1, double v1) const {
        return {At(u0, v0), At(u1, v0), At(u1, v1), At(u0, v1)};
    }
};

void DrawWindows(Canvas* canvas, const Face& face, int columns, int floors, Color glass, Color frame,
                 bool door) {
    for (int floor = 0; floor < floors; ++floor) {
        const double v0 = (floor + 0.28) / floors;
        const double v1 = (floor + 0.78) / floors;
        for (int column = 0; column < columns; ++column) {
            const double u0 = (column + 0.22) / columns;
            const double u1 = (column + 0.78) / columns;
            if (door && floor == 0 && column == columns / 2) {
                canvas->FillFlat(face.Quad(u0 + 0.02, 0.0, u1 - 0.02, 0.42), {92, 58, 38}, 0.05);
                canvas->FillFlat(face.Quad(u0 + 0.06, 0.05, u1 - 0.06, 0.37), {120, 80, 52}, 0.06);
                continue;
            }
            canvas->FillFlat(face.Quad(u0 - 0.015, v0 - 0.02, u1 + 0.015, v1 + 0.02), frame, 0.03);
            const Point top = face.At(u0, v1);
            canvas->Fill(face.Quad(u0, v0, u1, v1), [&](int x, int y) {
                // Reflections: a diagonal sheen and a darker lower half.
                const double sheen = std::sin((x - top.x) * 0.09 + (y - top.y) * 0.05) * 0.12;
                return Scale(glass, 1.0 + sheen + 0.04 * Hash(x, y));
            });
            const auto mullion = face.Quad((u0 + u1) / 2 - 0.006, v0, (u0 + u1) / 2 + 0.006, v1);
            canvas->FillFlat(mullion, frame, 0.02);
            canvas->FillFlat(face.Quad(u0 - 0.03, v0 - 0.05, u1 + 0.03, v0 - 0.02), {214, 210, 200}, 0.03);
        }
    }
}

void DrawTree(Canvas* canvas, Point base, double size) {
    canvas->FillFlat({{base.x - size * 0.06, base.y},
                      {base.x + size * 0.06, base.y},
                      {base.x + size * 0.04, base.y - size * 0.7},
                      {base.x - size * 0.04, base.y - size * 0.7}},
                     {88, 62, 40}, 0.15);
    const Color leaves{52, 104, 48};
    canvas->Blob({base.x, base.y - size * 0.95}, size * 0.45, leaves, 0.25);
    canvas->Blob({base.x - size * 0.28, base.y - size * 0.75}, size * 0.33, Scale(leaves, 0.9), 0.25);
    canvas->Blob({base.x + size * 0.3, base.y - size * 0.78}, size * 0.34, Scale(leaves, 1.08), 0.25);
    canvas->Blob({base.x + size * 0.05, base.y - size * 1.28}, size * 0.3, Scale(leaves, 1.15), 0.25);
}

}  // namespace

RgbImage RenderBuildingScene(int width, int height) {
    RgbImage image(width, height);
    Canvas canvas(&image);
    const double w = width;
    const double h = height;
    const double horizon = h * 0.62;

    // Sky and ground.
    canvas.Fill({{0, 0}, {w, 0}, {w, horizon}, {0, horizon}}, [&](int x, int y) {
        return Scale(Mix({70, 120, 190}, {190, 214, 236}, y / horizon), 1.0 + 0.01 * Hash(x, y));
    });
    for (int i = 0; i < 5; ++i) {
        const Point c{w * (0.1 + 0.2 * i), h * (0.1 + 0.05 * (i % 3))};
        for (int k = 0; k < 4; ++k)
            canvas.Blob({c.x + w * 0.03 * k, c.y + h * 0.01 * (k % 2)}, h * 0.05, {246, 248, 252}, 0.02);
    }
    canvas.Fill({{0, horizon}, {w, horizon}, {w, h}, {0, h}}, [&](int x, int y) {
        const double t = (y - horizon) / (h - horizon);
        return Scale(Mix({120, 150, 88}, {70, 118, 52}, t),
                     1.0 + 0.18 * Hash(x, y) + 0.06 * Hash(x / 7, y / 3));
    });

    // The building in two-point perspective: a near corner and two faces running to the vanishing points.
    const Point leftVanish{-0.9 * w, horizon};
    const Point rightVanish{2.1 * w, horizon};
    const Point nearBottom{0.44 * w, 0.84 * h};
    const Point nearTop{0.44 * w, 0.30 * h};
    const auto towards = [](Point from, Point vanish, double x) {
        return Lerp(from, vanish, (x - from.x) / (vanish.x - from.x));
    };
    const Face front{towards(nearBottom, leftVanish, 0.10 * w), nearBottom, nearTop,
                     towards(nearTop, leftVanish, 0.10 * w)};
    const Face side{nearBottom, towards(nearBottom, rightVanish, 0.86 * w),
                    towards(nearTop, rightVanish, 0.86 * w), nearTop};

    // Shadow on the lawn, then the walls: plaster lit from the left, the side in shade.
    canvas.FillFlat({side.bl,
                     side.br,
                     {side.br.x + 0.08 * w, side.br.y + 0.05 * h},
                     {side.bl.x + 0.08 * w, side.bl.y + 0.06 * h}},
                    {58, 86, 44}, 0.12);
    canvas.Fill({front.bl, front.br, front.tr, front.tl}, [&](int x, int y) {
        return Scale({232, 222, 202}, 1.0 + 0.05 * Hash(x, y) + 0.02 * Hash(x / 4, y / 4));
    });
    canvas.Fill({side.bl, side.br, side.tr, side.tl}, [&](int x, int y) {
        return Scale({176, 166, 150}, 1.0 + 0.05 * Hash(x, y) + 0.02 * Hash(x / 4, y / 4));
    });
    canvas.FillFlat(front.Quad(0, 0, 1, 0.06), {128, 120, 110}, 0.1);
    canvas.FillFlat(side.Quad(0, 0, 1, 0.06), {100, 94, 86}, 0.1);
    DrawWindows(&canvas, front, 5, 2, {96, 132, 168}, {246, 246, 242}, true);
    DrawWindows(&canvas, side, 6, 2, {70, 98, 128}, {210, 210, 204}, false);

    // A hipped roof: eaves slightly outside the walls, the ridge set back along the long front.
    const double rise = 0.16 * h;
    const Point eaveLeft{front.tl.x - 0.012 * w, front.tl.y + 0.006 * h};
    const Point eaveNear{nearTop.x, nearTop.y + 0.012 * h};
    const Point eaveRight{side.tr.x + 0.012 * w, side.tr.y + 0.006 * h};
    const Point ridgeLeft{Lerp(front.tl, side.tr, 0.22).x, front.tl.y - rise};
    const Point ridgeRight{Lerp(front.tl, side.tr, 0.80).x, side.tr.y - rise * 0.9};
    canvas.Fill({eaveLeft, eaveNear, ridgeRight, ridgeLeft}, [&](int x, int y) {
        return Scale({150, 66, 50}, 1.0 + 0.1 * Hash(x, y) + 0.08 * std::sin(y * 0.9));
    });
    canvas.Fill({eaveNear, eaveRight, ridgeRight}, [&](int x, int y) {
        return Scale({112, 48, 38}, 1.0 + 0.1 * Hash(x, y) + 0.08 * std::sin(y * 0.9));
    });
    canvas.FillFlat({{ridgeRight.x - 0.03 * w, ridgeRight.y + 0.03 * h},
                     {ridgeRight.x - 0.01 * w, ridgeRight.y + 0.03 * h},
                     {ridgeRight.x - 0.01 * w, ridgeRight.y - 0.02 * h},
                     {ridgeRight.x - 0.03 * w, ridgeRight.y - 0.02 * h}},
                    {120, 110, 104}, 0.08);

    // Path to the door, then trees in front of the ends of the building.
    const Point door = front.At(0.5, 0);
    canvas.FillFlat({{door.x - 0.03 * w, door.y},
                     {door.x + 0.03 * w, door.y},
                     {door.x + 0.11 * w, h},
                     {door.x - 0.07 * w, h}},
                    {186, 176, 160}, 0.1);
    DrawTree(&canvas, {0.07 * w, 0.90 * h}, 0.26 * h);
    DrawTree(&canvas, {0.92 * w, 0.93 * h}, 0.30 * h);
    return image;
}

bool RenderView(const std::string& viewFile, int width, int height, RgbImage* view, std::string* error) {
    if (width <= 0 || height <= 0) {
        *error = "the window has no area";
        return false;
    }
    if (viewFile.empty()) {
        *view = RenderBuildingScene(width, height);
        return true;
    }
    RgbImage picture;
    if (!ReadJpegFile(viewFile, &picture, error))
        return false;
    *view = picture.width == width && picture.height == height ? std::move(picture)
                                                               : ScaleImage(picture, width, height);
    return true;
}

}  // namespace hostsim
